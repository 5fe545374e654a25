// orvo-statusreply [--udp] [--status N] [--errors C,C...] [--warnings C,C...] [--ink K,C,R,Y]
//                  [--vendor T] [--product T] [--serial T] [--firmware T] > FILE
// Writes one status reply to stdout: by default a USB reply as the service stores it
// (seven zero bytes, then the body), with --udp the datagram of a network printer.
#include "mfpsim-statusreply.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Number(const char *s, unsigned long max, unsigned long &v)
{
    char *end = nullptr;
    errno = 0;
    v = strtoul(s, &end, 0);
    return *s != '\0' && *s != '-' && end && *end == '\0' && errno == 0 && v <= max;
}

// Comma-separated numbers, each at most max; an empty text is an empty list.
bool NumberList(const char *s, unsigned long max, std::vector<unsigned long> &out)
{
    out.clear();
    std::string text = s;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        unsigned long v = 0;
        if (!Number(text.substr(pos, comma - pos).c_str(), max, v))
            return false;
        out.push_back(v);
        pos = comma + 1;
    }
    return true;
}

int Usage(const char *why)
{
    fprintf(stderr, "orvo-statusreply: %s\n"
                    "usage: orvo-statusreply [--udp] [--status N] [--errors C,C...] [--warnings C,C...]\n"
                    "       [--ink K,C,R,Y] [--vendor T] [--product T] [--serial T] [--firmware T] > FILE\n",
            why);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    stStatusReply r;
    r.strVendor = "Orvo";
    r.strProduct = "K20NW";
    r.strSerial = "AB1234";
    r.strFirmware = "V1.0";
    bool udp = false;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--udp") {
            udp = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage(("missing value of " + opt).c_str());
        const char *value = argv[++i];
        std::vector<unsigned long> list;
        unsigned long v = 0;
        if (opt == "--status") {
            if (!Number(value, 0xFF, v))
                return Usage("bad status code");
            r.byStatus = uint8_t(v);
        } else if (opt == "--errors" || opt == "--warnings") {
            if (!NumberList(value, 0xFFFF, list) || list.size() > 0xFF)
                return Usage(("bad code list " + std::string(value)).c_str());
            auto &codes = opt == "--errors" ? r.listErrors : r.listWarnings;
            codes.assign(list.begin(), list.end());
        } else if (opt == "--ink") {
            if (!NumberList(value, 0xFFFF, list) || list.size() != 4)
                return Usage("--ink takes four levels K,C,R,Y");
            SetInks(r, unsigned(list[0]), unsigned(list[1]), unsigned(list[2]), unsigned(list[3]));
        } else if (opt == "--vendor") {
            r.strVendor = value;
        } else if (opt == "--product") {
            r.strProduct = value;
        } else if (opt == "--serial") {
            r.strSerial = value;
        } else if (opt == "--firmware") {
            r.strFirmware = value;
        } else {
            return Usage(("unknown option " + opt).c_str());
        }
    }
    const StatusBytes out = udp ? UdpStatusReply(EncodeStatusBody(r)) : EncodeUsbStatusReply(r);
    if (fwrite(out.data(), 1, out.size(), stdout) != out.size() || fflush(stdout) != 0) {
        perror("orvo-statusreply: stdout");
        return 1;
    }
    return 0;
}
