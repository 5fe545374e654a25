#include "orvo-running.h"
#include "orvo-fs.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-spawn.h"

#include <QDateTime>
#include <QFile>

QString ServiceExecutableName()
{
    return QStringLiteral("orvo") + QStringLiteral("k500").toUpper() + "Service";
}

stRunningCheck ServiceSelfCheck(const QString &appName)
{
    stRunningCheck c;
    c.strCaptureDir = OrvoTempPath();
    c.strCapturePrefix = "pslist.";
    c.strProcessName = appName;
    c.iThreshold = 1;
    return c;
}

stRunningCheck WatchdogServiceCheck()
{
    stRunningCheck c;
    c.strCaptureDir = OrvoTempPath();
    c.strCapturePrefix = "wd_pslist.";
    c.strProcessName = ServiceExecutableName();
    c.iThreshold = 0;
    c.bLogMissing = true;
    return c;
}

stRunningCheck ToolSelfCheck(const QString &appName)
{
    stRunningCheck c;
    c.strCaptureDir = OrvoToolPath();
    c.strCapturePrefix = "pslist.tmp";
    c.bTimeStamp = false;
    c.strProcessName = appName;
    c.iThreshold = 1;
    return c;
}

int CountListingMatches(const QByteArray &listing, const QString &name)
{
    int count = 0;
    for (const QByteArray &raw : listing.split('\n')) {
        const QByteArray line = raw.left(raw.indexOf('\0') < 0 ? raw.size() : raw.indexOf('\0'));
        const QStringList fields = QString::fromLocal8Bit(line).split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 4)
            continue;
        if (fields.at(3).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count;
}

bool CheckIsRunning(const stRunningCheck &check)
{
    MakePathExist(check.strCaptureDir);
    QString capture = check.strCaptureDir + check.strCapturePrefix;
    if (check.bTimeStamp)
        capture += QDateTime::currentDateTime().toString("yyyyMMddhhmmss");
    const QString name = check.strProcessName.left(15);

    // The listing is filtered here rather than by grep, so that a name in another
    // letter case is counted as well.
    RunCommand({"ps", "-A"}, capture);
    int count = 0;
    QFile file(capture);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        count = CountListingMatches(file.readAll(), name);
        file.close();
    }
    QFile::remove(capture);

    if (count > check.iThreshold)
        return true;
    if (check.bLogMissing)
        WriteStringLog("../OrvoPrintWatchdog/main", 104, "CheckIsRunning", "service not found!");
    return false;
}
