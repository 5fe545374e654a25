#include "orvo-running.h"
#include "orvo-fs.h"
#include "orvo-paths.h"
#include "orvo-process.h"

QString ServiceExecutableName()
{
    return QStringLiteral("orvo") + QStringLiteral("k500").toUpper() + "Service";
}

stRunningCheck ServiceSelfCheck(const QString &appName)
{
    stRunningCheck c;
    c.strTempDir = OrvoTempPath();
    c.strProcessName = appName;
    c.iThreshold = 1;
    return c;
}

stRunningCheck WatchdogServiceCheck()
{
    stRunningCheck c;
    c.strTempDir = OrvoTempPath();
    c.strProcessName = ServiceExecutableName();
    c.iThreshold = 0;
    return c;
}

stRunningCheck ToolSelfCheck(const QString &appName)
{
    stRunningCheck c;
    c.strTempDir = OrvoToolPath();
    c.strProcessName = appName;
    c.iThreshold = 1;
    return c;
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
