// The printer's IPv4 configuration as the maintenance tool reads and writes it over USB:
// the read and write requests and the reply parser.
#pragma once
#include <QString>
#include <QStringList>

struct stIPInfo {
    int iIPSource = -1;  // 0 DHCP, 1 static; -1 when a reply did not say
    QString strIPAddress;
    QString strSubnetMask;
    QString strGateway;
    QString strPrimaryDNS;
    QString strSecondaryDNS;
    QString strPrimaryWINS;
    QString strSecondaryWINS;
};

constexpr int c_iIPAddressCount = 7;  // address fields in key order 0x4011 … 0x4017
QString &IPInfoAddress(stIPInfo &info, int i);
const QString &IPInfoAddress(const stIPInfo &info, int i);

constexpr int c_iIPReadRequestLen = 28;
extern const unsigned char c_ucIPReadRequest[c_iIPReadRequestLen];
constexpr int c_iIPWriteRequestLen = 75;
constexpr int c_iIPReplyMax = 1024;  // largest reply taken, and the payload buffer's size

// True when the whole text is a dotted IPv4 address (octets 0…255, leading zeros allowed,
// read as decimal): the form in which the pages and the command line take and show the
// printer's own addresses.
bool IsIPValid(const QString &text);
// The four parts of such an address as typed, first octet first, each read as decimal by
// its user; false (octets untouched) when the text is not one.
bool SplitIPAddress(const QString &text, QStringList &octets);
// Writes the address as four bytes at buf[offset]; false (buffer untouched) when invalid.
bool FormatIPData(const QString &text, unsigned char *buf, int offset);
// Builds the 75-byte write request into buf (at least c_iIPWriteRequestLen bytes); len gets
// 75. False when any address is invalid.
bool WriteSendData(const stIPInfo &info, unsigned char *buf, int &len);
// Drops the packet headers (0xA5 and four bytes at every multiple of 64) of a raw reply
// into payload (c_iIPReplyMax bytes). False unless the reply is 7 … c_iIPReplyMax bytes
// and begins with 0xA5.
bool FormatRecvData(const unsigned char *reply, int len, unsigned char *payload, int &payloadLen);
// Parses a read reply into info; false (info untouched) when it is not a valid reply.
bool ParseRecvData(const unsigned char *reply, int len, stIPInfo &info);
