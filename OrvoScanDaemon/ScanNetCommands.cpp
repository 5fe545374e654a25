// The network commands of the local protocol, each run by the connection process.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "OrvoCapabilities.h"
#include "OrvoHttpControl.h"
#include "OrvoOsl.h"
#include "SaneStatus.h"
#include "ScanCommands.h"
#include "ScanData.h"
#include "ScanFiles.h"
#include "ScanLog.h"
#include "ScanNetData.h"
#include "ScanServer.h"

namespace {

// The network status, properties and attribute commands share the properties' log lines.
const char c_szSendErr[] = "send ScanDevicePropertiesRes err";

}  // namespace

void CmdTcpSendOsl(int sock, const unsigned char *req, int)
{
    TCPOSLReq r;
    memcpy(&r, req, sizeof r);
    char *text = nullptr;
    int len = 0;
    TCPOSLRes res;
    res.result = orvo_send_osl(&r.socket, &text, r.type, &len);
    res.bufferLen = res.result == SANE_STATUS_GOOD ? len : 0;
    if (ScanReply(sock, &res, sizeof res, c_szSendErr) && res.bufferLen > 0)
        ScanReply(sock, text, size_t(res.bufferLen), c_szSendErr);
    free(text);
}

void CmdTcpScanAbort(int sock, const unsigned char *req, int)
{
    TCPScanAbortReq r;
    memcpy(&r, req, sizeof r);
    r.fileName[sizeof r.fileName - 1] = '\0';
    ScanNetTakeDataFd(&r.socket);
    // As for USB scans the data process goes first, so that no record reply of it can
    // follow the abort's result.
    sigset_t saved;
    ScanStopDataProcess(&saved);
    const int32_t result = orvo_http_ScanAbort(&r.socket);
    ScanReapDataProcess(&saved);
    ScanDeleteAbortedFiles(r.fileName);
    ScanReply(sock, &result, sizeof result, "send TCPScanAbortReq err");
}

void CmdTcpScanAdfStatus(int sock, const unsigned char *req, int)
{
    TCPCommonReq r;
    memcpy(&r, req, sizeof r);
    TCPADFStatusRes res;
    memset(&res, 0, sizeof res);
    res.result = orvo_http_adfstatus(&r.socket, &res.st);
    ScanReply(sock, &res, sizeof res, c_szSendErr);
}

void CmdTcpScanDevProperties(int sock, const unsigned char *req, int)
{
    TCPCommonReq r;
    memcpy(&r, req, sizeof r);
    TCPDevPropertiesRes res;
    memset(&res, 0, sizeof res);
    res.result = orvo_http_DeviceProperties(&r.socket, &res.devPro);
    ScanReply(sock, &res, sizeof res, c_szSendErr);
}
