// libFuzzer entry: any capabilities page parses without touching memory outside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "OrvoCapabilities.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    ScannerCapabilities caps{};
    if (orvo_ParseScanCapabilities(&caps, text.c_str()) != 0)
        __builtin_trap();
    return 0;
}
