#include "orvo-log.h"
#include "orvo-fs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString s_strLogDir;
QString s_strLogPrefix;
bool s_bEnable = false;
int s_iLogIndex = 0;
QString s_strLogNameTmp;
QString s_strLogName;
QMutex s_mutexLog;

constexpr qint64 c_iLogRotateSize = 0x100000;

// Text as the line carries it: decoded from and encoded back to the local 8-bit encoding,
// which leaves plain ASCII as it is.
QByteArray InLocal8Bit(const char *text)
{
    for (const char *c = text; *c; ++c) {
        if (static_cast<unsigned char>(*c) >= 0x80)
            return QString::fromLocal8Bit(text).toLocal8Bit();
    }
    return QByteArray(text);
}

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

    // The time stamp from the C library: the service writes a line per status query, and
    // Qt's local time re-reads the zone file for every line. (Qt re-reads it elsewhere in
    // each program often enough for a changed zone to reach the log.)
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[64];
    snprintf(stamp, sizeof stamp, "[%04d-%02d-%02d %02d:%02d:%02d.%03ld] (", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
    const QByteArray text = QByteArray(stamp) + InLocal8Bit(file) + "@" + QByteArray::number(line) + " "
        + InLocal8Bit(function) + ") " + InLocal8Bit(buf) + "\n";

    // The size is read from the file opened for the line: one look-up of its path per line
    // (the service writes one per status query of every printer).
    QByteArray name = QFile::encodeName(s_strLogName);
    int fd = open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    struct stat current{};
    if (fd >= 0 && fstat(fd, &current) == 0 && current.st_size > c_iLogRotateSize) {
        // A program that runs for months rotates without ever switching its log on again.
        close(fd);
        PruneOldLogs();
        ++s_iLogIndex;
        s_strLogName = s_strLogNameTmp + QString::number(s_iLogIndex) + ".log";
        name = QFile::encodeName(s_strLogName);
        fd = open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0)
        return;
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    close(fd);
}
