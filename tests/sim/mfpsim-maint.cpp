#include "mfpsim-maint.h"

#include <arpa/inet.h>
#include <cstring>
#include <map>

namespace {

constexpr int c_iPrinterOut = 0x01;
constexpr int c_iPrinterIn = 0x81;
constexpr size_t c_iPacket = 64;  // the printer answers in packets of this size
constexpr size_t c_iPacketHeader = 5;  // A5 and four bytes, in front of every packet
constexpr uint16_t c_uKeySource = 0x4010;
constexpr int c_iAddressCount = 7;  // keys 0x4011 … 0x4017

const char *const c_szAddressNames[c_iAddressCount] = {"address", "mask", "gateway", "dns1", "dns2", "wins1", "wins2"};

struct stMaintState {
    bool bStatic = true;
    std::string strAddress[c_iAddressCount] = {"192.168.100.123", "255.255.255.0", "192.168.100.254", "202.96.134.133",
                                               "202.96.128.166", "192.168.100.250", "192.168.100.251"};
    std::string strMalformed;  // shape of the next read reply; empty: well-formed
    bool bSilent = false;  // no bulk IN reply at all
    int iPartial = -1;  // the next write on the printer endpoint takes only this many bytes
    std::vector<Bytes> listFrames;  // every transfer written to the printer endpoint
};

std::map<const stSimDevice *, stMaintState> g_mapState;

stMaintState &State(const stSimDevice &dev)
{
    return g_mapState[&dev];
}

bool Starts(const uint8_t *data, int len, std::initializer_list<uint8_t> head)
{
    if (len < 3 + int(head.size()) || data[0] != 0xA5)
        return false;
    return std::equal(head.begin(), head.end(), data + 3);
}

void PutBe16(Bytes &b, unsigned v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void PutItem(Bytes &b, uint16_t key, const std::string &value, size_t gap, int declared = -1)
{
    PutBe16(b, key);
    b.insert(b.end(), gap, 0);
    PutBe16(b, declared < 0 ? unsigned(value.size()) : unsigned(declared));
    b.insert(b.end(), value.begin(), value.end());
}

// The read reply: a 6-byte payload header and one item per key, cut into 64-byte packets.
Bytes BuildIpReply(stMaintState &st)
{
    const std::string shape = st.strMalformed;
    st.strMalformed.clear();
    Bytes payload{0x50, 0xE0, 0xB2, 0x02, 0x00, 0x08};
    PutItem(payload, c_uKeySource, shape == "lowercase" ? (st.bStatic ? "static" : "dhcp") : (st.bStatic ? "Static" : "DHCP"), 14);
    for (int i = 0; i < c_iAddressCount; ++i) {
        const uint16_t key = uint16_t(c_uKeySource + 1 + i);
        const bool last = i == c_iAddressCount - 1;
        if (last && shape == "overrun")
            PutItem(payload, key, st.strAddress[i], 10, int(st.strAddress[i].size()) + 20);
        else if (i == 0 && shape == "long")
            PutItem(payload, key, std::string(400, '1'), 10);
        else if (i == 0 && shape == "badaddr")
            PutItem(payload, key, "192.168.1", 10);
        else
            PutItem(payload, key, st.strAddress[i], 10);
    }
    if (shape == "key")
        PutItem(payload, 0x401F, "0", 10);
    if (shape == "truncated")
        payload.resize(payload.size() - st.strAddress[c_iAddressCount - 1].size() - 9);  // inside the last header
    Bytes raw;
    for (size_t at = 0; at < payload.size(); at += c_iPacket - c_iPacketHeader) {
        const size_t n = std::min(payload.size() - at, c_iPacket - c_iPacketHeader);
        raw.push_back(0xA5);
        PutBe16(raw, unsigned(n + 2));
        raw.insert(raw.end(), {0x50, 0xE0});
        raw.insert(raw.end(), payload.begin() + long(at), payload.begin() + long(at + n));
    }
    return raw;
}

std::string Dotted(const uint8_t *o)
{
    char s[16];
    snprintf(s, sizeof s, "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
    return s;
}

// Applies the items of a write request; false (nothing changed) when one does not fit.
bool ApplyWrite(stMaintState &st, const uint8_t *data, int len)
{
    stMaintState next = st;
    int at = 9;
    while (at + 4 <= len) {
        const unsigned key = unsigned(data[at]) << 8 | data[at + 1];
        const int n = data[at + 2] << 8 | data[at + 3];
        at += 4;
        if (at + n > len)
            return false;
        if (key == c_uKeySource && n == 1 && data[at] <= 1)
            next.bStatic = data[at] == 1;
        else if (key > c_uKeySource && key <= c_uKeySource + c_iAddressCount && n == 4)
            next.strAddress[key - c_uKeySource - 1] = Dotted(data + at);
        else if (key != 0x401F)
            return false;
        at += n;
    }
    if (at != len)
        return false;
    st.bStatic = next.bStatic;
    std::copy(std::begin(next.strAddress), std::end(next.strAddress), std::begin(st.strAddress));
    return true;
}

// Acknowledgement of a command: its header bytes echoed and a status byte 0.
Bytes Ack(const uint8_t *data)
{
    return {0xA5, 0x00, 0x05, data[3], data[4], data[5], data[6], 0x00};
}

bool ValidAddress(const std::string &s)
{
    in_addr a;
    return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

std::string Describe(const stMaintState &st)
{
    std::string s = st.bStatic ? "static" : "dhcp";
    for (const auto &a : st.strAddress)
        s += " " + a;
    return s;
}

}  // namespace

int MaintBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len)
{
    stMaintState &st = State(dev);
    if (ep != c_iPrinterOut)
        return len;
    const bool partial = st.iPartial >= 0 && st.iPartial < len;
    const int taken = partial ? st.iPartial : len;
    st.iPartial = -1;
    st.listFrames.emplace_back(data, data + taken);
    if (partial || st.bSilent)
        return taken;
    Bytes reply;
    if (Starts(data, len, {0x50, 0xE0, 0xB2, 0x02}))
        reply = BuildIpReply(st);
    else if (Starts(data, len, {0x50, 0xE0, 0xB2, 0x03}))
        reply = ApplyWrite(st, data, len) ? Ack(data) : Bytes{0xA5, 0x00, 0x05, 0x50, 0xE0, 0xB2, 0x03, 0x01};
    else if (Starts(data, len, {0x50, 0xE0, 0x2E}))
        reply = Ack(data);  // cleaning, alignment page, alignment values
    if (!reply.empty())
        dev.mapBulkIn[c_iPrinterIn].push_back(reply);
    return taken;
}

void MaintClear(stSimDevice &dev)
{
    stMaintState &st = State(dev);
    st.listFrames.clear();
    st.strMalformed.clear();
    st.bSilent = false;
    st.iPartial = -1;
}

void MaintCommand(const std::vector<std::string> &a, stSimDevice &dev, std::string &data, std::string &err)
{
    std::lock_guard<std::mutex> lock(g_simLock);
    stMaintState &st = State(dev);
    const std::string what = a.size() > 2 ? a[2] : "";
    unsigned long v = 0;
    if (!dev.bUsb) {
        err = "maint commands are for USB devices";
    } else if (what == "ipconfig" && a.size() == 3) {
        data += Describe(st) + "\n";
    } else if (what == "ipconfig" && a.size() == 4 + c_iAddressCount && (a[3] == "dhcp" || a[3] == "static")) {
        for (int i = 0; i < c_iAddressCount; ++i)
            if (!ValidAddress(a[size_t(4 + i)])) {
                err = std::string("bad ") + c_szAddressNames[i] + " " + a[size_t(4 + i)];
                return;
            }
        st.bStatic = a[3] == "static";
        for (int i = 0; i < c_iAddressCount; ++i)
            st.strAddress[i] = a[size_t(4 + i)];
    } else if (what == "malformed" && a.size() == 4
               && (a[3] == "key" || a[3] == "lowercase" || a[3] == "truncated" || a[3] == "overrun" || a[3] == "long"
                   || a[3] == "badaddr")) {
        st.strMalformed = a[3];
    } else if (what == "silent" && a.size() == 4 && (a[3] == "on" || a[3] == "off")) {
        st.bSilent = a[3] == "on";
    } else if (what == "partial" && a.size() == 4 && ParseNumber(a[3], v) && v < 0x10000) {
        st.iPartial = int(v);
    } else if (what == "frames" && (a.size() == 3 || (a.size() == 4 && a[3] == "clear"))) {
        for (const Bytes &f : st.listFrames)
            data += ToHex(f) + "\n";
        if (a.size() == 4)
            st.listFrames.clear();
    } else {
        err = "usage: maint ID ipconfig [dhcp|static ADDRESS MASK GATEWAY DNS1 DNS2 WINS1 WINS2]"
              " | malformed key|lowercase|truncated|overrun|long|badaddr | silent on|off | partial N"
              " | frames [clear]";
    }
}
