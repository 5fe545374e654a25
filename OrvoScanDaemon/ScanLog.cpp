#include "ScanLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScanLogFormat.h"
#include "ScanPaths.h"

FILE *outFile = nullptr;
FILE *errFile = nullptr;

namespace {

// Logs name page files, whose names are what keeps a page private: the daemon's user only.
constexpr mode_t c_iLogMode = 0600;

void CloseLogs()
{
    if (outFile)
        fclose(outFile);
    if (errFile)
        fclose(errFile);
    outFile = nullptr;
    errFile = nullptr;
}

// Never through a link planted at the log's name; a log left wider by an older daemon
// is narrowed.
FILE *OpenLog(const char *path, int extraFlags)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | extraFlags, c_iLogMode);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    if ((st.st_mode & 0777) & ~c_iLogMode)
        fchmod(fd, st.st_mode & c_iLogMode);
    FILE *f = fdopen(fd, "ab");
    if (!f)
        close(fd);
    return f;
}

const char *PathOf(FILE *f)
{
    return f == outFile ? c_szScanInfoLog : c_szScanErrLog;
}

// Moves a full log to "<log>.1" and starts it again. Every process of the daemon appends
// through its own stream: the move is done under a lock on the full file, by the first
// process that finds it full; the others find the name taken by a new file and reopen.
void RotateIfFull(FILE *&f, size_t adding)
{
    struct stat own;
    if (fstat(fileno(f), &own) != 0 || size_t(own.st_size) + adding <= c_iScanLogCap)
        return;
    const char *path = PathOf(f);
    flock(fileno(f), LOCK_EX);
    struct stat named;
    if (stat(path, &named) == 0 && named.st_ino == own.st_ino && named.st_dev == own.st_dev) {
        const std::string old = std::string(path) + ".1";
        rename(path, old.c_str());
    }
    FILE *fresh = OpenLog(path, 0);
    flock(fileno(f), LOCK_UN);
    if (fresh) {
        fclose(f);
        f = fresh;
    }
}

void WriteLog(FILE *&f, const char *fmt, va_list ap)
{
    if (!f)
        return;
    const int saved = errno;
    std::string line;
    ScanLogFormat(line, fmt, ap);
    RotateIfFull(f, line.size());
    // One write per line, past the stream's buffer (which would split a long line): with
    // O_APPEND each line lands whole at the end, between the other processes' lines. A
    // line the file system refuses has nowhere else to go.
    const ssize_t written = write(fileno(f), line.data(), line.size());
    (void)written;
    errno = saved;
}

}  // namespace

// Every process of the daemon writes its lines at the end of the file: a stream that
// kept its own file position would write over lines other processes appended meanwhile.
bool OrvoInitDbg()
{
    CloseLogs();
    const char *paths[] = {c_szScanInfoLog, c_szScanErrLog};
    for (const char *path : paths) {
        FILE *f = OpenLog(path, O_TRUNC);
        if (f)
            fclose(f);
    }
    return OrvoReopenDbg();
}

bool OrvoReopenDbg()
{
    CloseLogs();
    outFile = OpenLog(c_szScanInfoLog, 0);
    errFile = OpenLog(c_szScanErrLog, 0);
    return outFile && errFile;
}

void OrvoLogInfo(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    WriteLog(outFile, fmt, ap);
    va_end(ap);
}

void OrvoLogErr(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    WriteLog(errFile, fmt, ap);
    va_end(ap);
}
