#include "OrvoHttpControl.h"

#include <cstdio>
#include <cstring>

#include "OrvoHttp.h"
#include "OrvoTcp.h"
#include "SaneStatus.h"
#include "ScanLog.h"

int orvo_http_ScanAbort(OrvoSocket *sock)
{
    if (sock->tcpFromScanner >= 0) {
        orvo_close_tcp(sock->tcpFromScanner);
        sock->tcpFromScanner = -1;
    }
    if (!orvo_scanner_ip_valid(sock)) {
        OrvoLogErr("[OrvoScanSDK] invalid scanner address\n");
        return SANE_STATUS_INVAL;
    }
    char hostLine[64];
    orvo_host_line(hostLine, sizeof hostLine);
    char request[1024];
    const int len = orvo_http_form_request(request, sizeof request, "/netscan/post", hostLine, "SCANTYPE=4");
    static char reply[c_iHttpReplySize];
    if (orvo_http_exchange(sock, request, size_t(len), reply, sizeof reply) != 0)
        return SANE_STATUS_IO_ERROR;
    orvo_log_reply("orvo_http_ScanAbort", reply);
    return 0;
}

int orvo_http_adfstatus(OrvoSocket *sock, int32_t *pStatus)
{
    if (!orvo_scanner_ip_valid(sock)) {
        OrvoLogErr("[OrvoScanSDK] invalid scanner address\n");
        return SANE_STATUS_INVAL;
    }
    char hostLine[64];
    orvo_host_line(hostLine, sizeof hostLine);
    char request[1024];
    const int len = orvo_http_form_request(request, sizeof request, "/cgi-bin/dynamic/printer/netscan/adfStatus.html",
                                           hostLine, "GETADFSTATUS");
    static char reply[c_iHttpReplySize];
    if (orvo_http_exchange(sock, request, size_t(len), reply, sizeof reply) != 0)
        return SANE_STATUS_IO_ERROR;
    orvo_log_reply("orvo_http_adfstatus", reply);
    const size_t n = strlen(reply);
    const char last = n ? reply[n - 1] : '\0';
    if (last == '1') {
        *pStatus = ADF_STATUS_EMPTY;
        OrvoLogInfo("[OrvoScanSDK] ADF_STATUS_EMPTY\n");
    } else if (last == '2') {
        *pStatus = ADF_STATUS_LOADED;
        OrvoLogInfo("[OrvoScanSDK] ADF_STATUS_LOADED\n");
    } else if (last == '3') {
        *pStatus = ADF_STATUS_PAPER_JAM;
        OrvoLogInfo("[OrvoScanSDK] ADF_STATUS_PAPER_JAM\n");
    } else {
        OrvoLogErr("[OrvoScanSDK] ADF status is invalid or not supported\n");
    }
    return 0;
}
