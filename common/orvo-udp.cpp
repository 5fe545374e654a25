#include "orvo-udp.h"

#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {
constexpr uint16_t c_uMaintPort = 9300;
constexpr int c_iReplyWaitSec = 2;
} // namespace

bool IsIPValid(const QString &text)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        "((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)"));
    return re.match(text).hasMatch();
}

int UDPSendRecvData(const QString &address, const unsigned char *send, int sendLen, unsigned char *recv, int recvCap,
                    int &recvSize)
{
    if (!IsIPValid(address))
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(c_uMaintPort);
    // Octets are decimal, also with leading zeros ("192.168.001.010" is 192.168.1.10), as
    // the check reads them; the C library would take "010" as octal.
    uint32_t host = 0;
    for (const QString &octet : address.split('.'))
        host = host << 8 | uint32_t(octet.toUInt(nullptr, 10));
    to.sin_addr.s_addr = htonl(host);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -2;
    const ssize_t sent = sendto(fd, send, size_t(sendLen), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    if (sent != sendLen) {
        close(fd);
        return -3;
    }
    timeval tv{c_iReplyWaitSec, 0};
    if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        close(fd);
        return -4;
    }
    recvSize = int(::recv(fd, recv, size_t(recvCap), 0));
    close(fd);
    return 0;
}
