// The scan start and the data process that turns a scan's records into page files.
// Shared by the USB and the network scans.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <sys/types.h>

struct stDataGate {
    int iRead = -1;
    int iWrite = -1;
};

// Forks the data process (0 in it, its id in the connection process, -1 on failure) and
// records it in dataProcPid. The data process must call ScanDataWaitForStart before its
// first record reply, the connection process ScanDataReleaseStart after the start reply:
// the client reads the start reply first.
pid_t ScanForkDataProcess(stDataGate &gate);
void ScanDataReleaseStart(stDataGate &gate);
void ScanDataWaitForStart(stDataGate &gate);
// The connection process's side of a scan start after ScanForkDataProcess: a failed fork
// sets *result to SANE_STATUS_NO_MEM and sends no start reply; otherwise the start reply
// goes out and then the data process may send records. kind ("usb", "tcp") names the scan
// in the log.
void ScanStartReplyAndRelease(int sock, pid_t pid, stDataGate &gate, const void *res, size_t size,
                              int32_t *result, const char *kind);

// "%s_%d.tmp": the page file of a scan base name, opened for writing; null on failure.
FILE *ScanOpenPage(const char *base, int page);
// Appends image bytes, retrying a short write up to 10 more times.
bool ScanAppendPage(FILE *page, const unsigned char *data, size_t len);

// An abort, around the device's own abort: first the data process is killed (with SIGCHLD
// held back, so that its id cannot be reaped and reused meanwhile), then the device is
// told, then the process is waited for, then the scan's pages are deleted.
void ScanStopDataProcess(sigset_t *saved);
void ScanReapDataProcess(const sigset_t *saved);
// Deletes the pages of the named scan when it is one this connection started; any other
// text deletes nothing (the empty text is only logged).
void ScanDeleteAbortedFiles(const char *fileName);
