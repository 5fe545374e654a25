#include "OrvoTcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "OrvoHttpScan.h"
#include "SaneStatus.h"
#include "ScanLog.h"

namespace {

bool ParseAddress(const char *ip, in_addr &addr)
{
    return ip && inet_pton(AF_INET, ip, &addr) == 1;
}

long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return long(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits for the descriptor until the deadline; signals do not cut the wait short.
bool WaitFor(int sock, short events, long deadlineMs)
{
    for (;;) {
        const long left = deadlineMs - NowMs();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd p{sock, events, 0};
        const int r = poll(&p, 1, int(left));
        if (r > 0)
            return true;
        if (r == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR)
            return false;
    }
}

// A connect interrupted by a signal goes on in the background: wait for its outcome.
bool Connect(int sock, const sockaddr_in &sa)
{
    if (connect(sock, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) == 0)
        return true;
    if (errno != EINTR && errno != EINPROGRESS)
        return false;
    if (!WaitFor(sock, POLLOUT, NowMs() + c_iScanTcpTimeoutSec * 1000))
        return false;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        return false;
    errno = err;
    return err == 0;
}

}  // namespace

int orvo_init_tcp(const char *ip, int port)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (!ParseAddress(ip, sa.sin_addr)) {
        OrvoLogErr("[OrvoScanSDK] connect error: %s(errno: %d)\n", strerror(EINVAL), EINVAL);
        return -1;
    }
    const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        OrvoLogErr("[OrvoScanSDK] create socket error: %s(errno: %d)\n", strerror(errno), errno);
        return -1;
    }
    timeval tv{c_iScanTcpTimeoutSec, 0};
    if (setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
        OrvoLogErr("[OrvoScanSDK] setsockopt SO_SNDTIMEO error: %s(errno: %d)\n", strerror(errno), errno);
        close(sock);
        return -1;
    }
    if (setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        OrvoLogErr("[OrvoScanSDK] setsockopt SO_RCVTIMEO error: %s(errno: %d)\n", strerror(errno), errno);
        close(sock);
        return -1;
    }
    if (!Connect(sock, sa)) {
        OrvoLogErr("[OrvoScanSDK] connect error: %s(errno: %d)\n", strerror(errno), errno);
        close(sock);
        return -1;
    }
    return sock;
}

void orvo_close_tcp(int sock)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (sock >= 0)
        close(sock);
}

ssize_t orvo_tcp_recv(int sock, void *buf, size_t len, bool all)
{
    const long deadline = NowMs() + c_iScanTcpTimeoutSec * 1000;
    size_t got = 0;
    bool closed = false;
    while (got < len && !closed && WaitFor(sock, POLLIN, deadline)) {
        const ssize_t n = recv(sock, static_cast<char *>(buf) + got, len - got, MSG_DONTWAIT);
        if (n > 0) {
            got += size_t(n);
            if (!all)
                break;
        } else if (n == 0) {
            closed = true;
        } else if (errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    if (got > 0)
        return ssize_t(got);
    return closed ? 0 : -1;
}

int orvo_tcp_recv_with_retry(int sock, void *buf, size_t len)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    size_t got = 0;
    for (int call = 0; call < 4 && got < len; ++call) {
        const ssize_t n = orvo_tcp_recv(sock, static_cast<char *>(buf) + got, len - got, true);
        if (n > 0)
            got += size_t(n);
    }
    return got == len ? 0 : -1;
}

bool orvo_tcp_send_all(int sock, const void *buf, size_t len)
{
    size_t sent = 0;
    while (sent < len) {
        const ssize_t n = send(sock, static_cast<const char *>(buf) + sent, len - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

int GetHostIPAddress(char *buf, size_t size)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        OrvoLogErr("[OrvoScanSDK] getifaddrs fail\n");
        return -1;
    }
    const unsigned wanted = IFF_UP | IFF_RUNNING | IFF_BROADCAST | IFF_MULTICAST;
    int rc = -1;
    for (ifaddrs *ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_INET || (ifa->ifa_flags & wanted) != wanted)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(ifa->ifa_addr)->sin_addr, text, sizeof text)
            || strcmp(text, "127.0.0.1") == 0)
            continue;
        // The caller's buffer stays NUL-terminated.
        if (strlen(text) >= size) {
            OrvoLogErr("[OrvoScanSDK] szHostIpAddress size over\n");
        } else {
            memcpy(buf, text, strlen(text));
            rc = 0;
        }
        break;
    }
    freeifaddrs(list);
    return rc;
}

bool orvo_scanner_ip_valid(const OrvoSocket *sock)
{
    if (!sock || !memchr(sock->szScannerIP, '\0', sizeof sock->szScannerIP))
        return false;
    in_addr addr;
    return ParseAddress(sock->szScannerIP, addr);
}

void orvo_host_line(char *out, size_t size)
{
    char host[INET_ADDRSTRLEN] = {};
    if (GetHostIPAddress(host, sizeof host) != 0)
        snprintf(host, sizeof host, "%s", c_szPlaceholderIP);
    snprintf(out, size, "Host: %s\r\n", host);
}
