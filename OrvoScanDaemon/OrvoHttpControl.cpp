#include "OrvoHttpControl.h"

#include <cstring>

#include "OrvoHttp.h"
#include "OrvoTcp.h"
#include "ScanLog.h"

int orvo_http_ScanAbort(OrvoSocket *sock)
{
    if (sock->tcpFromScanner >= 0) {
        orvo_close_tcp(sock->tcpFromScanner);
        sock->tcpFromScanner = -1;
    }
    static char reply[c_iHttpReplySize];
    return orvo_http_post_form(sock, "/netscan/post", "SCANTYPE=4", "orvo_http_ScanAbort", reply, sizeof reply);
}

int orvo_http_adfstatus(OrvoSocket *sock, int32_t *pStatus)
{
    static char reply[c_iHttpReplySize];
    if (const int rc = orvo_http_post_form(sock, "/cgi-bin/dynamic/printer/netscan/adfStatus.html", "GETADFSTATUS",
                                           "orvo_http_adfstatus", reply, sizeof reply))
        return rc;
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
