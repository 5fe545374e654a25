// orvo-statusreply [--udp] [--status N] [--errors C,C...] [--warnings C,C...] [--ink K,C,R,Y]
//                  [--vendor T] [--product T] [--serial T] [--firmware T] > FILE
// Writes one status reply to stdout: by default a USB reply as the service stores it
// (seven zero bytes, then the body), with --udp the datagram of a network printer.
#include "mfpsim-number.h"
#include "mfpsim-statusreply.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Usage(const char *why)
{
    fprintf(stderr, "orvo-statusreply: %s\n"
                    "usage: orvo-statusreply [--udp] [--status N] [--errors C,C...] [--warnings C,C...]\n"
                    "       [--ink K,C,R,Y] [--vendor T] [--product T] [--serial T] [--firmware T] > FILE\n",
            why);
    return 2;
}

}  // namespace

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
            if (!ParseNumber(value, v) || v > 0xFF)
                return Usage("bad status code");
            r.byStatus = uint8_t(v);
        } else if (opt == "--errors" || opt == "--warnings") {
            if (!ParseNumberList(value, 0xFFFF, list) || list.size() > 0xFF)
                return Usage(("bad code list " + std::string(value)).c_str());
            auto &codes = opt == "--errors" ? r.listErrors : r.listWarnings;
            codes.assign(list.begin(), list.end());
        } else if (opt == "--ink") {
            if (!ParseNumberList(value, 0xFFFF, list) || list.size() != 4)
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
