// Page files in the scan directory: names, and which of them a client may have deleted.
#pragma once

#include <cstddef>
#include <cstdio>
#include <sys/types.h>

// Draws this connection process's secret: 64 random bits that go into every base name
// it gives out, so that no other client can guess a page's name in the unlistable scan
// directory. false when the system has no random bytes to give.
bool ScanNewConnectionKey();
// Base name of a scan of this process: "<scan dir>/orvoscandata_<pid>_<key>_<index>".
void ScanBaseName(char *out, size_t size, pid_t pid, int index);
// True when the text is the base name of a scan this connection process started.
bool ScanIsOwnBaseName(const char *text);
// Deletes the page files "<base>_<page>.tmp" in the directory; 0, or -1 when the
// directory cannot be opened.
int deleteFileList(const char *dir, const char *text);
// CMD_DELETE_FILE: deletes the named page file when it is one of a scan of this
// connection; anything else is refused.
void ScanDeletePageFile(const char *name);
// Creates "<base>_<page>.tmp" for writing: a new file only, never through a link planted
// at its name. Null on failure.
FILE *ScanCreatePage(const char *base, int page);
// Deletes the highest-numbered page of the scan (a page cut short); nothing when it has none.
void ScanDeleteLastPage(const char *base);
// The scan directory is not listable by other users (pages are found only by their
// unguessable names): when the daemon's user owns it, read and write access of group
// and others is taken away, the search bit kept so that clients reach their pages.
void ScanPrivateDir();
