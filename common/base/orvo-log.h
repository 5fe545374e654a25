// Process-wide logger: off until SetLogEnable(true), one file per start, rotated above 1 MiB.
#pragma once
#include <QString>

// Per-program constants: the directory that holds the log files and their name prefix.
void SetLogTarget(const QString &dir, const QString &prefix);
void SetLogEnable(bool enable);
QString CurrentLogFile();

// How many of a program's own log files are kept (checked when the log is switched on
// and at every rotation).
constexpr int c_iLogFilesKept = 20;

// printf-style; a literal "%" in a message must be written "%%".
void WriteStringLog(const char *file, int line, const char *function, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
