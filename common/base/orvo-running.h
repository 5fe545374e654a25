// Single-instance guard: counts the processes whose command name equals a program name.
#pragma once
#include <QString>

struct stRunningCheck {
    QString strTempDir;  // the program's directory for temporary files (created when missing)
    QString strProcessName;  // compared with the command name, cut to 15 characters
    int iThreshold = 0;  // running when more than this many processes match
};

// The variants of the programs that check themselves or the service.
stRunningCheck ServiceSelfCheck(const QString &appName);  // print service: another copy of itself
stRunningCheck WatchdogServiceCheck();  // watchdog: the service is alive
stRunningCheck ToolSelfCheck(const QString &appName);  // tray tool: another copy of itself

// Counts from the process table itself (every process, zombies and the caller included,
// names compared ignoring case), so that the check every second starts no process.
bool CheckIsRunning(const stRunningCheck &check);

// The service's installed executable name: "orvo" + "K500" + "Service".
QString ServiceExecutableName();
