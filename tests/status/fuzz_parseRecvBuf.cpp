// libFuzzer entry: any byte string must parse or fail without touching memory outside it.
#include "UtilPrinterStatus.h"
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UtilPrinterStatus status;
    if (!status.parseRecvBuf(data, size))
        return 0;
    if (strnlen(status.szVenderName, sizeof status.szVenderName) >= sizeof status.szVenderName
        || strnlen(status.szSupplySerialNumber, sizeof status.szSupplySerialNumber)
               >= sizeof status.szSupplySerialNumber)
        __builtin_trap();
    stPrinterState state;
    FillPrinterState(status, state);
    stPrinterState initial;
    CheckStatusChange(state, initial);
    return 0;
}
