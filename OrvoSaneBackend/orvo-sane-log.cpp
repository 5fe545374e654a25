#include "orvo-sane-log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
int g_iLogLevel = LOG_ERROR;
}

void OrvoInitLog()
{
    const char *env = getenv("SANE_DEBUG_ORVO");
    g_iLogLevel = env ? atoi(env) : LOG_ERROR;
}

// One write per line, formatted on the stack: this also runs from sane_cancel, which
// front ends call from their signal handlers.
void OrvoLog(int level, const char *fmt, ...)
{
    if (level > g_iLogLevel)
        return;
    char line[512] = "[orvo] ";
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line + 7, sizeof line - 8, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    size_t len = 7 + (size_t(n) < sizeof line - 8 ? size_t(n) : sizeof line - 9);
    line[len++] = '\n';
    if (write(STDERR_FILENO, line, len) < 0)
        return;  // nowhere left to report it
}
