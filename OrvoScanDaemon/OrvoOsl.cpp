#include "OrvoOsl.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

#include "OrvoTcp.h"
#include "SaneStatus.h"
#include "ScanLog.h"

namespace {

struct stOslRequest {
    const char *objName;
    const char *attribName;
    int requestId;
};

const stOslRequest c_stOslRequests[] = {
    {"system", "familyType", 10001},
    {"mfp.profileFactory", "getList", 10002},
    {"mfp.scanner", "summary", 10003},
};

int FailRecv(int fd)
{
    OrvoLogErr("[OrvoScanSDK] recv orvo_send_osl error");
    orvo_close_tcp(fd);
    return SANE_STATUS_IO_ERROR;
}

}  // namespace

int orvo_send_osl(OrvoSocket *sock, char **ppText, int type, int *pLen)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    *ppText = nullptr;
    *pLen = 0;
    if (!orvo_scanner_ip_valid(sock) || type < OSL_CMD_FAMILYTYPE || type > OSL_CMD_SUMMARY) {
        OrvoLogErr("[OrvoScanSDK] invalid scanner address or attribute type\n");
        return SANE_STATUS_INVAL;
    }
    const stOslRequest &r = c_stOslRequests[type];
    static char message[4 + c_iOslBufferSize];
    const int textLen = snprintf(message + 4, c_iOslBufferSize,
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<method name=\"getAttribute\" "
                                 "requestID=\"%d\">\r\n  <arg name=\"objName\">%s</arg>\r\n  <arg "
                                 "name=\"attribName\">%s</arg>\r\n</method>\r\n",
                                 r.requestId, r.objName, r.attribName);
    const uint32_t prefix = htonl(uint32_t(textLen));
    memcpy(message, &prefix, 4);

    const int fd = orvo_init_tcp(sock->szScannerIP, c_iOslPort);
    if (fd < 0)
        return SANE_STATUS_IO_ERROR;
    if (!orvo_tcp_send_all(fd, message, 4 + size_t(textLen))) {
        OrvoLogErr("[OrvoScanSDK] send orvo_send_osl msg error: %s(errno: %d)\n", strerror(errno), errno);
        orvo_close_tcp(fd);
        return SANE_STATUS_IO_ERROR;
    }
    uint32_t announced = 0;
    if (orvo_tcp_recv_with_retry(fd, &announced, 4) != 0)
        return FailRecv(fd);
    const uint32_t length = ntohl(announced);
    // A reply announcing more than the buffer holds is refused before anything is read into it.
    if (length > uint32_t(c_iOslBufferSize))
        return FailRecv(fd);
    static char reply[c_iOslBufferSize];
    uint32_t got = 0;
    for (int call = 0; call < 10 && got < length; ++call) {
        const ssize_t n = orvo_tcp_recv(fd, reply + got, length - got, false);
        if (n <= 0)
            return FailRecv(fd);
        got += uint32_t(n);
    }
    orvo_close_tcp(fd);
    if (got < length)
        return SANE_STATUS_IO_ERROR;
    char *text = static_cast<char *>(malloc(length + 1));
    if (!text)
        return SANE_STATUS_NO_MEM;
    memcpy(text, reply, length);
    text[length] = '\0';
    *ppText = text;
    *pLen = int(length);
    return 0;
}
