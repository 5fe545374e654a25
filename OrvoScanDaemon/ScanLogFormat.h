// printf-style formatting of one log line, with every text argument escaped: control
// characters of a name or a device string (line breaks, escape sequences) are written
// as "\n", "\r", "\t" or "\xNN", and a backslash as "\\", so that no argument forges a
// line or drives the terminal of whoever reads the log. The format's own text is kept.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// Upper bound of each log file; above it the file moves to "<log>.1" and starts again.
constexpr size_t c_iScanLogCap = 2u << 20;

void ScanLogFormat(std::string &out, const char *fmt, va_list ap);
void ScanLogEscape(std::string &out, const char *text, size_t len);
