#include "ScanLog.h"

#include <cstdarg>

#include "ScanPaths.h"

FILE *outFile = nullptr;
FILE *errFile = nullptr;

namespace {

void CloseLogs()
{
    if (outFile)
        fclose(outFile);
    if (errFile)
        fclose(errFile);
    outFile = nullptr;
    errFile = nullptr;
}

__attribute__((format(printf, 2, 0))) void WriteLog(FILE *f, const char *fmt, va_list ap)
{
    if (!f)
        return;
    vfprintf(f, fmt, ap);
    fflush(f);
}

}  // namespace

// Every process of the daemon writes its lines at the end of the file: a stream that
// kept its own file position would write over lines other processes appended meanwhile.
bool OrvoInitDbg()
{
    CloseLogs();
    const char *paths[] = {c_szScanInfoLog, c_szScanErrLog};
    for (const char *path : paths) {
        FILE *f = fopen(path, "wb+");
        if (f)
            fclose(f);
    }
    return OrvoReopenDbg();
}

bool OrvoReopenDbg()
{
    CloseLogs();
    outFile = fopen(c_szScanInfoLog, "ab+");
    errFile = fopen(c_szScanErrLog, "ab+");
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
