// libFuzzer entry for one printing-side parser (fuzz-parsers.h).
#include "fuzz-parsers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzStatusFile(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
