// Backend messages on stderr: errors always, more with SANE_DEBUG_ORVO=N as in other backends.
#pragma once

void OrvoInitLog();
void OrvoLog(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

enum { LOG_ERROR = 1,
       LOG_INFO = 3,
       LOG_TRACE = 5 };
