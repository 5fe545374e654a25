#include "orvo-sane-scan.h"
#include "orvo-modelids-plain.h"
#include "orvo-sane-log.h"
#include "orvo-sane-pagename.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Bit of ResScanDeviceProperties.sources that reports a document feeder.
const uint8_t c_usbSourceAdf = 0x02;

const int c_connectTimeoutMs = 5000;
// What the clean-up after a wait that ran out (the abort, the unlock) may take on top of
// the configured timeout: a daemon that answers nothing costs a call the timeout and this.
const int c_cleanupGraceMs = 600;
// After the last page of a flatbed scan the scanner only has to report the end of data.
const int c_finalRecordWaitMs = 10000;
// After an abort's 4-byte result nothing more comes; a record would follow at once.
const int c_abortResultSettleMs = 50;
const int c_sliceMs = 100;
const size_t c_readChunk = 256 * 1024;

int64_t TimeoutMs(const stOrvoHandle &h)
{
    return int64_t(h.iTimeoutSec) * 1000;
}

// An entry point begins: its waits are measured from now.
void BeginCall(stOrvoHandle &h)
{
    h.iLastLifeMs = OrvoNowMs();
}

// A wait of at most ms, ending no later than the timeout and the clean-up grace after the
// call began or the daemon last answered: the calls that follow a wait that ran out have
// only the grace left.
int64_t Deadline(const stOrvoHandle &h, int64_t ms)
{
    const int64_t life = h.iLastLifeMs > h.conn.iLastReplyMs ? h.iLastLifeMs : h.conn.iLastReplyMs;
    const int64_t end = life + TimeoutMs(h) + c_cleanupGraceMs;
    const int64_t want = OrvoNowMs() + ms;
    return want < end ? want : end;
}

int64_t CommandDeadline(const stOrvoHandle &h)
{
    return Deadline(h, TimeoutMs(h));
}

// The scan moved on (a record, page bytes): the wait for the next step starts again.
int64_t ProgressDeadline(stOrvoHandle &h)
{
    h.iLastLifeMs = OrvoNowMs();
    return CommandDeadline(h);
}

// Page file name into a caller's buffer (no allocation: used while cancelling).
bool PagePath(const stOrvoJob &job, int index, char (&out)[ORVO_SCAN_NAME_LEN])
{
    const int n = snprintf(out, sizeof out, "%s_%d.tmp", job.strBase.c_str(), index);
    return n > 0 && size_t(n) < sizeof out;
}

void DeletePageFile(stOrvoHandle &h, int index)
{
    CmdDeleteFileReq req{};
    if (!PagePath(h.job, index, req.fileName))
        return;
    const int io = OrvoSendRequest(h.conn, CMD_DELETE_FILE, &req, sizeof req, CommandDeadline(h));
    if (io != IO_OK)
        OrvoLog(LOG_ERROR, "cannot ask the scan daemon to delete %s: %s", req.fileName, OrvoIoText(io));
}

void ClosePageFile(stOrvoJob &job)
{
    if (job.iWatch >= 0 && job.iInotify >= 0)
        inotify_rm_watch(job.iInotify, job.iWatch);
    job.iWatch = -1;
    if (job.iPageFd >= 0)
        close(job.iPageFd);
    job.iPageFd = -1;
}

// The job's descriptors: the page file and the watch on it.
void ReleaseJobFds(stOrvoJob &job)
{
    ClosePageFile(job);
    if (job.iInotify >= 0)
        close(job.iInotify);
    job.iInotify = -1;
}

void ApplyRecord(stOrvoJob &job, const stOrvoRecord &rec)
{
    OrvoLog(LOG_TRACE, "record st %d file %d size %d result %d", rec.st, rec.fileIndex, rec.dataSize, rec.result);
    if (rec.result != 0) {
        job.bFinished = true;
        job.iFinalResult = rec.result;
        for (stOrvoPageInfo &p : job.listPage)
            p.bDone = true;
        return;
    }
    if (rec.fileIndex < 0 || rec.fileIndex > 100000)
        return;
    // A begin-of-page record opens page fileIndex (a network scan's first record may also
    // carry data for it); other records carry data of the page opened before them.
    const int dataPage = rec.st == SCAN_STATUS_BEGIN_OF_PAGE ? rec.fileIndex : rec.fileIndex - 1;
    if (rec.st == SCAN_STATUS_BEGIN_OF_PAGE) {
        if (job.listPage.size() <= size_t(rec.fileIndex))
            job.listPage.resize(size_t(rec.fileIndex) + 1);
        for (int i = 0; i < rec.fileIndex; ++i)
            job.listPage[size_t(i)].bDone = true;
        job.listPage[size_t(rec.fileIndex)].bBegun = true;
    }
    if (dataPage < 0 || size_t(dataPage) >= job.listPage.size())
        return;
    if (rec.dataSize > 0)
        job.listPage[size_t(dataPage)].iAnnounced += rec.dataSize;
    if (rec.st == SCAN_STATUS_END_OF_PAGE)
        job.listPage[size_t(dataPage)].bDone = true;
}

// Reads the record replies that have arrived, waiting for none; counts them in *pCount.
int PumpRecords(stOrvoHandle &h, int *pCount = nullptr)
{
    while (h.job.bActive && !h.job.bFinished) {
        int io = IO_CLOSED;  // a connection that broke sends no more records
        uint8_t raw[16];
        if (h.conn.fd >= 0) {
            pollfd p{h.conn.fd, POLLIN, 0};
            if (poll(&p, 1, 0) <= 0)
                return IO_OK;
            // The rest of a record that has begun to arrive follows at once.
            io = OrvoRecvAll(h.conn, raw, sizeof raw, CommandDeadline(h));
        }
        if (io != IO_OK) {
            OrvoLog(LOG_ERROR, "scan of %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
            stOrvoRecord lost;
            lost.result = SANE_STATUS_IO_ERROR;
            ApplyRecord(h.job, lost);
            return io;
        }
        ApplyRecord(h.job, OrvoDecodeRecord(raw, h.dev.bNet));
        if (pCount)
            ++*pCount;
    }
    return IO_OK;
}

// Waits for a record reply or for the page file to grow; a record pushes the deadline on.
int WaitProgress(stOrvoHandle &h, int64_t &deadline)
{
    for (;;) {
        if (h.bCancel)
            return IO_CANCELLED;
        if (h.job.bActive && !h.job.bFinished && h.conn.fd < 0) {
            PumpRecords(h);
            return IO_OK;
        }
        const int64_t left = deadline - OrvoNowMs();
        if (left <= 0)
            return IO_TIMEOUT;
        pollfd p[2];
        int n = 0;
        if (h.job.bActive && !h.job.bFinished)
            p[n++] = {h.conn.fd, POLLIN, 0};
        if (h.job.iInotify >= 0 && h.job.iWatch >= 0)
            p[n++] = {h.job.iInotify, POLLIN, 0};
        // Without a watch the file is looked at again after a short pause.
        const int slice = n > 0 && p[n - 1].fd == h.job.iInotify ? c_sliceMs : 10;
        const int r = poll(p, nfds_t(n), int(left < slice ? left : slice));
        if (r == 0 && slice != c_sliceMs)
            return IO_OK;
        if (r < 0 && errno != EINTR)
            return IO_ERROR;
        if (r <= 0)
            continue;
        for (int i = 0; i < n; ++i) {
            if (!p[i].revents)
                continue;
            if (p[i].fd == h.job.iInotify) {
                char events[4096];
                if (read(h.job.iInotify, events, sizeof events) < 0 && errno != EAGAIN)
                    return IO_ERROR;
            } else {
                int count = 0;
                PumpRecords(h, &count);
                if (count > 0)
                    deadline = ProgressDeadline(h);
            }
        }
        return IO_OK;
    }
}

// After an abort the stream holds the record replies the data process sent before it was
// killed, then the abort's 4-byte result, then nothing: a record is 16 bytes and arrives
// whole, so 4 bytes after which nothing follows are the result.
int DrainAbortReply(stOrvoHandle &h, int32_t &result)
{
    const int64_t deadline = CommandDeadline(h);
    uint8_t got[16];
    size_t have = 0;
    for (;;) {
        const int io = OrvoWaitReadable(h.conn, deadline, nullptr);
        if (io != IO_OK)
            return io;
        const ssize_t n = recv(h.conn.fd, got + have, sizeof got - have, MSG_DONTWAIT);
        if (n == 0)
            return IO_CLOSED;
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return IO_ERROR;
        }
        have += size_t(n);
        if (have == sizeof got) {  // a record of the ended data process
            have = 0;
            continue;
        }
        if (have == sizeof result) {
            pollfd p{h.conn.fd, POLLIN, 0};
            if (poll(&p, 1, c_abortResultSettleMs) == 0) {
                memcpy(&result, got, sizeof result);
                return IO_OK;
            }
        }
    }
}

void UnlockUsb(stOrvoHandle &h)
{
    if (h.dev.bNet)
        return;
    USBCommonReq req{h.iDevFd};
    int32_t result = 0;
    const int io = OrvoCall(h.conn, USB_SCAN_UNLOCK, &req, sizeof req, &result, sizeof result, CommandDeadline(h));
    if (io != IO_OK || result != 0)
        OrvoLog(LOG_INFO, "unlock of %s: %s, result %d", h.dev.strName.c_str(), OrvoIoText(io), result);
}

// The job is over on the daemon's side: delete what was not read, release the scanner.
void EndJob(stOrvoHandle &h)
{
    ReleaseJobFds(h.job);
    const int pages = int(h.job.listPage.size());
    for (int i = h.job.iPagesDeleted; i < pages; ++i)
        if (h.job.listPage[size_t(i)].bBegun)
            DeletePageFile(h, i);
    h.job.iPagesDeleted = pages;
    UnlockUsb(h);
    h.bFeederDone = h.geo.bAdf && h.job.bActive && h.job.iFinalResult == SANE_STATUS_EOF;
    h.job.bActive = false;
    h.job.bFrame = false;
}

void AbortJob(stOrvoHandle &h)
{
    int io;
    if (h.dev.bNet) {
        TCPScanAbortReq req{};
        req.socket.tcpFromScanner = h.iDataFd;
        snprintf(req.socket.szScannerIP, sizeof req.socket.szScannerIP, "%s", h.dev.strAddress.c_str());
        snprintf(req.fileName, sizeof req.fileName, "%s", h.job.strBase.c_str());
        io = OrvoSendRequest(h.conn, TCP_SCAN_ABORT, &req, sizeof req, CommandDeadline(h));
        h.iDataFd = -1;  // the daemon closes its copy of the data connection
    } else {
        USBScanAbortReq req{};
        req.devfd = h.iDevFd;
        snprintf(req.fileName, sizeof req.fileName, "%s", h.job.strBase.c_str());
        io = OrvoSendRequest(h.conn, USB_SCAN_ABORT, &req, sizeof req, CommandDeadline(h));
    }
    int32_t result = 0;
    if (io == IO_OK)
        io = DrainAbortReply(h, result);
    if (io != IO_OK) {
        // Its result may still come: the connection is out of step.
        OrvoDisconnect(h.conn);
        OrvoLog(LOG_ERROR, "abort of the scan on %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
    } else
        OrvoLog(LOG_INFO, "scan on %s aborted, result %d", h.dev.strName.c_str(), result);
    h.job.bFinished = true;
    EndJob(h);
}

// Record replies until the last one, read without keeping them (no allocation).
bool WaitFinalRecord(stOrvoHandle &h)
{
    const int64_t deadline = Deadline(h, c_finalRecordWaitMs);
    while (!h.job.bFinished) {
        if (OrvoWaitReadable(h.conn, deadline, nullptr) != IO_OK)
            return false;
        uint8_t raw[16];
        if (OrvoRecvAll(h.conn, raw, sizeof raw, deadline) != IO_OK)
            return false;
        const stOrvoRecord rec = OrvoDecodeRecord(raw, h.dev.bNet);
        if (rec.result != 0) {
            h.job.bFinished = true;
            h.job.iFinalResult = rec.result;
        }
    }
    return true;
}

tagSettingInfo ScanSettings(const stOrvoHandle &h)
{
    const stOrvoGeometry &g = h.geo;
    tagSettingInfo info{};
    info.bitDepth = uint8_t(g.iMode == MODE_COLOR ? 24 : g.iMode == MODE_GRAY ? 8
                                                                              : 1);
    // Network scanners send color and gray pages as JPEG, which keeps the transfer small.
    info.compType = (h.dev.bNet && g.iMode != MODE_LINEART) ? COMPRESSION_JPEG : COMPRESSION_NONE;
    info.width = uint32_t(g.iPixels);
    info.height = uint32_t(g.iLines);
    info.xStart = uint32_t(g.iX0);
    info.yStart = uint32_t(g.iY0);
    info.xResolution = uint16_t(g.iResolution);
    info.yResolution = uint16_t(g.iResolution);
    info.feederEnabled = g.bAdf ? 1 : 0;
    info.BrightnessParam = uint8_t((g.iBrightness + 100) * 255 / 200);
    info.ContrastParam = uint8_t((g.iContrast + 100) * 255 / 200);
    info.isClient = g.bAdf ? 1 : 0;  // the whole feeder in one job
    return info;
}

SANE_Status CheckFeeder(stOrvoHandle &h)
{
    int32_t result = 0, st = 0;
    int io;
    if (h.dev.bNet) {
        TCPCommonReq req{};
        req.socket.tcpFromScanner = -1;
        snprintf(req.socket.szScannerIP, sizeof req.socket.szScannerIP, "%s", h.dev.strAddress.c_str());
        TCPADFStatusRes res{};
        io = OrvoCall(h.conn, TCP_SCAN_ADFST, &req, sizeof req, &res, sizeof res, CommandDeadline(h));
        result = res.result;
        st = res.st;
    } else {
        USBCommonReq req{h.iDevFd};
        USBScanAdfStatusRes res{};
        io = OrvoCall(h.conn, USB_SCAN_ADFSTATUS, &req, sizeof req, &res, sizeof res, CommandDeadline(h));
        result = res.result;
        st = res.st;
    }
    if (io != IO_OK) {
        OrvoLog(LOG_ERROR, "feeder status of %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
        return SANE_STATUS_IO_ERROR;
    }
    if (result != 0)
        return OrvoStatusOf(result);
    if (st == ADF_STATUS_EMPTY)
        return SANE_STATUS_NO_DOCS;
    if (st == ADF_STATUS_PAPER_JAM)
        return SANE_STATUS_JAMMED;
    return SANE_STATUS_GOOD;
}

SANE_Status StartJob(stOrvoHandle &h)
{
    h.job = stOrvoJob();
    h.geo = OrvoGeometry(h.opts);
    if (h.geo.iPixels <= 0 || h.geo.iLines <= 0)
        return SANE_STATUS_INVAL;
    if (h.geo.bAdf) {
        const SANE_Status st = CheckFeeder(h);
        if (st != SANE_STATUS_GOOD)
            return st;
    }
    const tagSettingInfo info = ScanSettings(h);
    int io;
    if (!h.dev.bNet) {
        USBScanLockReq lock{};
        lock.devfd = h.iDevFd;
        lock.info = info;
        int32_t result = 0;
        io = OrvoCall(h.conn, USB_SCAN_LOCK, &lock, sizeof lock, &result, sizeof result, CommandDeadline(h));
        if (io != IO_OK) {
            OrvoLog(LOG_ERROR, "lock of %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
            return SANE_STATUS_IO_ERROR;
        }
        if (result != 0) {
            OrvoLog(LOG_ERROR, "%s refused the lock: result %d", h.dev.strName.c_str(), result);
            return OrvoStatusOf(result);
        }
        USBCommonReq start{h.iDevFd};
        io = OrvoSendRequest(h.conn, USB_SCAN_START, &start, sizeof start, CommandDeadline(h));
    } else {
        TCPScanStartReq start{};
        start.socket.tcpFromScanner = h.iDataFd;  // the daemon closes the last scan's copy
        snprintf(start.socket.szScannerIP, sizeof start.socket.szScannerIP, "%s", h.dev.strAddress.c_str());
        start.info = info;
        io = OrvoSendRequest(h.conn, TCP_SCAN_START, &start, sizeof start, CommandDeadline(h));
        h.iDataFd = -1;
    }

    // The start reply, with any record replies that overtook it kept for later.
    std::vector<stOrvoRecord> early;
    uint8_t reply[sizeof(TCPScanStartRes)] = {};
    const size_t replyLen = h.dev.bNet ? sizeof(TCPScanStartRes) : sizeof(USBScanStartRes);
    const int64_t deadline = CommandDeadline(h);
    while (io == IO_OK) {
        io = OrvoRecvAll(h.conn, reply, 16, deadline);
        if (io != IO_OK)
            break;
        if (OrvoLooksLikeStartReply(reply, h.dev.bNet)) {
            io = OrvoRecvAll(h.conn, reply + 16, replyLen - 16, deadline);
            break;
        }
        early.push_back(OrvoDecodeRecord(reply, h.dev.bNet));
    }
    if (io != IO_OK) {
        OrvoLog(LOG_ERROR, "scan start on %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
        UnlockUsb(h);
        return SANE_STATUS_IO_ERROR;
    }
    int32_t result;
    const char *name;
    if (h.dev.bNet) {
        const TCPScanStartRes *res = reinterpret_cast<const TCPScanStartRes *>(reply);
        result = res->result;
        name = res->fileName;
        if (result == 0)
            h.iDataFd = res->socketDataFd;
    } else {
        const USBScanStartRes *res = reinterpret_cast<const USBScanStartRes *>(reply);
        result = res->result;
        name = res->fileName;
    }
    if (result != 0) {
        OrvoLog(LOG_ERROR, "%s did not start the scan: result %d", h.dev.strName.c_str(), result);
        UnlockUsb(h);
        return OrvoStatusOf(result);
    }
    h.job.bActive = true;
    if (!OrvoIsScanFileName(name, ORVO_SCAN_NAME_LEN)) {
        OrvoLog(LOG_ERROR, "the scan daemon named an unexpected page file; scan aborted");
        AbortJob(h);
        return SANE_STATUS_IO_ERROR;
    }
    h.job.strBase = name;
    h.job.iInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const stOrvoRecord &rec : early)
        ApplyRecord(h.job, rec);
    OrvoLog(LOG_INFO, "scan started on %s: %dx%d at %d dpi, pages %s_N.tmp", h.dev.strName.c_str(), h.geo.iPixels,
            h.geo.iLines, h.geo.iResolution, name);
    return SANE_STATUS_GOOD;
}

SANE_Status FailJob(stOrvoHandle &h, int io)
{
    if (io == IO_CANCELLED) {
        AbortJob(h);
        return SANE_STATUS_CANCELLED;
    }
    OrvoLog(LOG_ERROR, "scan on %s: %s (waited %d s)", h.dev.strName.c_str(), OrvoIoText(io), h.iTimeoutSec);
    AbortJob(h);
    return SANE_STATUS_IO_ERROR;
}

// The job ended before the front end got what it waits for.
SANE_Status JobEndStatus(stOrvoHandle &h, bool bPageBegun)
{
    const int result = h.job.iFinalResult;
    EndJob(h);
    h.bFeederDone = false;  // reported here already
    if (result == SANE_STATUS_EOF)
        return bPageBegun ? SANE_STATUS_IO_ERROR : SANE_STATUS_NO_DOCS;
    return OrvoStatusOf(result);
}

// Takes in what the page file holds beyond what has been read; waits when nothing new is
// there yet.
SANE_Status FeedPage(stOrvoHandle &h, int64_t &deadline)
{
    stOrvoJob &job = h.job;
    std::vector<uint8_t> &chunk = h.readBuf;
    chunk.resize(c_readChunk);
    const ssize_t n = pread(job.iPageFd, chunk.data(), chunk.size(), job.iPageOffset);
    if (n < 0) {
        OrvoLog(LOG_ERROR, "cannot read the page file: %s", strerror(errno));
        AbortJob(h);
        return SANE_STATUS_IO_ERROR;
    }
    if (n > 0) {
        OrvoPageFeed(job.page, chunk.data(), size_t(n));
        job.iPageOffset += n;
        deadline = ProgressDeadline(h);
    } else {
        PumpRecords(h);
        const stOrvoPageInfo &info = job.listPage[size_t(job.iPage)];
        if (info.bDone && job.iPageOffset >= info.iAnnounced) {
            if (job.bFinished && job.iFinalResult != SANE_STATUS_EOF && !OrvoPageDone(job.page))
                return JobEndStatus(h, true);
            OrvoPageEnd(job.page);
        } else {
            const int io = WaitProgress(h, deadline);
            if (io != IO_OK)
                return FailJob(h, io);
            return SANE_STATUS_GOOD;
        }
    }
    if (!OrvoPageProduce(job.page)) {
        OrvoLog(LOG_ERROR, "page %d of %s cannot be decoded", job.iPage, h.dev.strName.c_str());
        AbortJob(h);
        return SANE_STATUS_IO_ERROR;
    }
    return SANE_STATUS_GOOD;
}

// The page is read: its file is deleted through the daemon.
void EndPage(stOrvoHandle &h)
{
    ClosePageFile(h.job);
    for (int i = h.job.iPagesDeleted; i <= h.job.iPage; ++i)
        DeletePageFile(h, i);
    h.job.iPagesDeleted = h.job.iPage + 1;
    h.job.bFrame = false;
    // The job is over once the daemon has finished and no later page waits to be read.
    const size_t next = size_t(h.job.iPage) + 1;
    if (h.job.bFinished && (h.job.listPage.size() <= next || !h.job.listPage[next].bBegun))
        EndJob(h);
}

struct stCallGuard {
    stOrvoHandle &h;
    explicit stCallGuard(stOrvoHandle &handle) : h(handle)
    {
        h.bInCall = 1;
        BeginCall(h);
    }
    ~stCallGuard() { h.bInCall = 0; }
};

}  // namespace

SANE_Status OrvoStatusOf(int result)
{
    switch (result) {
    case SANE_STATUS_GOOD:
    case SANE_STATUS_CANCELLED:
    case SANE_STATUS_DEVICE_BUSY:
    case SANE_STATUS_INVAL:
    case SANE_STATUS_EOF:
    case SANE_STATUS_JAMMED:
    case SANE_STATUS_NO_DOCS:
    case SANE_STATUS_COVER_OPEN:
    case SANE_STATUS_IO_ERROR:
    case SANE_STATUS_NO_MEM:
    case SANE_STATUS_ACCESS_DENIED:
        return SANE_Status(result);
    default:
        return SANE_STATUS_IO_ERROR;
    }
}

namespace {

// Connects to the daemon and opens the device over the new connection (again after a
// connection that broke: the daemon's handles lived in the process that served it).
SANE_Status AttachDevice(stOrvoHandle &h)
{
    std::string err;
    const int64_t left = CommandDeadline(h) - OrvoNowMs();
    if (!OrvoConnect(h.conn, int(left < c_connectTimeoutMs ? left : c_connectTimeoutMs), err)) {
        OrvoLog(LOG_ERROR, "cannot reach the Orvo scan daemon at 127.0.0.1:%d: %s", ORVO_SCAN_PORT, err.c_str());
        return SANE_STATUS_IO_ERROR;
    }
    h.iDevFd = -1;
    h.iDataFd = -1;
    const SANE_Status st = OrvoIdentifyDevice(h);
    if (st != SANE_STATUS_GOOD)
        OrvoDisconnect(h.conn);  // the next scan start tries again
    return st;
}

}  // namespace

SANE_Status OrvoIdentifyDevice(stOrvoHandle &h)
{
    if (!h.dev.bNet) {
        std::vector<USBFindDevRes> list;
        int io = OrvoFindUsb(h.conn, c_wOrvoVendorID, list, CommandDeadline(h));
        if (io != IO_OK) {
            OrvoLog(LOG_ERROR, "USB search through the scan daemon: %s", OrvoIoText(io));
            return SANE_STATUS_IO_ERROR;
        }
        for (const USBFindDevRes &d : list)
            if (h.dev.strSerial == d.SerialNumber)
                h.iDevFd = d.fd;
        if (h.iDevFd <= 0)
            return SANE_STATUS_INVAL;
        USBCommonReq req{h.iDevFd};
        int32_t result = 0;
        io = OrvoCall(h.conn, USB_OPEN_DEV, &req, sizeof req, &result, sizeof result, CommandDeadline(h));
        USBScanDevicePropertiesRes props{};
        if (io == IO_OK)
            io = OrvoCall(h.conn, USB_SCAN_DEVPROPERTIES, &req, sizeof req, &props, sizeof props,
                          CommandDeadline(h));
        if (io != IO_OK) {
            OrvoLog(LOG_ERROR, "opening %s: %s", h.dev.strName.c_str(), OrvoIoText(io));
            return SANE_STATUS_IO_ERROR;
        }
        if (props.result != 0)
            OrvoLog(LOG_INFO, "properties of %s: result %d", h.dev.strName.c_str(), props.result);
        h.caps.bAdf = props.result == 0 && (props.st.sources & c_usbSourceAdf) != 0;
    } else {
        TCPCommonReq req{};
        req.socket.tcpFromScanner = -1;
        snprintf(req.socket.szScannerIP, sizeof req.socket.szScannerIP, "%s", h.dev.strAddress.c_str());
        TCPDevPropertiesRes props{};
        const int io = OrvoCall(h.conn, TCP_SCAN_DEVPROPERTIES, &req, sizeof req, &props, sizeof props,
                                CommandDeadline(h));
        if (io != IO_OK || props.result != 0) {
            OrvoLog(LOG_ERROR, "opening %s: %s, result %d", h.dev.strName.c_str(), OrvoIoText(io), props.result);
            return SANE_STATUS_IO_ERROR;
        }
        h.caps.iMinRes = int(props.devPro.minres <= 1200 ? props.devPro.minres : 0);
        h.caps.iMaxRes = int(props.devPro.maxres <= 9600 ? props.devPro.maxres : 0);
        TCPADFStatusRes adf{};
        h.caps.bAdf = OrvoCall(h.conn, TCP_SCAN_ADFST, &req, sizeof req, &adf, sizeof adf, CommandDeadline(h)) == IO_OK
                      && adf.result == 0 && adf.st >= ADF_STATUS_EMPTY && adf.st <= ADF_STATUS_PAPER_JAM;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status OrvoOpenDevice(stOrvoHandle &h)
{
    BeginCall(h);
    const SANE_Status st = AttachDevice(h);
    if (st == SANE_STATUS_GOOD)
        InitOrvoOptions(h.opts, h.caps);
    return st;
}

void OrvoCloseDevice(stOrvoHandle &h)
{
    BeginCall(h);
    OrvoCancel(h);
    if (!h.dev.bNet && h.iDevFd > 0 && h.conn.fd >= 0) {
        USBCommonReq req{h.iDevFd};
        int32_t result = 0;
        OrvoCall(h.conn, USB_CLOSE_DEV, &req, sizeof req, &result, sizeof result, CommandDeadline(h));
    }
    ReleaseJobFds(h.job);
    OrvoDisconnect(h.conn);
}

SANE_Status OrvoStartFrame(stOrvoHandle &h)
{
    stCallGuard guard(h);
    h.bCancel = 0;
    if (h.job.bFrame)
        return SANE_STATUS_DEVICE_BUSY;
    // A flatbed scan is one page: a new start is a new scan.
    if (h.job.bActive && !h.geo.bAdf) {
        if (!h.job.bFinished && !WaitFinalRecord(h))
            AbortJob(h);
        else
            EndJob(h);
    }
    if (!h.job.bActive && h.bFeederDone) {
        h.bFeederDone = false;
        return SANE_STATUS_NO_DOCS;
    }
    if (!h.job.bActive && h.conn.fd < 0) {
        const SANE_Status st = AttachDevice(h);
        if (st != SANE_STATUS_GOOD)
            return st;
    }
    if (!h.job.bActive) {
        const SANE_Status st = StartJob(h);
        if (st != SANE_STATUS_GOOD)
            return st;
    }
    stOrvoJob &job = h.job;
    const int next = job.iPage + 1;
    int64_t deadline = ProgressDeadline(h);
    while (job.listPage.size() <= size_t(next) || !job.listPage[size_t(next)].bBegun) {
        if (job.bFinished)
            return JobEndStatus(h, false);
        const int io = WaitProgress(h, deadline);
        if (io != IO_OK)
            return FailJob(h, io);
    }
    job.iPage = next;
    job.iPageOffset = 0;
    char path[ORVO_SCAN_NAME_LEN];
    if (!PagePath(job, next, path) || (job.iPageFd = open(path, O_RDONLY | O_CLOEXEC)) < 0) {
        OrvoLog(LOG_ERROR, "cannot open the page file %s: %s", path, strerror(errno));
        AbortJob(h);
        return SANE_STATUS_IO_ERROR;
    }
    if (job.iInotify >= 0)
        job.iWatch = inotify_add_watch(job.iInotify, path, IN_MODIFY | IN_CLOSE_WRITE);
    OrvoPageInit(job.page, h.geo, !h.dev.bNet);
    job.bFrame = true;
    // A network page may be a JPEG whose own size is what the front end then gets.
    while (!OrvoPageReady(job.page)) {
        const SANE_Status st = FeedPage(h, deadline);
        if (st != SANE_STATUS_GOOD)
            return st;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status OrvoReadFrame(stOrvoHandle &h, SANE_Byte *data, SANE_Int maxLen, SANE_Int *len)
{
    stCallGuard guard(h);
    *len = 0;
    if (!h.job.bFrame)
        return h.bCancel ? SANE_STATUS_CANCELLED : SANE_STATUS_EOF;
    int64_t deadline = ProgressDeadline(h);
    for (;;) {
        if (h.bCancel) {
            AbortJob(h);
            return SANE_STATUS_CANCELLED;
        }
        const size_t n = OrvoPageTake(h.job.page, data, size_t(maxLen));
        if (n > 0) {
            *len = SANE_Int(n);
            return SANE_STATUS_GOOD;
        }
        if (OrvoPageDone(h.job.page)) {
            EndPage(h);
            return SANE_STATUS_EOF;
        }
        const SANE_Status st = FeedPage(h, deadline);
        if (st != SANE_STATUS_GOOD)
            return st;
    }
}

void OrvoCancel(stOrvoHandle &h)
{
    if (h.bInCall) {  // the running call sees it and aborts
        h.bCancel = 1;
        return;
    }
    BeginCall(h);
    if (!h.job.bActive) {
        h.bFeederDone = false;
        return;
    }
    // Cancelled in the middle of a page (a front end's signal handler may do so between two
    // reads): the next sane_read reports it.
    if (h.job.bFrame)
        h.bCancel = 1;
    // The last page of a flatbed scan has been read: its end is on its way.
    if (!h.job.bFinished && !h.geo.bAdf && !h.job.bFrame && h.job.iPage >= 0)
        WaitFinalRecord(h);
    if (h.job.bFinished)
        EndJob(h);
    else
        AbortJob(h);
    h.bFeederDone = false;  // the front end ended the operation: a new start is a new scan
}
