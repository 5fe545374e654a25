// libFuzzer entry: any reply text from a scanner's HTTP service yields 0, 3 or 4.
#include <cstddef>
#include <cstdint>
#include <string>

#include "OrvoHttpScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const int r = orvo_http_ScanStartResult(text.c_str());
    if (r != 0 && r != 3 && r != 4)
        __builtin_trap();
    return 0;
}
