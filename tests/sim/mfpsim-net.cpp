#include "mfpsim-net.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const uint8_t c_ucStatusRequest[15] = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03};

}  // namespace

bool NetOpen(stSimDevice &dev, std::string &err)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(c_iStatusPort);
    if (inet_pton(AF_INET, dev.strAddr.c_str(), &sa.sin_addr) != 1 || dev.strAddr.rfind("127.", 0) != 0) {
        err = "not a loopback address: " + dev.strAddr;
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        err = "cannot bind " + dev.strAddr + ":9300: " + strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    dev.iUdpFd = fd;
    return true;
}

void NetReceive(stSimDevice &dev)
{
    uint8_t buf[65536];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = recvfrom(dev.iUdpFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
    if (n < 0)
        return;
    Bytes reply;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        const bool status = n == sizeof c_ucStatusRequest && memcmp(buf, c_ucStatusRequest, sizeof buf[0] * 15) == 0;
        const bool answering = dev.bPlugged && !dev.bSilent;
        if (status) {
            ++dev.iStatusRequests;
            if (answering)
                reply = BuildUdpStatusReply(dev);
        } else {
            dev.listNetRx.emplace_back(buf, buf + n);
            if (answering && !dev.queueNetReply.empty()) {
                reply = dev.queueNetReply.front();
                dev.queueNetReply.pop_front();
            }
        }
    }
    if (!reply.empty())
        sendto(dev.iUdpFd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
}
