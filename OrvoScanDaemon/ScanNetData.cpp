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
// until a block ends the scan. The stream's first block always begins a page.
void RunNetDataProcess(int sock, OrvoSocket data, const char *base)
{
    OrvoReopenDbg();
    FILE *page = nullptr;
    int pages = 0;
    unsigned char *buf = nullptr;
    uint32_t bufSize = 0;
    int32_t result;
    bool first = true;
    do {
        TCPRecordRes rec;
        memset(&rec, 0, sizeof rec);
        rec.fileIndex = pages;
        int32_t st = SCAN_STATUS_OPERATION_CONTINUOUS;
        uint32_t got = 0;
        result = orvo_tcp_ScanRecord(&data, &st, &buf, &bufSize, &got);
        if (first)
            st = SCAN_STATUS_BEGIN_OF_PAGE;
        first = false;
        if (st == SCAN_STATUS_BEGIN_OF_PAGE) {
            if (page)
                fclose(page);
            page = ScanOpenPage(base, pages);
            if (!page) {
                const TCPRecordRes denied = {SANE_STATUS_ACCESS_DENIED, 0, pages, SCAN_STATUS_OPERATION_CONTINUOUS};
                SendRecord(sock, denied);
                result = SANE_STATUS_ACCESS_DENIED;
                break;
            }
            ++pages;
        }
        if (result == SANE_STATUS_GOOD && got > 0 && !ScanAppendPage(page, buf, got)) {
            OrvoLogErr("[OrvoScanSDK] send scan data err\n");
            result = SANE_STATUS_IO_ERROR;
        }
        rec.result = result;
        rec.bufferLen = int32_t(got);
        rec.st = st;
        if (!SendRecord(sock, rec))
            break;
    } while (result == SANE_STATUS_GOOD);
    if (page)
        fclose(page);
    free(buf);
    if (data.tcpFromScanner >= 0)
        orvo_close_tcp(data.tcpFromScanner);
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

void CmdTcpScanStart(int sock, const unsigned char *req, int)
{
    TCPScanStartReq r;
    memcpy(&r, req, sizeof r);
    ScanNetTakeDataFd(&r.socket);
    TCPScanStartRes res;
    memset(&res, 0, sizeof res);
    res.result = orvo_http_ScanStart(&r.socket, &r.info);
    if (res.result != SANE_STATUS_GOOD)
        r.socket.tcpFromScanner = -1;
    s_iNetDataFd = r.socket.tcpFromScanner;
    res.socketDataFd = r.socket.tcpFromScanner;
    ScanBaseName(res.fileName, sizeof res.fileName, getpid(), filename_index);
    ++filename_index;
    stDataGate gate;
    const pid_t pid = ScanForkDataProcess(gate);
    if (pid == 0) {
        if (res.result == SANE_STATUS_GOOD) {
            ScanDataWaitForStart(gate);
            RunNetDataProcess(sock, r.socket, res.fileName);
        }
        _exit(0);
    }
    ScanStartReplyAndRelease(sock, pid, gate, &res, sizeof res, &res.result, "tcp");
}
