#include "ScanData.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
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
// On the quit signal the data process gets this long to close its page itself.
constexpr int c_iQuitGraceMs = 3000;

int s_iDoneRead = -1;  // "scan over" pipe of the last scan, -1 when none
char s_szLastBase[ORVO_SCAN_NAME_LEN];  // base name of the last scan with a data process
int s_iClaimedFd = -1;  // the device of the last USB scan, -1 when none

flock WholeFile(short type)
{
    flock l = {};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    return l;
}

void SendRecord(int sock, const USBScanRecordRes &rec, bool &sent)
{
    sent = serverTcpSendWithRetry(sock, &rec, sizeof rec, MSG_NOSIGNAL) >= 0;
    if (!sent)
        OrvoLogErr("[OrvoScanSDK] usb send scan data len err\n");
}

// The data process of a USB scan: one record reply per device record until a record
// ends the scan or the quit signal comes.
void RunUsbDataProcess(int sock, int fd, const char *base, stDataGate &gate)
{
    OrvoReopenDbg();
    stPageWriter w;
    w.szBase = base;
    unsigned char *buf = nullptr;
    uint16_t bufSize = 0;
    int32_t result = SANE_STATUS_GOOD;
    while (result == SANE_STATUS_GOOD && flag) {
        USBScanRecordRes rec = {};
        rec.fileIndex = w.iPages;
        // A record that carries no status (the device had nothing) must not repeat the
        // last one's, or a begin of page would open a second, empty page.
        int st = SCAN_STATUS_OPERATION_CONTINUOUS;
        uint16_t got = 0;
        result = ScanRecord(fd, &st, &buf, &bufSize, &got);
        if (!flag)
            break;
        if (st == SCAN_STATUS_BEGIN_OF_PAGE && !ScanPageBegin(w)) {
            const USBScanRecordRes denied = {0, w.iPages, 0, SANE_STATUS_ACCESS_DENIED};
            result = SANE_STATUS_ACCESS_DENIED;
            ScanDataFinishing(gate);
            bool sent;
            SendRecord(sock, denied, sent);
            break;
        }
        if (st == SCAN_STATUS_END_OF_PAGE || st == SCAN_STATUS_END_OF_DATA)
            w.bComplete = true;
        if (result == SANE_STATUS_GOOD && got > 0) {
            if (!w.pPage) {
                OrvoLogErr("[OrvoScanSDK] scan data before a begin of page: %d bytes\n", got);
                result = SANE_STATUS_IO_ERROR;
            } else {
                result = ScanPageAppend(w, buf, got, "[OrvoScanSDK] usb send scan data err\n");
            }
        }
        rec.st = st;
        rec.dataSize = got;
        rec.result = result;
        if (result != SANE_STATUS_GOOD)
            ScanDataFinishing(gate);
        bool sent;
        SendRecord(sock, rec, sent);
        if (!sent)
            break;
    }
    ScanPageEnd(w, flag);
    free(buf);
    ScanDeviceRelease(fd);
    ScanDataFinishing(gate);
    OrvoLogInfo("[OrvoScanSDK] usb scan record process exit:%d pid:%d\n", int(result), int(getpid()));
}

long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return long(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void PauseMs(long ms)
{
    timespec ts{0, ms * 1000000L};
    nanosleep(&ts, nullptr);
}

// Waits for the data process to end by itself, SIGCHLD held back; true when it did.
bool WaitDataProcess(pid_t pid, long ms)
{
    for (const long end = NowMs() + ms;;) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        if (NowMs() >= end)
            return false;
        PauseMs(50);
    }
}

}  // namespace

bool ScanRunning()
{
    if (s_iDoneRead < 0)
        return false;
    pollfd p{s_iDoneRead, POLLIN, 0};
    if (poll(&p, 1, 0) == 0)
        return true;
    close(s_iDoneRead);
    s_iDoneRead = -1;
    return false;
}

bool ScanDeviceClaim(int fd)
{
    flock l = WholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_SETLK, &l) == 0) {
        s_iClaimedFd = fd;
        return true;
    }
    if (errno == EAGAIN || errno == EACCES)
        return false;
    // A device that takes no lock is served as before: one scan per connection still holds.
    OrvoLogErr("[OrvoScanSDK] device lock err:%s\n", strerror(errno));
    return true;
}

void ScanDeviceRelease(int fd)
{
    flock l = WholeFile(F_UNLCK);
    fcntl(fd, F_OFD_SETLK, &l);
    if (fd == s_iClaimedFd)
        s_iClaimedFd = -1;
}

// The scan's data process was ended from outside: its device is free again.
static void ReleaseClaim()
{
    if (s_iClaimedFd >= 0)
        ScanDeviceRelease(s_iClaimedFd);
}

bool ScanDeviceBusyElsewhere(int fd)
{
    flock l = WholeFile(F_WRLCK);
    return fcntl(fd, F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK;
}

pid_t ScanForkDataProcess(stDataGate &gate, const char *base)
{
    int fds[2], done[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        OrvoLogErr("[OrvoScanSDK] create data proc err\n");
        return -1;
    }
    if (pipe2(done, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        OrvoLogErr("[OrvoScanSDK] create data proc err\n");
        return -1;
    }
    sigset_t block, saved;
    sigemptyset(&block);
    sigaddset(&block, SIGCHLD);
    sigprocmask(SIG_BLOCK, &block, &saved);
    const pid_t pid = fork();
    if (pid == 0) {
        sigprocmask(SIG_SETMASK, &saved, nullptr);
        close(fds[1]);
        close(done[0]);
        if (s_iDoneRead >= 0)
            close(s_iDoneRead);
        s_iDoneRead = -1;
        gate.iRead = fds[0];
        gate.iDone = done[1];
        return 0;
    }
    close(fds[0]);
    close(done[1]);
    if (pid < 0) {
        sigprocmask(SIG_SETMASK, &saved, nullptr);
        close(fds[1]);
        close(done[0]);
        OrvoLogErr("[OrvoScanSDK] create data proc err\n");
        return -1;
    }
    gate.iWrite = fds[1];
    dataProcPid = pid;
    if (s_iDoneRead >= 0)
        close(s_iDoneRead);
    s_iDoneRead = done[0];
    snprintf(s_szLastBase, sizeof s_szLastBase, "%s", base);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
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
    while (read(gate.iRead, &c, 1) < 0 && errno == EINTR && flag) {
    }
    close(gate.iRead);
    gate.iRead = -1;
}

void ScanDataFinishing(stDataGate &gate)
{
    if (gate.iDone >= 0)
        close(gate.iDone);
    gate.iDone = -1;
}

bool ScanPageBegin(stPageWriter &w)
{
    if (w.pPage)
        fclose(w.pPage);
    w.pPage = ScanCreatePage(w.szBase, w.iPages);
    w.llBytes = 0;
    w.bComplete = false;
    w.bCut = false;
    if (!w.pPage)
        return false;
    ++w.iPages;
    return true;
}

int ScanPageAppend(stPageWriter &w, const unsigned char *data, size_t len, const char *writeErr)
{
    struct statvfs fs;
    if (w.llBytes + (long long)len > c_llMaxPageBytes) {
        OrvoLogErr("[OrvoScanSDK] page %d stopped at %lld bytes: larger than any page of the scanners\n", w.iPages - 1,
                   w.llBytes);
        w.bCut = true;
        return SANE_STATUS_IO_ERROR;
    }
    if (fstatvfs(fileno(w.pPage), &fs) == 0 && (long long)(fs.f_bavail * fs.f_frsize) - (long long)len < c_llMinFreeBytes) {
        OrvoLogErr("[OrvoScanSDK] page %d stopped at %lld bytes: the scan folder's file system is nearly full\n",
                   w.iPages - 1, w.llBytes);
        w.bCut = true;
        return SANE_STATUS_IO_ERROR;
    }
    size_t done = fwrite(data, 1, len, w.pPage);
    for (int i = 0; done < len && i < c_iWriteRetries; ++i)
        done += fwrite(data + done, 1, len - done, w.pPage);
    w.llBytes += (long long)done;
    if (done == len && fflush(w.pPage) == 0)
        return SANE_STATUS_GOOD;
    OrvoLogErr("%s", writeErr);
    return SANE_STATUS_IO_ERROR;
}

void ScanPageEnd(stPageWriter &w, bool keepPartial)
{
    if (!w.pPage)
        return;
    fclose(w.pPage);
    w.pPage = nullptr;
    if (w.bCut || (!keepPartial && !w.bComplete))
        ScanDeleteLastPage(w.szBase);
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
        ReleaseClaim();
    }
    sigprocmask(SIG_SETMASK, saved, nullptr);
}

void ScanEndDataProcess(bool quitting)
{
    sigset_t block, saved;
    sigemptyset(&block);
    sigaddset(&block, SIGCHLD);
    sigprocmask(SIG_BLOCK, &block, &saved);
    const pid_t pid = dataProcPid;
    // A data process that has sent its scan's last record is only closing up: the client
    // may have read that record and left, and the page it was told of is whole. It gets
    // its moment to end by itself, as on quit, and its page is never taken for a cut one.
    const bool over = pid > 0 && !ScanRunning();
    if (pid > 0 && !((quitting || over) && WaitDataProcess(pid, c_iQuitGraceMs))) {
        kill(pid, SIGKILL);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        // Killed in the middle of a page: that page is not whole.
        if (WIFSIGNALED(status) && !over)
            ScanDeleteLastPage(s_szLastBase);
        ReleaseClaim();
    }
    dataProcPid = 0;
    sigprocmask(SIG_SETMASK, &saved, nullptr);
}

void ScanDeleteAbortedFiles(const char *fileName)
{
    if (!fileName[0] || ScanIsOwnBaseName(fileName))
        deleteFileList(c_szScanDir, fileName);
    else
        OrvoLogErr("[OrvoScanSDK] abort: not a scan of this connection, nothing deleted:%s\n", fileName);
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
    // A second start while a scan runs leaves that scan alone.
    if (ScanRunning() || !ScanDeviceClaim(fd)) {
        OrvoLogErr("[OrvoScanSDK] usb scan start refused: a scan is running on the device\n");
        res.result = SANE_STATUS_DEVICE_BUSY;
        ScanReply(sock, &res, sizeof res, "send ScanStartReq result err");
        return;
    }
    res.result = ScanStart(fd);
    if (res.result != SANE_STATUS_GOOD)
        ScanDeviceRelease(fd);
    ScanBaseName(res.fileName, sizeof res.fileName, getpid(), filename_index);
    ++filename_index;
    stDataGate gate;
    const pid_t pid = ScanForkDataProcess(gate, res.fileName);
    if (pid == 0) {
        if (res.result == SANE_STATUS_GOOD) {
            ScanDataWaitForStart(gate);
            RunUsbDataProcess(sock, fd, res.fileName, gate);
        }
        _exit(0);
    }
    if (pid < 0)
        ScanDeviceRelease(fd);
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
    // A start that failed has a data process that ends at once: no scan runs.
    if (*result != SANE_STATUS_GOOD && s_iDoneRead >= 0) {
        close(s_iDoneRead);
        s_iDoneRead = -1;
    }
    if (ScanReply(sock, res, size, "send ScanStartReq result err"))
        OrvoLogInfo("[OrvoScanSDK] %s scanstart main process exit:%d pid:%d\n", kind, *result, int(getpid()));
    ScanDataReleaseStart(gate);
}
