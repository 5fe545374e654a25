// libFuzzer entry: any printer reply must parse or be rejected without touching memory
// outside it; what is accepted is a configuration.
#include "orvo-ipconfig.h"
#include "orvo-udp.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 2 * c_iIPReplyMax)
        return 0;
    // A copy of exactly the input's length, so that any read past it is seen.
    std::vector<unsigned char> reply(data, data + size);
    unsigned char payload[c_iIPReplyMax];
    int payloadLen = -1;
    if (FormatRecvData(reply.data(), int(size), payload, payloadLen)
        && (payloadLen < 0 || payloadLen > int(size) || payloadLen > c_iIPReplyMax))
        __builtin_trap();
    stIPInfo info;
    if (!ParseRecvData(reply.data(), int(size), info))
        return 0;
    if (info.iIPSource < -1 || info.iIPSource > 1)
        __builtin_trap();
    for (int i = 0; i < c_iIPAddressCount; ++i)
        if (!IPInfoAddress(info, i).isEmpty() && !IsIPValid(IPInfoAddress(info, i)))
            __builtin_trap();
    return 0;
}
