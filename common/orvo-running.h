// Single-instance guard: counts the processes whose command name equals a program name.
#pragma once
#include <QString>

struct stRunningCheck {
    QString strCaptureDir;       // where the process listing is captured (created when missing)
    QString strCapturePrefix;    // capture file name, or its prefix when bTimeStamp is set
    bool bTimeStamp = true;      // append "yyyyMMddhhmmss" to the capture file name
    QString strProcessName;      // compared with the command-name column, cut to 15 characters
    int iThreshold = 0;          // running when more than this many processes match
    bool bLogMissing = false;    // log "service not found!" when none matches
};

// The variants of the programs that check themselves or the service.
stRunningCheck ServiceSelfCheck(const QString &appName);  // print service: another copy of itself
stRunningCheck WatchdogServiceCheck();                    // watchdog: the service is alive
stRunningCheck ToolSelfCheck(const QString &appName);     // tray tool: another copy of itself

bool CheckIsRunning(const stRunningCheck &check);

// Counts the lines of a process listing ("PID TTY TIME CMD") whose fourth column equals
// name (already cut to 15 characters) ignoring case.
int CountListingMatches(const QByteArray &listing, const QString &name);

// The service's installed executable name: "orvo" + "K500" + "Service".
QString ServiceExecutableName();
