// The page file names the daemon reports in its scan start reply.
#pragma once
#include <cstddef>

// True for a NUL-terminated name (within size bytes) of a file in the daemon's scan
// directory; the backend opens no other file on the daemon's word.
bool OrvoIsScanFileName(const char *name, size_t size);
