// USB scans through the installed daemon against the simulator's scanner: the lock
// request bytes, the simple commands and the device's answer flags, single- and
// multi-page scans delivering byte-exact page files and the record sequence, aborts,
// page-file deletion, reopen by serial number, an unplugged device, a client leaving as
// soon as its scan is done, two clients at once.
// usage: tst_scan_usb SIM_SOCKET   (devices s1 K20NW AB1234, s2 K20NW CD5678, s3 K40N EF9012)
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "mfpsim-scanpattern.h"
#include "orvo-scanclient.h"
#include "scan-procs.h"
#include "scan-testkit.h"

namespace {

const std::string c_strScanDir = ORVO_SCAN_DIR;
const std::string c_strInfoLog = c_strScanDir + "/orvo_scan_info.log";
const std::string c_strErrLog = c_strScanDir + "/orvo_scan_err.log";
constexpr uint32_t c_uVid = 0x300E;
constexpr uint32_t c_uK20NW = 0x2005;

// A connection with the handle of one device, found by its serial number.
struct stConn {
    int iSock = -1;
    int32_t iFd = -1;
};

stConn Open(const std::string &serial, uint32_t pid = c_uK20NW)
{
    stConn c;
    c.iSock = ScanConnect();
    std::vector<USBFindDevRes> devs;
    ScanFindDev(c.iSock, c_uVid, pid, true, devs);
    for (const USBFindDevRes &d : devs)
        if (serial == d.SerialNumber)
            c.iFd = d.fd;
    SCAN_CHECK(c.iFd > 0);
    return c;
}

std::vector<unsigned char> ExpectedPage(int depth, uint32_t width, uint32_t height, int page)
{
    std::vector<unsigned char> b(ScanPatternRowBytes(depth, width) * height);
    ScanPatternFill(depth, width, page, 0, b.data(), b.size());
    return b;
}

std::vector<USBScanRecordRes> ReadRecords(int sock)
{
    std::vector<USBScanRecordRes> recs;
    USBScanRecordRes r;
    while (recs.size() < 10000 && ScanReadRecord(sock, r)) {
        recs.push_back(r);
        if (r.result != 0)
            break;
    }
    return recs;
}

std::string Info(const std::string &dev, const std::string &key)
{
    const std::string all = "\n" + SimGet("scan " + dev + " info") + "\n";
    const size_t p = all.find("\n" + key + " ");
    return p == std::string::npos ? "" : all.substr(p + key.size() + 2, all.find('\n', p + 1) - p - key.size() - 2);
}

// The 55 bytes a lock must send for these settings, from the device's command table.
std::vector<unsigned char> LockBytes(const tagSettingInfo &s)
{
    std::vector<unsigned char> b(55, 0);
    const unsigned char head[8] = {0x1B, 0x53, 0x05, 0x00, 47, 0, 0x80, 0};
    memcpy(b.data(), head, 8);
    const bool bilevel = s.bitDepth == 1;
    b[8] = bilevel ? 1 : s.bitDepth == 8 ? 2
                                         : 3;
    b[9] = bilevel ? 0 : uint8_t(s.compType);
    b[10] = !bilevel && (s.compType == 1 || s.compType == 2) ? 70 : 0;
    b[11] = 3;
    auto le32 = [&](size_t off, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[off + size_t(i)] = uint8_t(v >> (8 * i));
    };
    le32(12, s.width);
    le32(16, s.height);
    le32(20, s.xStart);
    le32(24, s.yStart);
    const bool cap = s.feederEnabled && s.xResolution == 1200;
    const uint16_t xr = cap ? 600 : s.xResolution, yr = cap ? 600 : s.yResolution;
    b[28] = uint8_t(xr);
    b[29] = uint8_t(xr >> 8);
    b[30] = uint8_t(yr);
    b[31] = uint8_t(yr >> 8);
    b[32] = s.feederEnabled ? (s.isClient ? 3 : 4) : 1;
    b[33] = 1;
    b[41] = s.backgroundRemoval ? 1 : 0;
    b[42] = s.backgroundRemovalParam;
    b[45] = s.BrightnessParam;
    b[46] = s.ContrastParam;
    return b;
}

void TestLockRequests()
{
    stConn c = Open("AB1234");
    std::vector<tagSettingInfo> cases = {
        ScanSettings(24, 2480, 3508, 300, false),
        ScanSettings(24, 1000, 1400, 1200, true, 1),  // feeder at 1200 dpi: 600 x 600, multi page
        ScanSettings(8, 640, 480, 1200, false),  // flatbed keeps 1200
        ScanSettings(8, 640, 480, 150, true, 0, COMPRESSION_JPEG),  // single feeder page, JPEG level 70
        ScanSettings(1, 800, 600, 600, false, 1, COMPRESSION_JPEG),  // bi-level: no compression
        ScanSettings(24, 10, 10, 75, false, 1, COMPRESSION_WICKED),
    };
    cases[0].xStart = 17;
    cases[0].yStart = 0x01020304;
    cases[0].backgroundRemoval = 5;
    cases[0].backgroundRemovalParam = 9;
    cases[0].BrightnessParam = 200;
    cases[0].ContrastParam = 33;
    for (const tagSettingInfo &s : cases) {
        SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, s), 0);
        const std::vector<unsigned char> sent = FromHexText(SimGet("scan s1 lockreq"));
        SCAN_CHECK(sent == LockBytes(s));
        SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 0);
    }
    SCAN_CHECK(CountLines(c_strInfoLog, "[OrvoScanSDK] x:17 y:16909060 width:2480 height:3508 dpi:300 depth:24") == 1);
    close(c.iSock);
}

void TestSimpleCommands()
{
    stConn c = Open("AB1234");
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_POWERON, c.iFd), 0);
    SCAN_CHECK(CountLines(c_strInfoLog, "ScanPowerOn Sleep: 5 seconds") >= 1);
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_GETSIZES, c.iFd), 0);
    USBScanAdfStatusRes adf = {};
    SCAN_CHECK(ScanAdfStatus(c.iSock, c.iFd, adf) && adf.result == 0 && adf.st == ADF_STATUS_LOADED);
    SimCtl("scan s1 adf 3");
    SCAN_CHECK(ScanAdfStatus(c.iSock, c.iFd, adf) && adf.result == 0 && adf.st == ADF_STATUS_PAPER_JAM);
    SimCtl("scan s1 adf 2");
    USBScanDevicePropertiesRes props = {};
    SCAN_CHECK(ScanDevProperties(c.iSock, c.iFd, props) && props.result == 0);
    SCAN_CHECK(props.st.common[0] == 0x1B && props.st.common[2] == 0x03 && props.st.majorVersion == 1
               && props.st.minorVersion == 2 && props.st.compression == 3 && props.st.boundery24 == 4
               && props.st.boundery8 == 8 && props.st.supportProcessing == 0x11223344
               && props.st.deviceCaps == 0x5566 && props.st.sources == 7);
    SCAN_CHECK_EQ(ScanEndpointCommand(c.iSock, USB_CLEAR_DEV, c.iFd, 0x82), 0);
    SCAN_CHECK_EQ(ScanEndpointCommand(c.iSock, USB_RESET_DEVEP, c.iFd, 0x02), 0);

    // The device's answer flags.
    SimCtl("scan s1 flag 5 0x88");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(24, 10, 10, 300, false)), 3);  // locked elsewhere
    SimCtl("scan s1 flag 5 0x89");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(24, 10, 10, 300, false)), 9);
    SimCtl("scan s1 flag 5 0x80");
    SimCtl("scan s1 flag 6 0x87");
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 0);  // unknown flag counts as done
    SCAN_CHECK(CountLines(c_strErrLog, "[OrvoScanSDK] Response flag is unknown [0x87]") == 1);
    SimCtl("scan s1 flag 6 0x83");
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 9);
    SCAN_CHECK(CountLines(c_strErrLog, "[OrvoScanSDK] Response: Lock required to execute command") == 1);
    SimCtl("scan s1 flag 6 0x80");
    SimCtl("scan s1 flag 4 0x88");
    SCAN_CHECK(ScanAdfStatus(c.iSock, c.iFd, adf) && adf.result == 9);
    SimCtl("scan s1 flag 4 0x80");

    // Records and an abort answer left over from an earlier scan are skipped.
    SimCtl("scan s1 leftover 3 abort");
    SCAN_CHECK(ScanAdfStatus(c.iSock, c.iFd, adf) && adf.result == 0 && adf.st == ADF_STATUS_LOADED);
    SCAN_CHECK_EQ(CountLines(c_strInfoLog, "ScanRecord Response recieve. Retry read."), 3);
    SCAN_CHECK_EQ(CountLines(c_strInfoLog, "ScanAbort Response recieve. Retry read."), 1);

    // A stalled read: the device still answers its string request, so it is only busy.
    SimCtl("scan s1 stall 1");
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_GETSIZES, c.iFd), 3);
    SimCtl("clear s1");
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_GETSIZES, c.iFd), 0);
    close(c.iSock);
}

struct stScanResult {
    USBScanStartRes start;
    std::vector<USBScanRecordRes> records;
};

stScanResult Scan(const stConn &c, const tagSettingInfo &s)
{
    stScanResult r = {};
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, s), 0);
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, r.start));
    SCAN_CHECK_EQ(r.start.result, 0);
    r.records = ReadRecords(c.iSock);
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 0);
    return r;
}

// Expected sequence of one page of n image bytes in chunks: begin, data..., end.
void CheckPageRecords(const std::vector<USBScanRecordRes> &recs, size_t &i, int page, size_t bytes, size_t chunk)
{
    SCAN_CHECK(i < recs.size() && recs[i].st == 9 && recs[i].fileIndex == page && recs[i].dataSize == 0
               && recs[i].result == 0);
    ++i;
    for (size_t done = 0; done < bytes && i < recs.size(); ++i) {
        const size_t n = std::min(chunk, bytes - done);
        SCAN_CHECK(recs[i].st == 0 && recs[i].fileIndex == page + 1 && size_t(recs[i].dataSize) == n
                   && recs[i].result == 0);
        done += n;
    }
    SCAN_CHECK(i < recs.size() && recs[i].st == 7 && recs[i].fileIndex == page + 1 && recs[i].result == 0);
    ++i;
}

void TestSinglePageScan()
{
    stConn c = Open("AB1234");
    SimCtl("scan s1 chunk 4096");
    const stScanResult r = Scan(c, ScanSettings(24, 50, 40, 300, false));
    const std::string base = r.start.fileName;
    int pid = 0, index = -1;
    char key[17] = {};
    SCAN_CHECK(sscanf(base.c_str(), ORVO_SCAN_DIR "/orvoscandata_%d_%16[0-9a-f]_%d", &pid, key, &index) == 3
               && index == 0);
    SCAN_CHECK(base == c_strScanDir + "/orvoscandata_" + std::to_string(pid) + "_" + key + "_0");
    bool connectionProcess = false;
    for (const stScanProc &p : ScanDaemonProcs())
        connectionProcess = connectionProcess || (p.pid == pid && p.ppid == ScanListenerPid());
    SCAN_CHECK(connectionProcess);
    size_t i = 0;
    CheckPageRecords(r.records, i, 0, 6000, 4096);
    SCAN_CHECK(i + 1 == r.records.size() && r.records[i].st == 1 && r.records[i].result == 5
               && r.records[i].fileIndex == 1 && r.records[i].dataSize == 0);
    SCAN_CHECK_FILE(ScanPageName(base, 0), ExpectedPage(24, 50, 40, 0));
    SCAN_CHECK(!FileExists(ScanPageName(base, 1)));
    struct stat st;
    SCAN_CHECK(stat(ScanPageName(base, 0).c_str(), &st) == 0 && (st.st_mode & 0777) == 0644);
    close(c.iSock);
}

void TestTwoPagesAndTwoScans()
{
    stConn c = Open("CD5678");
    SimCtl("scan s2 chunk 1000");
    SimCtl("scan s2 pages 2");
    const stScanResult a = Scan(c, ScanSettings(8, 100, 25, 300, true, 1));  // multi-page feeder: 2 pages
    size_t i = 0;
    CheckPageRecords(a.records, i, 0, 2500, 1000);
    CheckPageRecords(a.records, i, 1, 2500, 1000);
    SCAN_CHECK(i + 1 == a.records.size() && a.records[i].result == 5 && a.records[i].fileIndex == 2);
    SCAN_CHECK_FILE(ScanPageName(a.start.fileName, 0), ExpectedPage(8, 100, 25, 0));
    SCAN_CHECK_FILE(ScanPageName(a.start.fileName, 1), ExpectedPage(8, 100, 25, 1));

    // A second scan on the same connection: same process id, counter 1; a bi-level page.
    const stScanResult b = Scan(c, ScanSettings(1, 37, 20, 600, true, 0));  // single feeder page
    const std::string na = a.start.fileName, nb = b.start.fileName;
    SCAN_CHECK(na.size() > 2 && na.substr(na.size() - 2) == "_0");
    SCAN_CHECK(nb.size() > 2 && nb.substr(nb.size() - 2) == "_1" && nb.substr(0, nb.size() - 2) == na.substr(0, na.size() - 2));
    SCAN_CHECK_EQ(ExpectedPage(1, 37, 20, 0).size(), 100u);
    SCAN_CHECK_FILE(ScanPageName(nb, 0), ExpectedPage(1, 37, 20, 0));
    SCAN_CHECK(!FileExists(ScanPageName(nb, 1)));

    // The client deletes what it has read: by full path or by plain name.
    SCAN_CHECK(ScanDeleteFile(c.iSock, ScanPageName(na, 0)));
    SCAN_CHECK(ScanDeleteFile(c.iSock, ScanPageName(na, 1).substr(c_strScanDir.size() + 1)));
    SCAN_CHECK(ScanDeleteFile(c.iSock, ScanPageName(na, 7)));  // no such page: nothing, no reply
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_OPEN_DEV, c.iFd), 0);
    SCAN_CHECK(!FileExists(ScanPageName(na, 0)) && !FileExists(ScanPageName(na, 1)));
    SCAN_CHECK(FileExists(ScanPageName(nb, 0)));
    close(c.iSock);
}

// Creates a file with some text.
void Touch(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "w");
    if (f) {
        fputs("keep\n", f);
        fclose(f);
    }
}

void TestDeleteRefusals()
{
    stConn c = Open("EF9012", 0x2009);
    const std::string outside = ORVO_INSTALL_ROOT "/cfg/keep.txt";
    const std::string foreign = c_strScanDir + "/notes.txt";
    const std::string linkName = c_strScanDir + "/orvoscandata_1_0_0.tmp";
    const std::string dirName = c_strScanDir + "/orvoscandata_1_0_1.tmp";
    Touch(outside);
    Touch(foreign);
    SCAN_CHECK(symlink(outside.c_str(), linkName.c_str()) == 0);
    SCAN_CHECK(mkdir(dirName.c_str(), 0755) == 0);
    const std::string names[] = {outside, "../cfg/keep.txt", c_strScanDir + "/../cfg/keep.txt", c_strInfoLog,
                                 "orvo_scan_err.log", foreign, "notes.txt", linkName, dirName, c_strScanDir,
                                 "/", "", "orvoscandata_1_0_0.tmp/../../cfg/keep.txt"};
    for (const std::string &n : names)
        SCAN_CHECK(ScanDeleteFile(c.iSock, n));
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_OPEN_DEV, c.iFd), 0);
    SCAN_CHECK(FileExists(outside) && FileExists(foreign) && FileExists(c_strInfoLog) && FileExists(c_strErrLog));
    SCAN_CHECK(FileExists(linkName) && FileExists(dirName));
    unlink(linkName.c_str());
    rmdir(dirName.c_str());
    close(c.iSock);
}

void TestAbort()
{
    stConn c = Open("AB1234");
    stConn other = Open("CD5678");
    SimCtl("clear s1");
    SimCtl("scan s1 chunk 512");
    // A scan of the other connection, and a lookalike of scan 10 of this one: both stay.
    const stScanResult foreign = Scan(other, ScanSettings(8, 20, 10, 300, false));
    SCAN_CHECK(FileExists(ScanPageName(foreign.start.fileName, 0)));

    // Scan 0 of this connection runs to its end; scan 1 is aborted while its data process
    // waits in a device read.
    const stScanResult done = Scan(c, ScanSettings(8, 16, 8, 300, false));
    const std::string base0 = done.start.fileName;
    const std::string lookalike = base0.substr(0, base0.size() - 2) + "_10_0.tmp";
    Touch(lookalike);
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(24, 100, 100, 300, false)), 0);
    // The listener and the two connections: the data processes of the finished scans end
    // by themselves after their last record, and must not be counted as this scan's.
    SCAN_CHECK(WaitUntil([] { return ScanDaemonProcs().size() == 3; }));
    const size_t procsBefore = ScanDaemonProcs().size();
    SimCtl("scan s1 hold 4");
    USBScanStartRes start = {};
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    std::vector<USBScanRecordRes> recs;
    for (int k = 0; k < 4; ++k) {
        USBScanRecordRes r;
        SCAN_CHECK(ScanReadRecord(c.iSock, r) && r.result == 0);
        recs.push_back(r);
    }
    SCAN_CHECK(recs[0].st == 9 && recs[3].st == 0 && recs[3].fileIndex == 1);
    SCAN_CHECK(WaitUntil([] { return Info("s1", "waiting") == "1"; }));
    SCAN_CHECK_EQ(ScanDaemonProcs().size(), procsBefore + 1);
    const std::string base1 = start.fileName;
    SCAN_CHECK(FileExists(ScanPageName(base1, 0)));

    // Texts that are no base name of this connection delete nothing.
    for (const std::string &t : {std::string("/"), std::string("orvo"), std::string(c_strScanDir),
                                 std::string(foreign.start.fileName), base0.substr(0, base0.size() - 1) + "5"}) {
        SCAN_CHECK_EQ(ScanAbortDev(c.iSock, -1, t), 4);
    }
    SCAN_CHECK(ScanNothingPending(c.iSock));
    SCAN_CHECK(FileExists(ScanPageName(foreign.start.fileName, 0)) && FileExists(ScanPageName(base0, 0)));
    SCAN_CHECK(FileExists(c_strInfoLog) && FileExists(c_strErrLog) && FileExists(lookalike));
    // The data process was ended by the first of those aborts already.
    SCAN_CHECK(WaitUntil([&] { return ScanDaemonProcs().size() == procsBefore; }));
    SCAN_CHECK(Info("s1", "aborts") == "0");

    // A scan aborted while its data process waits in a device read.
    SimCtl("scan s1 hold 4");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(24, 100, 100, 300, false)), 0);
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    for (int k = 0; k < 4; ++k) {
        USBScanRecordRes r;
        SCAN_CHECK(ScanReadRecord(c.iSock, r) && r.result == 0);
    }
    SCAN_CHECK(WaitUntil([] { return Info("s1", "waiting") == "1"; }));
    const std::string base2 = start.fileName;
    SCAN_CHECK(FileExists(ScanPageName(base2, 0)));
    SCAN_CHECK_EQ(ScanAbortDev(c.iSock, c.iFd, base2), 0);
    SCAN_CHECK(ScanNothingPending(c.iSock));  // the data process sent nothing after its records
    SCAN_CHECK(Info("s1", "aborts") == "1");
    SCAN_CHECK(Info("s1", "resets") == "1");
    const std::vector<unsigned char> out = FromHexText(SimGet("get s1 bulkout 0x02"));
    const std::vector<unsigned char> abortFrame = {0x1B, 0x53, 0x0F, 0, 0, 0, 0x80, 0};
    SCAN_CHECK(out.size() >= 8 && std::vector<unsigned char>(out.end() - 8, out.end()) == abortFrame);
    SCAN_CHECK_EQ(ScanDaemonProcs().size(), procsBefore);
    SCAN_CHECK(!FileExists(ScanPageName(base2, 0)));
    SCAN_CHECK(FileExists(ScanPageName(base0, 0)) && FileExists(lookalike));
    SCAN_CHECK(FileExists(ScanPageName(foreign.start.fileName, 0)));
    // The connection still serves; the device's abort answer is skipped.
    USBScanAdfStatusRes adf = {};
    SCAN_CHECK(ScanAdfStatus(c.iSock, c.iFd, adf) && adf.result == 0 && adf.st == ADF_STATUS_LOADED);
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 0);
    // An empty name deletes nothing and says so.
    SCAN_CHECK_EQ(ScanAbortDev(c.iSock, c.iFd, ""), 0);
    SCAN_CHECK(CountLines(c_strInfoLog, "[OrvoScanSDK] subStr isEmpty") >= 1);
    SCAN_CHECK(FileExists(ScanPageName(base0, 0)));
    SimCtl("scan s1 release");
    SimCtl("clear s1");
    unlink(lookalike.c_str());
    close(c.iSock);
    close(other.iSock);
}

void TestDeviceEndings()
{
    stConn c = Open("AB1234");
    SimCtl("clear s1");
    SimCtl("scan s1 chunk 600");
    SimCtl("scan s1 abortafter 2");
    const stScanResult r = Scan(c, ScanSettings(24, 20, 40, 300, false));
    SCAN_CHECK(r.records.size() == 4 && r.records.back().result == 2);  // begin, 2 x data, aborted
    SCAN_CHECK(CountLines(c_strInfoLog, "[OrvoScanSDK] ScanAbort Command from Device.") >= 1);

    // A continuous record announcing fewer bytes than its own fields ends the scan with an
    // I/O error instead of a read of 65 523 image bytes.
    SimCtl("clear s1");
    SimCtl("scan s1 hold 1");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(24, 20, 40, 300, false)), 0);
    USBScanStartRes start = {};
    USBScanRecordRes rec = {};
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    SCAN_CHECK(ScanReadRecord(c.iSock, rec) && rec.st == 9 && rec.result == 0);
    SCAN_CHECK(WaitUntil([] { return Info("s1", "waiting") == "1"; }));
    SCAN_CHECK(SimCtl("queue s1 bulkin 1B5302000A008000" + std::string(46, '0') + " 0x82"));
    SCAN_CHECK(ScanReadRecord(c.iSock, rec) && rec.result == 9 && rec.dataSize == 0);
    SCAN_CHECK(CountLines(c_strErrLog, "ScanRecord answer too short: dataSize = 10") == 1);
    SimCtl("clear s1");
    close(c.iSock);
}

void TestReopenAndUnplug()
{
    stConn c = Open("CD5678");
    SimCtl("clear s2");
    SCAN_CHECK(SimCtl("unplug s2") && SimCtl("plug s2"));
    // The old handle points at a node that is gone.
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 9);
    USBReopenDevRes re = {};
    SCAN_CHECK(ScanReopenDev(c.iSock, c.iFd, c_uVid, c_uK20NW, "NOSUCH", re) && re.ret == 9 && re.fd == -1);
    SCAN_CHECK(ScanReopenDev(c.iSock, c.iFd, c_uVid, c_uK20NW, "CD5678", re) && re.ret == 0 && re.fd > 0);
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, re.fd), 0);
    if (re.fd != c.iFd)
        SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_CLOSE_DEV, c.iFd), 4);  // closed by the reopen

    // Unplugged: the device does not answer, the command fails.
    SCAN_CHECK(SimCtl("unplug s2"));
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, re.fd, ScanSettings(24, 10, 10, 300, false)), 9);
    std::vector<USBFindDevRes> devs;
    SCAN_CHECK_EQ(ScanFindDev(c.iSock, c_uVid, c_uK20NW, true, devs), 1);
    SCAN_CHECK(SimCtl("plug s2"));
    close(c.iSock);
}

// The connection process that gave out a scan's base name ("orvoscandata_<pid>_...").
pid_t ConnPid(const std::string &base)
{
    int pid = 0;
    return sscanf(base.c_str(), ORVO_SCAN_DIR "/orvoscandata_%d_", &pid) == 1 ? pid_t(pid) : 0;
}

// A client that leaves as soon as its scan reported done, while the data process may still
// be closing up, keeps the page it was told of: checked once its connection process ended.
void TestLeaveAfterDone()
{
    SimCtl("clear s1");
    SimCtl("scan s1 chunk 4096");
    for (int k = 0; k < 10; ++k) {
        stConn c = Open("AB1234");
        USBScanStartRes start = {};
        SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 40, 30, 300, false)), 0);
        SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
        const std::vector<USBScanRecordRes> recs = ReadRecords(c.iSock);
        close(c.iSock);
        SCAN_CHECK(!recs.empty() && recs.back().result == 5);
        const pid_t conn = ConnPid(start.fileName);
        SCAN_CHECK(conn > 0 && WaitUntil([&] { return !ScanProcAlive(conn); }));
        SCAN_CHECK_FILE(ScanPageName(start.fileName, 0), ExpectedPage(8, 40, 30, 0));
    }
}

void TestTwoClients()
{
    SimCtl("clear s1");
    SimCtl("clear s2");
    SimCtl("scan s1 chunk 3000");
    SimCtl("scan s2 chunk 2048");
    stScanResult r1, r2;
    std::thread t1([&] {
        stConn c = Open("AB1234");
        r1 = Scan(c, ScanSettings(24, 64, 48, 300, false));
        close(c.iSock);
    });
    std::thread t2([&] {
        stConn c = Open("CD5678");
        r2 = Scan(c, ScanSettings(8, 90, 70, 300, false));
        close(c.iSock);
    });
    t1.join();
    t2.join();
    // Whatever a connection process does with its scan's files when its client leaves is
    // done once it has ended.
    SCAN_CHECK(WaitUntil([&] {
        return !ScanProcAlive(ConnPid(r1.start.fileName)) && !ScanProcAlive(ConnPid(r2.start.fileName));
    }));
    const int failuresBefore = g_iScanFailures;
    SCAN_CHECK(!r1.records.empty() && r1.records.back().result == 5);
    SCAN_CHECK(!r2.records.empty() && r2.records.back().result == 5);
    // Read after each client has left: the page a finished scan reported stays whole.
    SCAN_CHECK_FILE(ScanPageName(r1.start.fileName, 0), ExpectedPage(24, 64, 48, 0));
    SCAN_CHECK_FILE(ScanPageName(r2.start.fileName, 0), ExpectedPage(8, 90, 70, 0));
    SCAN_CHECK(std::string(r1.start.fileName) != r2.start.fileName);
    if (g_iScanFailures == failuresBefore)
        return;
    // What the daemon did with the scans' files (it logs every file it deletes).
    std::istringstream log(ReadText(c_strInfoLog));
    for (std::string line; std::getline(log, line);)
        if (line.find(r1.start.fileName) != std::string::npos || line.find(r2.start.fileName) != std::string::npos)
            fprintf(stderr, "daemon: %s\n", line.c_str());
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: tst_scan_usb SIM_SOCKET\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    TestLockRequests();
    TestSimpleCommands();
    TestSinglePageScan();
    TestTwoPagesAndTwoScans();
    TestDeleteRefusals();
    TestAbort();
    TestDeviceEndings();
    TestReopenAndUnplug();
    TestLeaveAfterDone();
    TestTwoClients();
    SCAN_CHECK(WaitUntil([] { return ScanZombieCount() == 0; }));
    if (g_iScanFailures)
        fprintf(stderr, "%d check(s) failed\n", g_iScanFailures.load());
    return g_iScanFailures ? 1 : 0;
}
