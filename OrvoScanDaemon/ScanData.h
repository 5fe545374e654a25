// The scan start and the data process that turns a scan's records into page files.
// Shared by the USB and the network scans.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <sys/types.h>

// The largest page the daemon writes (above the largest uncompressed page of the
// scanners, 1200 dpi colour on legal paper, about 514 MB), and the room a page must
// leave on the scan directory's file system.
constexpr long long c_llMaxPageBytes = 520LL * 1000 * 1000;
constexpr long long c_llMinFreeBytes = 256LL << 20;

struct stDataGate {
    int iRead = -1;
    int iWrite = -1;
    int iDone = -1;  // the data process's end of the "scan over" pipe
};

// The page files of one scan as the data process writes them.
struct stPageWriter {
    const char *szBase = nullptr;
    FILE *pPage = nullptr;
    int iPages = 0;  // page files opened
    long long llBytes = 0;  // bytes in the current page
    bool bComplete = false;  // the current page got its end
    bool bCut = false;  // the current page was stopped at its bounds
};

// True while this connection's last scan has a data process that has not yet sent its
// last record.
bool ScanRunning();
// The device's scan lock: one scan at a time per device, whichever connection asks.
// Held by the connection's open device for the scan's duration; false when another
// connection's scan holds the device.
bool ScanDeviceClaim(int fd);
void ScanDeviceRelease(int fd);
bool ScanDeviceBusyElsewhere(int fd);

// Forks the data process (0 in it, its id in the connection process, -1 on failure) and
// records it in dataProcPid (SIGCHLD is held back meanwhile, so that the id is stored
// before the process can be reaped). The data process must call ScanDataWaitForStart
// before its first record reply, the connection process ScanDataReleaseStart after the
// start reply: the client reads the start reply first.
pid_t ScanForkDataProcess(stDataGate &gate, const char *base);
void ScanDataReleaseStart(stDataGate &gate);
void ScanDataWaitForStart(stDataGate &gate);
// The data process, before it sends its last record: the connection takes a next start.
void ScanDataFinishing(stDataGate &gate);
// The connection process's side of a scan start after ScanForkDataProcess: a failed fork
// sets *result to SANE_STATUS_NO_MEM and sends no start reply; otherwise the start reply
// goes out and then the data process may send records. kind ("usb", "tcp") names the scan
// in the log.
void ScanStartReplyAndRelease(int sock, pid_t pid, stDataGate &gate, const void *res, size_t size,
                              int32_t *result, const char *kind);

// Page files: a begin of page closes the current one and creates the next (false when
// it cannot be created); image bytes go to the current page (a status code: 0, or 9 when
// they cannot be written or the page would pass its bounds); the end closes the page and
// removes it when it was stopped at its bounds or, with keepPartial false, not ended.
bool ScanPageBegin(stPageWriter &w);
int ScanPageAppend(stPageWriter &w, const unsigned char *data, size_t len, const char *writeErr);
void ScanPageEnd(stPageWriter &w, bool keepPartial);

// An abort, around the device's own abort: first the data process is killed (with SIGCHLD
// held back, so that its id cannot be reaped and reused meanwhile), then the device is
// told, then the process is waited for, then the scan's pages are deleted.
void ScanStopDataProcess(sigset_t *saved);
void ScanReapDataProcess(const sigset_t *saved);
// The connection's end (the client left, or the quit signal): its data process is ended
// (on quit, or when it has already sent its scan's last record, it first gets a moment to
// end by itself), and a page it was cut off in is removed.
void ScanEndDataProcess(bool quitting);
// Deletes the pages of the named scan when it is one this connection started; any other
// text deletes nothing (the empty text is only logged).
void ScanDeleteAbortedFiles(const char *fileName);
