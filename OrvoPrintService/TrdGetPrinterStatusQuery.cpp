// The two ways of asking a printer for its status: a USB class request or a UDP datagram.
#include "TrdGetPrinterStatus.h"
#include "UtilUsbPrinter.h"

#include "orvo-ipv4-plain.h"
#include "orvo-log.h"

#include <libusb.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace {
// Start byte, length of what follows (12), then the fixed status command.
const unsigned char c_szStatusRequest[15] = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const int c_iUsbStatusRequest = 0x33;
const int c_iUsbReplyOffset = 7;  // seven zero bytes stand in for the network reply header

// Logs the address a network printer's host text was read as, once per host a worker serves.
void LogResolvedHost(const QString &host, const in_addr &address)
{
    static thread_local QString t_strLoggedHost;
    if (host == t_strLoggedHost)
        return;
    t_strLoggedHost = host;
    WriteStringLog("../OrvoPrintService/TrdGetPrinterStatus", __LINE__, "GetPrinterStatusUDP", "host %s is %s",
                   host.toLocal8Bit().constData(), IPv4AddressText(address).c_str());
}
}

int TrdGetPrinterStatus::GetPrinterStatusUSB(const QString &port)
{
    unsigned char buf[1024];
    memset(buf, 0, sizeof buf);
    libusb_device_handle *handle = nullptr;
    const int open = OpenUsbPrinter(port, c_stStatusQueryLines, &handle);
    if (open == UP_NO_MODEL)
        return UP_NO_CONTEXT;
    if (open < 0)
        return open;
    const int received = UsbClassRequest(handle, c_iUsbStatusRequest, buf + c_iUsbReplyOffset,
                                         int(sizeof buf) - c_iUsbReplyOffset);
    ReleaseUsbPrinter(handle, received);
    if (received <= 0)
        return -1;
    return CheckPrinterStatus(buf, static_cast<unsigned long>(received) + c_iUsbReplyOffset);
}

// The socket is the worker's for as long as it runs (as many sockets as printers, made once):
// a reply that came after its time-out is dropped before the next request, so that no
// reply is taken for the next one's, and one from another address is not a reply.
// whileAsked runs once, while the request is on its way (or before a failure to send it):
// the reply is then often there when it is read, and the thread need not sleep for it.
int TrdGetPrinterStatus::GetPrinterStatusUDP(const QString &host, const std::function<void()> &whileAsked)
{
    bool ran = false;
    const auto runOnce = [&] {
        if (!ran && whileAsked)
            whileAsked();
        ran = true;
    };
    const int ret = AskPrinterUDP(host, runOnce);
    runOnce();
    return ret;
}

int TrdGetPrinterStatus::AskPrinterUDP(const QString &host, const std::function<void()> &sent)
{
    // The host as the scheduler's socket backend reads it, so that the status comes from the
    // printer that prints the queue's jobs; a host name is not looked up.
    in_addr address{};
    if (!ParseIPv4Address(host.toStdString(), address))
        return -1;
    sockaddr_in dest;
    memset(&dest, 0, sizeof dest);
    dest.sin_family = AF_INET;
    dest.sin_port = htons(9300);
    dest.sin_addr = address;
    LogResolvedHost(host, address);

    if (iUdpSocket < 0) {
        const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (sock < 0)
            return -2;
        timeval timeout{2, 0};
        if (setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
            close(sock);
            return -4;
        }
        iUdpSocket = sock;
    }
    unsigned char buf[2048];
    if (bUdpLate) {
        while (recv(iUdpSocket, buf, sizeof buf, MSG_DONTWAIT) >= 0) {
        }
        bUdpLate = false;
    }
    const ssize_t written = sendto(iUdpSocket, c_szStatusRequest, sizeof c_szStatusRequest, 0,
                                   reinterpret_cast<const sockaddr *>(&dest), sizeof dest);
    if (written < ssize_t(sizeof c_szStatusRequest))
        return -3;
    sent();
    for (int stray = 0; stray < 8; ++stray) {
        memset(buf, 0, sizeof buf);
        sockaddr_in from;
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(iUdpSocket, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (got < 0)
            break;
        if (from.sin_addr.s_addr != dest.sin_addr.s_addr || from.sin_port != dest.sin_port)
            continue;
        if (got > 7)
            return CheckPrinterStatus(buf, static_cast<unsigned long>(got));
        return -5;
    }
    bUdpLate = true;
    return -5;
}

TrdGetPrinterStatus::~TrdGetPrinterStatus()
{
    if (iUdpSocket >= 0)
        close(iUdpSocket);
}
