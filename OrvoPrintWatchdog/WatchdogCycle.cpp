#include "WatchdogCycle.h"

stCycleDecision DecideCycle(int index, const std::function<bool()> &isRunning,
                            const std::function<bool()> &isHeartbeatFresh)
{
    stCycleDecision d;
    d.iIndex = index + 1;
    const bool healthy = d.iIndex <= c_iForcedRestartBound && isRunning() && isHeartbeatFresh();
    if (!healthy) {
        d.bRestart = true;
        d.iLoggedIndex = d.iIndex;
        d.iIndex = 0;
    }
    return d;
}

bool HeartbeatFresh(const QDateTime &modified, const QDateTime &now)
{
    // Integer division rounds toward zero, so 9.999 s still counts as 9.
    const qint64 seconds = modified.msecsTo(now) / 1000;
    return seconds < c_iHeartbeatTimeout;
}
