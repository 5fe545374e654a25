#include "mfpsim-statusreply.h"

#include <algorithm>

namespace {

void PutWord(StatusBytes &b, unsigned v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

template <typename Range>
void PutCounted16(StatusBytes &b, const Range &text)
{
    const size_t n = std::min<size_t>(text.size(), 0xFFFF);
    PutWord(b, unsigned(n));
    b.insert(b.end(), text.begin(), text.begin() + std::ptrdiff_t(n));
}

void PutCodes(StatusBytes &b, const std::vector<uint16_t> &codes)
{
    const size_t n = std::min<size_t>(codes.size(), 0xFF);
    b.push_back(uint8_t(n));
    for (size_t i = 0; i < n; ++i)
        PutWord(b, codes[i]);
}

}  // namespace

StatusBytes StatusNumber(uint64_t v, int width)
{
    StatusBytes b;
    for (int i = width - 1; i >= 0; --i)
        b.push_back(uint8_t(i < 8 ? v >> (8 * i) : 0));
    return b;
}

stStatusSupply SupplyNumber(uint16_t tag, uint64_t v, int width)
{
    return {tag, StatusNumber(v, width)};
}

stStatusSupply SupplyText(uint16_t tag, const std::string &text)
{
    return {tag, StatusBytes(text.begin(), text.end())};
}

void SetSupply(stStatusReply &r, uint16_t tag, const StatusBytes &value)
{
    for (stStatusSupply &s : r.listSupply) {
        if (s.wTag == tag) {
            s.value = value;
            return;
        }
    }
    r.listSupply.push_back({tag, value});
}

void SetInks(stStatusReply &r, unsigned black, unsigned cyan, unsigned red, unsigned yellow)
{
    SetSupply(r, c_wSupplyBlack, StatusNumber(black, 2));
    SetSupply(r, c_wSupplyCyan, StatusNumber(cyan, 2));
    SetSupply(r, c_wSupplyRed, StatusNumber(red, 2));
    SetSupply(r, c_wSupplyYellow, StatusNumber(yellow, 2));
}

StatusBytes EncodeStatusBody(const stStatusReply &r)
{
    StatusBytes b;
    b.push_back(r.byReserved1);
    PutWord(b, r.wReserved2);
    PutWord(b, r.wReserved3);
    PutCounted16(b, r.strVendor);
    PutCounted16(b, r.strProduct);
    PutCounted16(b, r.strSerial);
    PutWord(b, r.wReserved4);
    b.push_back(r.byStatus);
    PutCounted16(b, r.strFirmware);
    PutCounted16(b, r.strFifthText);
    PutCodes(b, r.listErrors);
    PutCodes(b, r.listWarnings);
    b.push_back(r.byReserved5);
    PutWord(b, r.wReserved6);
    PutWord(b, r.wReserved7);
    const size_t records = std::min<size_t>(r.listSupply.size(), 0xFF);
    b.push_back(uint8_t(r.iAnnouncedSupplies < 0 ? records : size_t(r.iAnnouncedSupplies)));
    for (size_t i = 0; i < records; ++i) {
        const stStatusSupply &s = r.listSupply[i];
        const size_t n = std::min<size_t>(s.value.size(), 0xFF);
        PutWord(b, s.wTag);
        b.push_back(uint8_t(n));
        b.insert(b.end(), s.value.begin(), s.value.begin() + std::ptrdiff_t(n));
    }
    return b;
}

StatusBytes EncodeUsbStatusReply(const stStatusReply &r)
{
    StatusBytes b(7, 0);
    const StatusBytes body = EncodeStatusBody(r);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

StatusBytes UdpStatusReply(const StatusBytes &body)
{
    StatusBytes r{0xA5};
    PutWord(r, unsigned(body.size() + 4));
    r.insert(r.end(), {0x50, 0xE0, 0x74, 0x08});
    r.insert(r.end(), body.begin(), body.end());
    return r;
}
