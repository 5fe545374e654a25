#include "orvo-running.h"
#include "orvo-fs.h"
#include "orvo-paths.h"
#include "orvo-process.h"

QString ServiceExecutableName()
{
    return QStringLiteral("orvo") + QStringLiteral("k500").toUpper() + "Service";
}

// Fields in order: directory, process name, threshold.
stRunningCheck ServiceSelfCheck(const QString &appName)
{
    return {OrvoTempPath(), appName, 1};
}

stRunningCheck WatchdogServiceCheck()
{
    return {OrvoTempPath(), ServiceExecutableName(), 0};
}

stRunningCheck ToolSelfCheck(const QString &appName)
{
    return {OrvoToolPath(), appName, 1};
}

bool CheckIsRunning(const stRunningCheck &check)
{
    MakePathExist(check.strTempDir);
    const QString name = check.strProcessName.left(15);
    int count = 0;
    for (const stProcessEntry &p : ListProcesses()) {
        if (QString::fromLocal8Bit(p.strComm).compare(name, Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count > check.iThreshold;
}
