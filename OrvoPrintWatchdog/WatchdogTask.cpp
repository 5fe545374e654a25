#include "WatchdogTask.h"
#include "WatchdogCycle.h"

#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-process.h"
#include "orvo-running.h"
#include "orvo-spawn.h"

#include <QDateTime>
#include <QFileInfo>
#include <QThread>

namespace {
const char *const c_szLogTag = "../OrvoPrintWatchdog/main";

// Every copy of the service goes, also a healthy second one, before exactly one new copy
// starts. The service runs detached so that it outlives the watchdog.
void RestartService()
{
    const QString name = ServiceExecutableName();
    KillProcessesByName(name);
    QThread::sleep(1);
    StartDetached(OrvoBinPath() + name);
}
}  // namespace

bool CheckServiceProcess()
{
    if (CheckIsRunning(WatchdogServiceCheck()))
        return true;
    // Peers and people read the watchdog's log as it has always been written: this line
    // keeps the tag, line and function it had when the check logged it itself.
    WriteStringLog(c_szLogTag, 104, "CheckIsRunning", "service not found!");
    return false;
}

bool CheckServiceHeartbeat()
{
    const QFileInfo heartbeat(OrvoCfgPath() + "service.hb");
    if (heartbeat.exists() && HeartbeatFresh(heartbeat.lastModified(), QDateTime::currentDateTime()))
        return true;
    WriteStringLog(c_szLogTag, 126, "CheckServiceHeartbeat", "heartbeat timeout!");
    return false;
}

void StartTask()
{
    static int index = 0;
    for (;;) {
        const stCycleDecision d = DecideCycle(
            index, CheckServiceProcess, CheckServiceHeartbeat);
        index = d.iIndex;
        if (d.bRestart) {
            WriteStringLog(c_szLogTag, 35, "StartTask", "run service, index = %d", d.iLoggedIndex);
            RestartService();
        }
        QThread::sleep(1);
    }
}
