// Page files in the scan directory: names, and which of them a client may have deleted.
#pragma once

#include <cstddef>
#include <sys/types.h>

// Base name of a scan of this process: "<scan dir>/orvoscandata_<pid>_<index>".
void ScanBaseName(char *out, size_t size, pid_t pid, int index);
// True when the text is the base name of a scan this connection process started.
bool ScanIsOwnBaseName(const char *text);
// Deletes the page files "<base>_<page>.tmp" in the directory; 0, or -1 when the
// directory cannot be opened.
int deleteFileList(const char *dir, const char *text);
// CMD_DELETE_FILE: deletes the named page file of this daemon; anything else is refused.
void ScanDeletePageFile(const char *name);
