// The daemon's two logs in the scan directory: information and errors.
#pragma once

#include <cstdio>

extern FILE *outFile;  // information log
extern FILE *errFile;  // error log

bool OrvoInitDbg();  // truncates both logs, then opens them for appending
bool OrvoReopenDbg();  // reopens both for appending through this process's own streams

// One line each, in one append write; a log that could not be opened is skipped.
void OrvoLogInfo(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void OrvoLogErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
