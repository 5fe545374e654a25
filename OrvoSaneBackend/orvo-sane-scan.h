// One open device and its scans: lock and start through the daemon, follow the record
// replies, read each page file as it grows, and end, abort or clean up the scan.
#pragma once
#include "orvo-sane-client.h"
#include "orvo-sane-options.h"
#include "orvo-sane-page.h"

#include <csignal>
#include <string>
#include <vector>

// A scanner as the backend lists it.
struct stOrvoDevice {
    std::string strName;  // "usb:<serial>" or "net:<address>"
    std::string strModel;
    bool bNet = false;
    std::string strSerial;  // USB
    std::string strAddress;  // network
};

struct stOrvoPageInfo {
    bool bBegun = false;  // its page file exists
    bool bDone = false;  // no more data will come for it
    int64_t iAnnounced = 0;  // image bytes the records reported for it
};

struct stOrvoJob {
    bool bActive = false;  // started and not yet ended or aborted
    bool bFinished = false;  // the last record reply has come: the daemon writes nothing more
    int iFinalResult = 0;
    std::string strBase;  // page files are strBase + "_<page>.tmp"
    std::vector<stOrvoPageInfo> listPage;
    int iPage = -1;  // the page the front end reads
    int iPagesDeleted = 0;  // pages before this one have been deleted
    int iPageFd = -1;
    int64_t iPageOffset = 0;
    int iInotify = -1;
    int iWatch = -1;
    bool bFrame = false;  // between sane_start and the page's end
    stOrvoPage page;
};

struct stOrvoHandle {
    stOrvoDevice dev;
    stOrvoConn conn;
    int iDevFd = -1;  // USB: the daemon's handle
    int iDataFd = -1;  // network: the daemon's descriptor of the last data connection
    int iTimeoutSec = 60;
    // The running entry point began, or the backend last saw the scan move on (OrvoNowMs):
    // with the daemon's last reply, what its waits are measured from.
    int64_t iLastLifeMs = 0;
    stOrvoDeviceCaps caps;
    stOrvoOptions opts;
    stOrvoGeometry geo;  // of the running scan
    stOrvoJob job;
    // A feeder job took every page the feeder held: the next start reports it empty.
    bool bFeederDone = false;
    std::vector<uint8_t> readBuf;
    volatile sig_atomic_t bCancel = 0;
    volatile sig_atomic_t bInCall = 0;
};

// Connects and opens the device through the daemon; fills the capabilities.
SANE_Status OrvoOpenDevice(stOrvoHandle &h);
// The device search, open and properties over the connection that h.conn holds.
SANE_Status OrvoIdentifyDevice(stOrvoHandle &h);
void OrvoCloseDevice(stOrvoHandle &h);

SANE_Status OrvoStartFrame(stOrvoHandle &h);
SANE_Status OrvoReadFrame(stOrvoHandle &h, SANE_Byte *data, SANE_Int maxLen, SANE_Int *len);
// Ends the scan: a finished one is cleaned up, a running one aborted through the daemon.
// Uses no memory allocation: front ends call sane_cancel from signal handlers.
void OrvoCancel(stOrvoHandle &h);

// Maps a daemon result (a SANE status code, or a negative transfer code) to a status.
SANE_Status OrvoStatusOf(int result);
