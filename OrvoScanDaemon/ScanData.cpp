#include "ScanData.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "OrvoScanner.h"
#include "SaneStatus.h"
#include "ScanCommands.h"
#include "ScanFiles.h"
#include "ScanHandles.h"
#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanServer.h"
#include "ScanState.h"

namespace {

constexpr int c_iWriteRetries = 10;

void SendRecord(int sock, const USBScanRecordRes &rec, bool &sent)
{
    sent = serverTcpSendWithRetry(sock, &rec, sizeof rec, MSG_NOSIGNAL) >= 0;
    if (!sent)
        OrvoLogErr("[OrvoScanSDK] usb send scan data len err\n");
}

// The data process of a USB scan: one record reply per device record until a record
// ends the scan.
void RunUsbDataProcess(int sock, int fd, const char *base)
{
    OrvoReopenDbg();
    FILE *page = nullptr;
    int pages = 0;
    unsigned char *buf = nullptr;
    uint16_t bufSize = 0;
    int32_t result;
    do {
        USBScanRecordRes rec = {};
        rec.fileIndex = pages;
        // A record that carries no status (the device had nothing) must not repeat the
        // last one's, or a begin of page would open a second, empty page.
        int st = SCAN_STATUS_OPERATION_CONTINUOUS;
        uint16_t got = 0;
        result = ScanRecord(fd, &st, &buf, &bufSize, &got);
        if (st == SCAN_STATUS_BEGIN_OF_PAGE) {
            if (page)
                fclose(page);
            page = ScanOpenPage(base, pages);
            if (!page) {
                const USBScanRecordRes denied = {0, pages, 0, SANE_STATUS_ACCESS_DENIED};
                bool sent;
                SendRecord(sock, denied, sent);
                result = SANE_STATUS_ACCESS_DENIED;
                break;
            }
            ++pages;
        }
        if (result == SANE_STATUS_GOOD && got > 0) {
            if (!page) {
                OrvoLogErr("[OrvoScanSDK] scan data before a begin of page: %d bytes\n", got);
                result = SANE_STATUS_IO_ERROR;
            } else if (!ScanAppendPage(page, buf, got)) {
                OrvoLogErr("[OrvoScanSDK] usb send scan data err\n");
                result = SANE_STATUS_IO_ERROR;
            }
        }
        rec.st = st;
        rec.dataSize = got;
        rec.result = result;
        bool sent;
        SendRecord(sock, rec, sent);
        if (!sent)
            break;
    } while (result == SANE_STATUS_GOOD);
    if (page)
        fclose(page);
    free(buf);
    OrvoLogInfo("[OrvoScanSDK] usb scan record process exit:%d pid:%d\n", int(result), int(getpid()));
}

}  // namespace

pid_t ScanForkDataProcess(stDataGate &gate)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        OrvoLogErr("[OrvoScanSDK] create data proc err\n");
        return -1;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        OrvoLogErr("[OrvoScanSDK] create data proc err\n");
        return -1;
    }
    if (pid == 0) {
        close(fds[1]);
        gate.iRead = fds[0];
        return 0;
    }
    close(fds[0]);
    gate.iWrite = fds[1];
    dataProcPid = pid;
    return pid;
}

void ScanDataReleaseStart(stDataGate &gate)
{
    if (gate.iWrite >= 0)
        close(gate.iWrite);
    gate.iWrite = -1;
}

void ScanDataWaitForStart(stDataGate &gate)
{
    char c;
    while (read(gate.iRead, &c, 1) < 0 && errno == EINTR) {
    }
    close(gate.iRead);
    gate.iRead = -1;
}

// The kill goes out before the device is told to abort: a data process blocked in a
// device read then dies as soon as that read returns, instead of sending a record reply
// behind the abort's result.
void ScanStopDataProcess(sigset_t *saved)
{
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGCHLD);
    sigprocmask(SIG_BLOCK, &block, saved);
    if (dataProcPid > 0 && kill(dataProcPid, SIGKILL) != 0)
        OrvoLogErr("[OrvoScanSDK] kill data proc %d err:%s\n", int(dataProcPid), strerror(errno));
}

void ScanReapDataProcess(const sigset_t *saved)
{
    if (dataProcPid > 0) {
        while (waitpid(dataProcPid, nullptr, 0) < 0 && errno == EINTR) {
        }
        dataProcPid = 0;
    }
    sigprocmask(SIG_SETMASK, saved, nullptr);
}

void ScanDeleteAbortedFiles(const char *fileName)
{
    if (!fileName[0] || ScanIsOwnBaseName(fileName))
        deleteFileList(c_szScanDir, fileName);
    else
        OrvoLogErr("[OrvoScanSDK] abort: not a scan of this connection, nothing deleted:%s\n", fileName);
}

FILE *ScanOpenPage(const char *base, int page)
{
    char path[ORVO_SCAN_NAME_LEN + 32];
    snprintf(path, sizeof path, "%s_%d.tmp", base, page);
    return fopen(path, "wb");
}

bool ScanAppendPage(FILE *page, const unsigned char *data, size_t len)
{
    size_t done = fwrite(data, 1, len, page);
    for (int i = 0; done < len && i < c_iWriteRetries; ++i)
        done += fwrite(data + done, 1, len - done, page);
    return done == len && fflush(page) == 0;
}

void CmdUsbScanStart(int sock, const unsigned char *req, int)
{
    USBCommonReq r;
    memcpy(&r, req, sizeof r);
    const int32_t fd = r.devfd;
    USBScanStartRes res;
    memset(&res, 0, sizeof res);
    if (!ScanHandleOwned(fd)) {
        res.result = SANE_STATUS_INVAL;
        ScanReply(sock, &res, sizeof res, "send ScanStartReq result err");
        return;
    }
    res.result = ScanStart(fd);
    ScanBaseName(res.fileName, sizeof res.fileName, getpid(), filename_index);
    ++filename_index;
    stDataGate gate;
    const pid_t pid = ScanForkDataProcess(gate);
    if (pid == 0) {
        if (res.result == SANE_STATUS_GOOD) {
            ScanDataWaitForStart(gate);
            RunUsbDataProcess(sock, fd, res.fileName);
        }
        _exit(0);
    }
    ScanStartReplyAndRelease(sock, pid, gate, &res, sizeof res, &res.result, "usb");
}

void ScanStartReplyAndRelease(int sock, pid_t pid, stDataGate &gate, const void *res, size_t size,
                              int32_t *result, const char *kind)
{
    if (pid < 0) {
        *result = SANE_STATUS_NO_MEM;
        OrvoLogInfo("[OrvoScanSDK] %s scanstart main process exit:%d pid:%d\n", kind, *result, int(getpid()));
        return;
    }
    if (ScanReply(sock, res, size, "send ScanStartReq result err"))
        OrvoLogInfo("[OrvoScanSDK] %s scanstart main process exit:%d pid:%d\n", kind, *result, int(getpid()));
    ScanDataReleaseStart(gate);
}
