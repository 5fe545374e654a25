#include "OrvoHttp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>

#include "OrvoTcp.h"
#include "SaneStatus.h"
#include "ScanLog.h"

const char *orvo_http_body(const char *reply)
{
    if (reply[0] == '\r')
        return reply;
    const char *end = strstr(reply, "\r\n\r\n");
    return end ? end + 4 : reply;
}

char *orvo_next_line(char **cursor)
{
    char *p = *cursor + strspn(*cursor, "\r\n");
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    const size_t n = strcspn(p, "\r\n");
    *cursor = p + n + (p[n] ? 1 : 0);
    p[n] = '\0';
    return p;
}

int orvo_http_exchange(const OrvoSocket *sock, const char *request, size_t len, char *reply, size_t replySize)
{
    reply[0] = '\0';
    const int fd = orvo_init_tcp(sock->szScannerIP, c_iScanHttpPort);
    if (fd < 0)
        return SANE_STATUS_IO_ERROR;
    if (!orvo_tcp_send_all(fd, request, len)) {
        OrvoLogErr("[OrvoScanSDK] send msg error: %s(errno: %d)\n", strerror(errno), errno);
        orvo_close_tcp(fd);
        return SANE_STATUS_IO_ERROR;
    }
    const ssize_t n = orvo_tcp_recv(fd, reply, replySize - 1, true);
    orvo_close_tcp(fd);
    if (n <= 0) {
        OrvoLogErr("[OrvoScanSDK] recv error");
        return SANE_STATUS_IO_ERROR;
    }
    reply[n] = '\0';
    return 0;
}

int orvo_http_begin(const OrvoSocket *sock, char *hostLine, size_t size)
{
    if (!orvo_scanner_ip_valid(sock)) {
        OrvoLogErr("[OrvoScanSDK] invalid scanner address\n");
        return SANE_STATUS_INVAL;
    }
    orvo_host_line(hostLine, size);
    return 0;
}

int orvo_http_post_form(const OrvoSocket *sock, const char *path, const char *body, const char *what, char *reply,
                        size_t replySize)
{
    char hostLine[64];
    if (const int rc = orvo_http_begin(sock, hostLine, sizeof hostLine))
        return rc;
    char request[1024];
    const int len = orvo_http_form_request(request, sizeof request, path, hostLine, body);
    if (orvo_http_exchange(sock, request, size_t(len), reply, replySize) != 0)
        return SANE_STATUS_IO_ERROR;
    orvo_log_reply(what, reply);
    return 0;
}

void orvo_log_reply(const char *what, const char *reply)
{
    int status = 0;
    if (sscanf(reply, "HTTP/%*d.%*d %d", &status) != 1)
        status = 0;
    OrvoLogInfo("[OrvoScanSDK] %s reply: %zu bytes, status %d\n", what, strlen(reply), status);
}

int orvo_http_form_request(char *out, size_t size, const char *path, const char *hostLine, const char *body)
{
    char lengthLine[64];
    snprintf(lengthLine, sizeof lengthLine, "Content-Length: %d\r\n", int(strlen(body)));
    return snprintf(out, size,
                    "POST %s HTTP/1.1\r\nConnection: Keep-Alive\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                    "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\nUser-Agent: HttpScanConnection\r\n"
                    "%s%s\r\n%s",
                    path, lengthLine, hostLine, body);
}
