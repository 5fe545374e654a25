#include "orvo-ipconfig.h"

#include <QRegularExpression>

#include <cstring>

namespace {
constexpr uint16_t c_uKeySource = 0x4010;
constexpr uint16_t c_uKeyEnd = 0x401F;  // closes a write request
constexpr int c_iPacket = 64;
constexpr int c_iPacketHeader = 5;
constexpr int c_iPayloadHeader = 6;
constexpr int c_iValueMax = 400;  // longer values are no configuration text

int Be16(const unsigned char *p)
{
    return p[0] << 8 | p[1];
}

void PutBe16(unsigned char *p, unsigned v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}
}  // namespace

const unsigned char c_ucIPReadRequest[c_iIPReadRequestLen] = {
    0xA5, 0x00, 0x19, 0x50, 0xE0, 0xB2, 0x02, 0x00, 0x00, 0x01, 0x00, 0x08, 0x40, 0x10,
    0x40, 0x11, 0x40, 0x12, 0x40, 0x13, 0x40, 0x14, 0x40, 0x15, 0x40, 0x16, 0x40, 0x17};

QString &IPInfoAddress(stIPInfo &info, int i)
{
    QString *fields[c_iIPAddressCount] = {&info.strIPAddress, &info.strSubnetMask, &info.strGateway,
                                          &info.strPrimaryDNS, &info.strSecondaryDNS, &info.strPrimaryWINS,
                                          &info.strSecondaryWINS};
    return *fields[i];
}

const QString &IPInfoAddress(const stIPInfo &info, int i)
{
    return IPInfoAddress(const_cast<stIPInfo &>(info), i);
}

bool IsIPValid(const QString &text)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        "((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)"));
    return re.match(text).hasMatch();
}

bool SplitIPAddress(const QString &text, QStringList &octets)
{
    if (!IsIPValid(text))
        return false;
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    octets = parts;
    return true;
}

bool FormatIPData(const QString &text, unsigned char *buf, int offset)
{
    QStringList octets;
    if (!SplitIPAddress(text, octets))
        return false;
    for (int i = 0; i < 4; ++i)
        buf[offset + i] = static_cast<unsigned char>(octets[i].toUInt(nullptr, 10));
    return true;
}

bool WriteSendData(const stIPInfo &info, unsigned char *buf, int &len)
{
    static const unsigned char head[9] = {0xA5, 0x00, 0x48, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x09};
    memset(buf, 0, c_iIPWriteRequestLen);
    memcpy(buf, head, sizeof head);
    PutBe16(buf + 9, c_uKeySource);
    PutBe16(buf + 11, 1);
    buf[13] = info.iIPSource == 1 ? 1 : 0;
    bool ok = true;
    for (int i = 0; i < c_iIPAddressCount; ++i) {
        const int at = 14 + 8 * i;
        PutBe16(buf + at, unsigned(c_uKeySource + 1 + i));
        PutBe16(buf + at + 2, 4);
        ok = FormatIPData(IPInfoAddress(info, i), buf, at + 4) && ok;
    }
    PutBe16(buf + 70, c_uKeyEnd);
    PutBe16(buf + 72, 1);
    buf[74] = 0;
    len = c_iIPWriteRequestLen;
    return ok;
}

bool FormatRecvData(const unsigned char *reply, int len, unsigned char *payload, int &payloadLen)
{
    if (len <= c_iPayloadHeader || len > c_iIPReplyMax || reply[0] != 0xA5)
        return false;
    payloadLen = 0;
    for (int i = 0; i < len; ++i) {
        if (i % c_iPacket == 0 && reply[i] == 0xA5) {
            i += c_iPacketHeader - 1;
            continue;
        }
        payload[payloadLen++] = reply[i];
    }
    return true;
}

bool ParseRecvData(const unsigned char *reply, int len, stIPInfo &info)
{
    unsigned char payload[c_iIPReplyMax];
    int n = 0;
    if (!FormatRecvData(reply, len, payload, n))
        return false;
    stIPInfo parsed = info;
    int at = c_iPayloadHeader;
    do {
        // Every length is checked against the payload before it is used.
        if (at + 2 > n)
            return false;
        const int key = Be16(payload + at);
        if (key < c_uKeySource || key > c_uKeySource + c_iIPAddressCount)
            return false;
        const int lenAt = at + 2 + (key == c_uKeySource ? 14 : 10);
        if (lenAt + 2 > n)
            return false;
        const int valueLen = Be16(payload + lenAt);
        const int valueAt = lenAt + 2;
        if (valueLen >= c_iValueMax || valueAt + valueLen > n)
            return false;
        const QString value = QString::fromLatin1(reinterpret_cast<const char *>(payload + valueAt), valueLen);
        if (key == c_uKeySource) {
            if (value == "DHCP")
                parsed.iIPSource = 0;
            else if (value == "Static")
                parsed.iIPSource = 1;
            else
                return false;
        } else {
            if (!IsIPValid(value))
                return false;
            IPInfoAddress(parsed, key - c_uKeySource - 1) = value;
        }
        at = valueAt + valueLen;
    } while (at < n);
    info = parsed;
    return true;
}
