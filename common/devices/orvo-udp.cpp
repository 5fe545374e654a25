#include "orvo-udp.h"

#include "orvo-ipv4-plain.h"
#include "orvo-log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {
constexpr uint16_t c_uMaintPort = 9300;
constexpr int c_iReplyWaitSec = 2;
}  // namespace

int UDPSendRecvData(const QString &address, const unsigned char *send, int sendLen, unsigned char *recv, int recvCap,
                    int &recvSize)
{
    // The queue's address as the scheduler reads it, so that maintenance reaches the printer
    // that prints the queue's jobs.
    in_addr resolved{};
    if (!ParseIPv4Address(address.toStdString(), resolved))
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(c_uMaintPort);
    to.sin_addr = resolved;
    const QByteArray text = address.toLocal8Bit();
    WriteStringLog("common/orvo-udp", __LINE__, "UDPSendRecvData", "*** address %s is %s \n", text.constData(),
                   IPv4AddressText(resolved).c_str());
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
