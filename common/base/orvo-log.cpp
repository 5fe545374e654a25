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
    struct Entry {
        QString stamp;
        long index;
        QString name;
    };
    std::vector<Entry> files;
    for (const QString &name : dir.entryList({head + "*.log"}, QDir::Files)) {
        const QString body = name.mid(head.size(), name.size() - head.size() - 4);
        const qsizetype cut = body.lastIndexOf('_');
        if (cut != 15)  // yyyyMMdd_hhmmss
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

// The current log file stays open between lines (the service writes one per status query of
// every printer). Before each line the path is looked up again: when it no longer names the
// open file (removed, moved away, replaced), the line goes to the file at the path, created
// when missing, as if the file were opened for every line.
int s_iLogFd = -1;
dev_t s_iLogDev = 0;
ino_t s_iLogIno = 0;

void CloseLogFile()
{
    if (s_iLogFd >= 0)
        close(s_iLogFd);
    s_iLogFd = -1;
}

// With the mutex held: the file the path names now, open, and its size; false when it cannot
// be opened.
bool OpenCurrentLog(off_t &size)
{
    const QByteArray name = QFile::encodeName(s_strLogName);
    struct stat named {};
    if (s_iLogFd >= 0 && stat(name.constData(), &named) == 0 && named.st_dev == s_iLogDev
        && named.st_ino == s_iLogIno) {
        size = named.st_size;
        return true;
    }
    CloseLogFile();
    const int fd = open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    struct stat opened {};
    if (fd < 0 || fstat(fd, &opened) != 0) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    s_iLogFd = fd;
    s_iLogDev = opened.st_dev;
    s_iLogIno = opened.st_ino;
    size = opened.st_size;
    return true;
}
}  // namespace

void SetLogTarget(const QString &dir, const QString &prefix)
{
    s_strLogDir = dir;
    s_strLogPrefix = prefix;
}

void SetLogEnable(bool enable)
{
    s_bEnable = enable;
    {
        QMutexLocker lock(&s_mutexLog);
        CloseLogFile();
    }
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

    // Everything but the time stamp is made before the lock: all status workers log at about
    // the same moment, and the lock is held only for the time and the file.
    char buf[1024];
    memset(buf, 0, sizeof buf);
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    const QByteArray tail = InLocal8Bit(file) + "@" + QByteArray::number(line) + " " + InLocal8Bit(function) + ") "
                            + InLocal8Bit(buf) + "\n";

    QMutexLocker lock(&s_mutexLog);
    // The time stamp from the C library, taken under the lock so that the lines' times follow
    // their order in the file: Qt's local time re-reads the zone file for every line. (Qt
    // re-reads it elsewhere in each program often enough for a changed zone to reach the log.)
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[64];
    snprintf(stamp, sizeof stamp, "[%04d-%02d-%02d %02d:%02d:%02d.%03ld] (", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000);
    const QByteArray text = QByteArray(stamp) + tail;

    off_t size = 0;
    if (!OpenCurrentLog(size))
        return;
    if (size > c_iLogRotateSize) {
        // A program that runs for months rotates without ever switching its log on again.
        CloseLogFile();
        PruneOldLogs();
        ++s_iLogIndex;
        s_strLogName = s_strLogNameTmp + QString::number(s_iLogIndex) + ".log";
        if (!OpenCurrentLog(size))
            return;
    }
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = write(s_iLogFd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
}
