#include "ScanNetData.h"

#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "OrvoHttpScan.h"
#include "OrvoTcp.h"
#include "OrvoTcpRecord.h"
#include "SaneStatus.h"
#include "ScanCommands.h"
#include "ScanData.h"
#include "ScanFiles.h"
#include "ScanLog.h"
#include "ScanServer.h"
#include "ScanState.h"

namespace {

// This connection process's copy of its last scan's data connection, -1 when none.
int s_iNetDataFd = -1;

bool SendRecord(int sock, const TCPRecordRes &rec)
{
    if (serverTcpSendWithRetry(sock, &rec, sizeof rec, MSG_NOSIGNAL) >= 0)
        return true;
    OrvoLogErr("[OrvoScanSDK] send scan data len err\n");
    return false;
}

// The data process of a network scan: one record reply per block of the data stream
// until a block ends the scan or the quit signal comes. The stream's first block always
// begins a page.
void RunNetDataProcess(int sock, OrvoSocket data, const char *base, stDataGate &gate)
{
    OrvoReopenDbg();
    stPageWriter w;
    w.szBase = base;
    unsigned char *buf = nullptr;
    uint32_t bufSize = 0;
    int32_t result = SANE_STATUS_GOOD;
    bool first = true;
    while (result == SANE_STATUS_GOOD && flag) {
        TCPRecordRes rec;
        memset(&rec, 0, sizeof rec);
        rec.fileIndex = w.iPages;
        int32_t st = SCAN_STATUS_OPERATION_CONTINUOUS;
        uint32_t got = 0;
        result = orvo_tcp_ScanRecord(&data, &st, &buf, &bufSize, &got);
        if (!flag)
            break;
        if (first)
            st = SCAN_STATUS_BEGIN_OF_PAGE;
        first = false;
        if (st == SCAN_STATUS_BEGIN_OF_PAGE && !ScanPageBegin(w)) {
            const TCPRecordRes denied = {SANE_STATUS_ACCESS_DENIED, 0, w.iPages, SCAN_STATUS_OPERATION_CONTINUOUS};
            result = SANE_STATUS_ACCESS_DENIED;
            ScanDataFinishing(gate);
            SendRecord(sock, denied);
            break;
        }
        if (st == SCAN_STATUS_END_OF_DATA)
            w.bComplete = true;
        if (result == SANE_STATUS_GOOD && got > 0)
            result = ScanPageAppend(w, buf, got, "[OrvoScanSDK] send scan data err\n");
        rec.result = result;
        rec.bufferLen = int32_t(got);
        rec.st = st;
        if (result != SANE_STATUS_GOOD)
            ScanDataFinishing(gate);
        if (!SendRecord(sock, rec))
            break;
    }
    ScanPageEnd(w, flag);
    free(buf);
    if (data.tcpFromScanner >= 0)
        orvo_close_tcp(data.tcpFromScanner);
    ScanDataFinishing(gate);
    OrvoLogInfo("[OrvoScanSDK] tcp scan record process exit:%d pid:%d\n", int(result), int(getpid()));
}

}  // namespace

void ScanNetTakeDataFd(OrvoSocket *sock)
{
    if (sock->tcpFromScanner != -1 && sock->tcpFromScanner != s_iNetDataFd)
        OrvoLogErr("[OrvoScanSDK] not this connection's scan data connection, ignored:%d\n", int(sock->tcpFromScanner));
    sock->tcpFromScanner = s_iNetDataFd;
    s_iNetDataFd = -1;
}

void ScanNetReleaseDataFd()
{
    if (s_iNetDataFd >= 0)
        orvo_close_tcp(s_iNetDataFd);
    s_iNetDataFd = -1;
}

void CmdTcpScanStart(int sock, const unsigned char *req, int)
{
    TCPScanStartReq r;
    memcpy(&r, req, sizeof r);
    TCPScanStartRes res;
    memset(&res, 0, sizeof res);
    // A second start while a scan runs leaves that scan, and its data connection, alone.
    if (ScanRunning()) {
        OrvoLogErr("[OrvoScanSDK] tcp scan start refused: a scan is running\n");
        res.result = SANE_STATUS_DEVICE_BUSY;
        res.socketDataFd = -1;
        ScanReply(sock, &res, sizeof res, "send ScanStartReq result err");
        return;
    }
    ScanNetTakeDataFd(&r.socket);
    res.result = orvo_http_ScanStart(&r.socket, &r.info);
    if (res.result != SANE_STATUS_GOOD)
        r.socket.tcpFromScanner = -1;
    s_iNetDataFd = r.socket.tcpFromScanner;
    res.socketDataFd = r.socket.tcpFromScanner;
    ScanBaseName(res.fileName, sizeof res.fileName, getpid(), filename_index);
    ++filename_index;
    stDataGate gate;
    const pid_t pid = ScanForkDataProcess(gate, res.fileName);
    if (pid == 0) {
        if (res.result == SANE_STATUS_GOOD) {
            ScanDataWaitForStart(gate);
            RunNetDataProcess(sock, r.socket, res.fileName, gate);
        }
        _exit(0);
    }
    ScanStartReplyAndRelease(sock, pid, gate, &res, sizeof res, &res.result, "tcp");
}
