#include "mfpsim-device.h"

#include <cstdlib>
#include <utility>

std::mutex g_simLock;

namespace {

struct stModelId {
    const char *pszShort;
    int iProductId;
};

const stModelId c_stModelIds[] = {
    {"K20NW", 0x2005}, {"K20N", 0x2006}, {"K20W", 0x2007},
    {"K40NW", 0x2008}, {"K40N", 0x2009}, {"K40W", 0x200A},
};

struct stFieldInfo {
    const char *pszName;
    uint16_t wTag;
    int iWidth;  // value bytes; 0 = text
};

const stFieldInfo c_stSupplyFields[] = {
    {"supplyserial", 0x0000, 0}, {"supplytype", 0x0001, 4},
    {"toner", 0x1000, 2},        {"waste", 0x1001, 2},
    {"opc", 0x1002, 2},          {"pages", 0x1003, 4},
    {"prints", 0x1004, 4},       {"dots", 0x1100, 2},
    {"printerpages", 0x1101, 4}, {"printerprints", 0x1102, 4},
    {"black", 0x4043, 2},        {"cyan", 0x4143, 2},
    {"red", 0x4243, 2},          {"yellow", 0x4343, 2},
};

void PutU16(Bytes &b, unsigned v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void PutText(Bytes &b, const std::string &s)
{
    PutU16(b, unsigned(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

Bytes NumberBytes(unsigned long v, int width)
{
    Bytes b;
    for (int i = width - 1; i >= 0; --i)
        b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

}  // namespace

int LookupProductId(const std::string &model)
{
    for (const auto &m : c_stModelIds)
        if (model == m.pszShort)
            return m.iProductId;
    return -1;
}

void InitSimDevice(stSimDevice &dev)
{
    dev.strProduct = dev.strModel;
    dev.mapSupply.clear();
    dev.mapSupply[0x0000] = Bytes{'I', 'N', 'K', '-', '0', '0', '1'};
    dev.mapSupply[0x0001] = NumberBytes(1, 4);
    dev.mapSupply[0x1000] = NumberBytes(100, 2);
    dev.mapSupply[0x1001] = NumberBytes(5, 2);
    dev.mapSupply[0x1002] = NumberBytes(1234, 2);
    dev.mapSupply[0x1003] = NumberBytes(150, 4);
    dev.mapSupply[0x1004] = NumberBytes(300, 4);
    dev.mapSupply[0x1100] = NumberBytes(4321, 2);
    dev.mapSupply[0x1101] = NumberBytes(1500, 4);
    dev.mapSupply[0x1102] = NumberBytes(3000, 4);
    dev.mapSupply[0x4043] = NumberBytes(80, 2);
    dev.mapSupply[0x4143] = NumberBytes(60, 2);
    dev.mapSupply[0x4243] = NumberBytes(40, 2);
    dev.mapSupply[0x4343] = NumberBytes(20, 2);
}

Bytes BuildStatusBody(const stSimDevice &dev)
{
    if (dev.bRawBody)
        return dev.rawBody;
    Bytes b;
    b.push_back(c_ucStatusCommand);  // echoes the command byte of the request
    PutU16(b, 0);
    PutU16(b, 0);
    PutText(b, dev.strVendor);
    PutText(b, dev.strProduct);
    PutText(b, dev.strSerial);
    PutU16(b, 0);
    b.push_back(uint8_t(dev.iStatusCode));
    PutText(b, dev.strFirmware);
    PutText(b, dev.strFifthText);
    b.push_back(uint8_t(dev.listErrors.size()));
    for (uint16_t c : dev.listErrors)
        PutU16(b, c);
    b.push_back(uint8_t(dev.listWarnings.size()));
    for (uint16_t c : dev.listWarnings)
        PutU16(b, c);
    b.push_back(0);
    PutU16(b, 0);
    PutU16(b, 0);
    b.push_back(uint8_t(dev.mapSupply.size()));
    for (const auto &rec : dev.mapSupply) {
        PutU16(b, rec.first);
        b.push_back(uint8_t(rec.second.size()));
        b.insert(b.end(), rec.second.begin(), rec.second.end());
    }
    return b;
}

Bytes BuildUdpStatusReply(const stSimDevice &dev)
{
    const Bytes body = BuildStatusBody(dev);
    // Same framing as the request: start byte, big-endian count of the bytes that follow
    // the count, then the fixed bytes 50 E0 74 08.
    Bytes r{0xA5};
    PutU16(r, unsigned(body.size() + 4));
    r.insert(r.end(), {0x50, 0xE0, 0x74, 0x08});
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

bool SetDeviceField(stSimDevice &dev, const std::string &name, const std::string &value, std::string &err)
{
    const std::pair<const char *, std::string *> texts[] = {
        {"vendor", &dev.strVendor},     {"product", &dev.strProduct}, {"serial", &dev.strSerial},
        {"firmware", &dev.strFirmware}, {"text5", &dev.strFifthText},
    };
    for (const auto &t : texts) {
        if (name == t.first) {
            *t.second = value;
            return true;
        }
    }
    const stFieldInfo *field = nullptr;
    for (const auto &f : c_stSupplyFields)
        if (name == f.pszName)
            field = &f;
    if (!field) {
        err = "unknown field " + name;
        return false;
    }
    if (value == "-") {  // the response then carries no record with this tag
        dev.mapSupply.erase(field->wTag);
        return true;
    }
    if (field->iWidth == 0) {
        dev.mapSupply[field->wTag] = Bytes(value.begin(), value.end());
        return true;
    }
    unsigned long v = 0;
    if (!ParseNumber(value, v)) {
        err = "bad number " + value;
        return false;
    }
    dev.mapSupply[field->wTag] = NumberBytes(v, field->iWidth);
    return true;
}

std::string ToHex(const Bytes &b)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(b.size() * 2);
    for (uint8_t c : b) {
        s.push_back(digits[c >> 4]);
        s.push_back(digits[c & 15]);
    }
    return s;
}

bool FromHex(const std::string &s, Bytes &out)
{
    out.clear();
    int hi = -1;
    for (char c : s) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == ' ' || c == ':')
            continue;
        else
            return false;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(uint8_t(hi << 4 | v));
            hi = -1;
        }
    }
    return hi < 0;
}

bool ParseNumber(const std::string &s, unsigned long &v)
{
    if (s.empty())
        return false;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    char *end = nullptr;
    v = strtoul(s.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    return end && *end == '\0' && s[hex ? 2 : 0] != '-';
}

bool ParseCodeList(const std::string &s, std::vector<uint16_t> &out)
{
    out.clear();
    size_t pos = 0;
    while (pos < s.size()) {
        size_t comma = s.find(',', pos);
        if (comma == std::string::npos)
            comma = s.size();
        unsigned long v = 0;
        if (!ParseNumber(s.substr(pos, comma - pos), v) || v > 0xFFFF)
            return false;
        out.push_back(uint16_t(v));
        pos = comma + 1;
    }
    return out.size() <= 255;
}
