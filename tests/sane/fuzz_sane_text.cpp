// libFuzzer entry: any text as the printer list file, as orvo.conf, as a family reply and as
// the page file name of a scan start reply.
#include "orvo-printerlist-plain.h"
#include "orvo-sane-conf.h"
#include "orvo-sane-family.h"
#include "orvo-sane-pagename.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (const stPlainPrinter &p : ParsePrinterListPlain(text))
        if (p.strPort.size() > size)
            __builtin_trap();
    std::vector<std::string> warn;
    const stOrvoSaneConf c = ParseOrvoSaneConf(text, warn);
    for (const std::string &a : c.listNetAddress)
        if (!IsIPv4Text(a))
            __builtin_trap();
    if (OrvoModelFromFamily(text).size() > 32)
        __builtin_trap();
    if (OrvoIsScanFileName(text.c_str(), text.size() + 1) && text.find("/..") != std::string::npos)
        __builtin_trap();
    return 0;
}
