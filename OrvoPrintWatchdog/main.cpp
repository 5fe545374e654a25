// The watchdog keeps the print service alive: once a second it checks the service's
// process and heartbeat and restarts the service when either is missing.
#include "WatchdogTask.h"

#include "orvo-log.h"
#include "orvo-paths.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SetLogTarget(OrvoLogPath(), "log_wd");
    SetLogEnable(true);
    WriteStringLog("../OrvoPrintWatchdog/main", 20, "main", "Start watchdog, enable log");
    StartTask();
}
