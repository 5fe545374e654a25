// The two ways of asking a printer for its status: a USB class request or a UDP datagram.
#include "TrdGetPrinterStatus.h"
#include "UtilUsbPrinter.h"

#include <libusb.h>

#include <arpa/inet.h>
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
const int c_iUsbReplyOffset = 7;   // seven zero bytes stand in for the network reply header
}

int TrdGetPrinterStatus::GetPrinterStatusUSB(const QString &port)
{
    unsigned char buf[1024];
    memset(buf, 0, sizeof buf);
    libusb_device_handle *handle = nullptr;
    const int open = OpenUsbPrinter(port, c_stStatusQueryLines, &handle);
    if (open == -1)
        return -2;
    if (open < 0)
        return open;
    const int received = UsbClassRequest(handle, c_iUsbStatusRequest, buf + c_iUsbReplyOffset,
                                         int(sizeof buf) - c_iUsbReplyOffset);
    ReleaseUsbPrinter(handle, received);
    if (received <= 0)
        return -1;
    return CheckPrinterStatus(buf, static_cast<unsigned long>(received) + c_iUsbReplyOffset);
}

int TrdGetPrinterStatus::GetPrinterStatusUDP(const QString &host)
{
    if (host.isEmpty())
        return -1;
    sockaddr_in dest;
    memset(&dest, 0, sizeof dest);
    dest.sin_family = AF_INET;
    dest.sin_port = htons(9300);
    // Dotted text only: a host name is not resolved and gives no usable address.
    dest.sin_addr.s_addr = inet_addr(host.toLatin1().constData());

    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0)
        return -2;
    const ssize_t sent = sendto(sock, c_szStatusRequest, sizeof c_szStatusRequest, 0,
                                reinterpret_cast<const sockaddr *>(&dest), sizeof dest);
    if (sent < ssize_t(sizeof c_szStatusRequest)) {
        close(sock);
        return -3;
    }
    timeval timeout{2, 0};
    if (setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        close(sock);
        return -4;
    }
    unsigned char buf[2048];
    memset(buf, 0, sizeof buf);
    const ssize_t got = recvfrom(sock, buf, sizeof buf, 0, nullptr, nullptr);
    close(sock);
    if (got > 7)
        return CheckPrinterStatus(buf, static_cast<unsigned long>(got));
    return -5;
}
