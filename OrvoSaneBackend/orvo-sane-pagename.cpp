#include "orvo-sane-pagename.h"
#include "orvo-scanproto.h"

#include <cstring>

bool OrvoIsScanFileName(const char *name, size_t size)
{
    const size_t len = strnlen(name, size);
    const size_t dirLen = strlen(ORVO_SCAN_DIR);
    return len < size && len > dirLen + 1 && strncmp(name, ORVO_SCAN_DIR "/", dirLen + 1) == 0
           && strchr(name + dirLen + 1, '/') == nullptr;
}
