#include "OrvoTcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "OrvoHttpScan.h"
#include "orvo-scan-interim.h"

namespace {

bool ParseAddress(const char *ip, in_addr &addr)
{
    return ip && inet_pton(AF_INET, ip, &addr) == 1;
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
    if (connect(sock, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
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

int orvo_tcp_recv_with_retry(int sock, void *buf, size_t len)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    size_t got = 0;
    for (int call = 0; call < 4 && got < len; ++call) {
        const ssize_t n = recv(sock, static_cast<char *>(buf) + got, len - got, MSG_WAITALL);
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
        if (!inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(ifa->ifa_addr)->sin_addr, text, sizeof text) ||
            strcmp(text, "127.0.0.1") == 0)
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
