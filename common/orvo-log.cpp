#include "orvo-log.h"
#include "orvo-fs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
QString s_strLogDir;
QString s_strLogPrefix;
bool s_bEnable = false;
int s_iLogIndex = 0;
QString s_strLogNameTmp;
QString s_strLogName;
QMutex s_mutexLog;

constexpr qint64 c_iLogRotateSize = 0x100000;

// Keeps the newest files of this program's prefix so that, with the file about to be
// started, at most c_iLogFilesKept remain. Names are prefix_yyyyMMdd_hhmmss_N.log:
// order by time stamp, then by the numeric index.
void PruneOldLogs()
{
    QDir dir(s_strLogDir);
    const QString head = s_strLogPrefix + "_";
    struct Entry { QString stamp; long index; QString name; };
    std::vector<Entry> files;
    for (const QString &name : dir.entryList({head + "*.log"}, QDir::Files)) {
        const QString body = name.mid(head.size(), name.size() - head.size() - 4);
        const qsizetype cut = body.lastIndexOf('_');
        if (cut != 15)   // yyyyMMdd_hhmmss
            continue;
        bool ok = false;
        const long index = body.mid(cut + 1).toLong(&ok);
        if (!ok)
            continue;
        files.push_back({body.left(cut), index, name});
    }
    std::sort(files.begin(), files.end(), [](const Entry &a, const Entry &b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.index < b.index;
    });
    const size_t keep = c_iLogFilesKept - 1;
    for (size_t i = 0; i + keep < files.size(); ++i)
        dir.remove(files[i].name);
}
} // namespace

void SetLogTarget(const QString &dir, const QString &prefix)
{
    s_strLogDir = dir;
    s_strLogPrefix = prefix;
}

void SetLogEnable(bool enable)
{
    s_bEnable = enable;
    if (!enable) {
        s_strLogName.clear();
        return;
    }
    s_iLogIndex = 0;
    MakePathExist(s_strLogDir);
    PruneOldLogs();
    s_strLogNameTmp = s_strLogDir + "/" + s_strLogPrefix
        + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_");
    s_strLogName = s_strLogNameTmp + "0" + ".log";
}

QString CurrentLogFile()
{
    QMutexLocker lock(&s_mutexLog);
    return s_strLogName;
}

void WriteStringLog(const char *file, int line, const char *function, const char *format, ...)
{
    if (!s_bEnable)
        return;
    QMutexLocker lock(&s_mutexLog);

    char buf[1024];
    memset(buf, 0, sizeof buf);
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof buf, format, args);
    va_end(args);

    const QString text = QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz] (")
        + QString::fromLocal8Bit(file) + "@" + QString::number(line) + " "
        + QString::fromLocal8Bit(function) + ") " + QString::fromLocal8Bit(buf) + "\n";

    if (QFileInfo(s_strLogName).size() > c_iLogRotateSize) {
        // A program that runs for months rotates without ever switching its log on again.
        PruneOldLogs();
        ++s_iLogIndex;
        s_strLogName = s_strLogNameTmp + QString::number(s_iLogIndex) + ".log";
    }
    QFile out(s_strLogName);
    if (out.open(QIODevice::Append | QIODevice::Text)) {
        out.write(text.toLocal8Bit());
        out.close();
    }
}
