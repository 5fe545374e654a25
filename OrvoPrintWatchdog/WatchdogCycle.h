// The watchdog's decision for one cycle, apart from the checks and the restart it leads to.
#pragma once
#include <QDateTime>

#include <functional>

// In the 3600th cycle after start or after the last restart the service is restarted
// without any check.
constexpr int c_iForcedRestartBound = 3599;
// The heartbeat is fresh while fewer than this many whole seconds old.
constexpr qint64 c_iHeartbeatTimeout = 10;

struct stCycleDecision {
    int iIndex = 0;  // the counter after this cycle: 0 after a restart
    bool bRestart = false;
    int iLoggedIndex = 0;  // the value for "run service, index = %d" when restarting
};

// Advances index and decides. isRunning is called unless a forced restart is due;
// isHeartbeatFresh only when the process runs.
stCycleDecision DecideCycle(int index, const std::function<bool()> &isRunning,
                            const std::function<bool()> &isHeartbeatFresh);

// Whole seconds from modified to now, rounded toward zero, below the timeout; a
// modification time in the future counts as fresh.
bool HeartbeatFresh(const QDateTime &modified, const QDateTime &now);
