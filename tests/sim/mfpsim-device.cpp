#include "mfpsim-device.h"

#include <cstdlib>
#include <utility>

std::mutex g_simLock;

namespace {

struct stModelId {
    const char *pszShort;
    int iProductId;
    int iVendorId;
};

// FOREIGN is another vendor's device (a keyboard) that the suite must leave alone.
const stModelId c_stModelIds[] = {
    {"K20NW", 0x2005, c_iVendorId},
    {"K20N", 0x2006, c_iVendorId},
    {"K20W", 0x2007, c_iVendorId},
    {"K40NW", 0x2008, c_iVendorId},
    {"K40N", 0x2009, c_iVendorId},
    {"K40W", 0x200A, c_iVendorId},
    {"FOREIGN", c_iForeignProductId, c_iForeignVendorId},
};

struct stFieldInfo {
    const char *pszName;
    uint16_t wTag;
    int iWidth;  // value bytes; 0 = text
};

const stFieldInfo c_stSupplyFields[] = {
    {"supplyserial", 0x0000, 0},
    {"supplytype", 0x0001, 4},
    {"toner", 0x1000, 2},
    {"waste", 0x1001, 2},
    {"opc", 0x1002, 2},
    {"pages", 0x1003, 4},
    {"prints", 0x1004, 4},
    {"dots", 0x1100, 2},
    {"printerpages", 0x1101, 4},
    {"printerprints", 0x1102, 4},
    {"black", 0x4043, 2},
    {"cyan", 0x4143, 2},
    {"red", 0x4243, 2},
    {"yellow", 0x4343, 2},
};

}  // namespace

int LookupProductId(const std::string &model)
{
    for (const auto &m : c_stModelIds)
        if (model == m.pszShort)
            return m.iProductId;
    return -1;
}

int LookupVendorId(const std::string &model)
{
    for (const auto &m : c_stModelIds)
        if (model == m.pszShort)
            return m.iVendorId;
    return c_iVendorId;
}

void InitSimDevice(stSimDevice &dev)
{
    dev.strProduct = dev.strModel;
    dev.mapSupply.clear();
    dev.mapSupply[0x0000] = Bytes{'I', 'N', 'K', '-', '0', '0', '1'};
    dev.mapSupply[0x0001] = StatusNumber(1, 4);
    dev.mapSupply[0x1000] = StatusNumber(100, 2);
    dev.mapSupply[0x1001] = StatusNumber(5, 2);
    dev.mapSupply[0x1002] = StatusNumber(1234, 2);
    dev.mapSupply[0x1003] = StatusNumber(150, 4);
    dev.mapSupply[0x1004] = StatusNumber(300, 4);
    dev.mapSupply[0x1100] = StatusNumber(4321, 2);
    dev.mapSupply[0x1101] = StatusNumber(1500, 4);
    dev.mapSupply[0x1102] = StatusNumber(3000, 4);
    dev.mapSupply[0x4043] = StatusNumber(80, 2);
    dev.mapSupply[0x4143] = StatusNumber(60, 2);
    dev.mapSupply[0x4243] = StatusNumber(40, 2);
    dev.mapSupply[0x4343] = StatusNumber(20, 2);
}

Bytes BuildStatusBody(const stSimDevice &dev)
{
    if (dev.bRawBody)
        return dev.rawBody;
    stStatusReply r;
    r.strVendor = dev.strVendor;
    r.strProduct = dev.strProduct;
    r.strSerial = dev.strSerial;
    r.byStatus = uint8_t(dev.iStatusCode);
    r.strFirmware = dev.strFirmware;
    r.strFifthText = dev.strFifthText;
    r.listErrors = dev.listErrors;
    r.listWarnings = dev.listWarnings;
    for (const auto &rec : dev.mapSupply)
        r.listSupply.push_back({rec.first, rec.second});
    return EncodeStatusBody(r);
}

Bytes BuildUdpStatusReply(const stSimDevice &dev)
{
    return UdpStatusReply(BuildStatusBody(dev));
}

bool SetDeviceField(stSimDevice &dev, const std::string &name, const std::string &value, std::string &err)
{
    const std::pair<const char *, std::string *> texts[] = {
        {"vendor", &dev.strVendor},
        {"product", &dev.strProduct},
        {"serial", &dev.strSerial},
        {"firmware", &dev.strFirmware},
        {"text5", &dev.strFifthText},
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
    dev.mapSupply[field->wTag] = StatusNumber(v, field->iWidth);
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

bool ParseCodeList(const std::string &s, std::vector<uint16_t> &out)
{
    std::vector<unsigned long> list;
    if (!ParseNumberList(s, 0xFFFF, list) || list.size() > 255)
        return false;
    out.assign(list.begin(), list.end());
    return true;
}
