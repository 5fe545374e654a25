// The scan daemon's server, end to end: the installed daemon started as a daemon, its
// logs, the loopback-only port, the device search against the simulator, malformed
// requests, device handles a connection does not own, many connections, the quit signal.
// usage: tst_scan_server SIM_SOCKET OTHER_ADDR   (OTHER_ADDR: a non-loopback address of
// this network namespace)
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "orvo-scanclient.h"
#include "scan-procs.h"
#include "scan-testkit.h"

namespace {

const std::string c_strInfoLog = ORVO_SCAN_DIR "/orvo_scan_info.log";
const std::string c_strErrLog = ORVO_SCAN_DIR "/orvo_scan_err.log";
std::string g_strOtherAddr;

void TestStartedDaemon()
{
    const pid_t listener = ScanListenerPid();
    SCAN_CHECK(listener > 1);
    struct stat st;
    SCAN_CHECK(stat(c_strInfoLog.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
    SCAN_CHECK(stat(c_strErrLog.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
    // Not listable by other users; they reach a page only by its name.
    SCAN_CHECK(stat(ORVO_SCAN_DIR, &st) == 0 && (st.st_mode & 0777) == 0711);
    SCAN_CHECK_EQ(CountLines(c_strErrLog, "[OrvoScanSDK] bind port:7003"), 1);

    const int sock = ScanConnect();
    SCAN_CHECK(sock >= 0);
    close(sock);
    // The port exists only on the loopback address.
    SCAN_CHECK(ScanConnect(g_strOtherAddr.c_str()) < 0);
}

void TestFindDevice()
{
    const int sock = ScanConnect();
    std::vector<USBFindDevRes> devs;
    // Vendor only: all three devices, whatever their product.
    SCAN_CHECK_EQ(ScanFindDev(sock, 0x300E, 0, false, devs), 3);
    int k40 = 0;
    for (const USBFindDevRes &d : devs) {
        SCAN_CHECK(d.fd > 2);
        SCAN_CHECK_EQ(d.vid, 0x300Eu);
        SCAN_CHECK_EQ(std::string(d.Manufacturer) == "Orvo", true);
        k40 += std::string(d.Product) == "K40N" && std::string(d.SerialNumber) == "EF9012" && d.pid == 0x2009;
    }
    SCAN_CHECK_EQ(k40, 1);

    // With the product: exactly the two K20NW, by their serial numbers.
    SCAN_CHECK_EQ(ScanFindDev(sock, 0x300E, 0x12005, true, devs), 2);
    std::string serials;
    for (const USBFindDevRes &d : devs) {
        SCAN_CHECK_EQ(d.pid, 0x2005u);
        SCAN_CHECK_EQ(std::string(d.Product) == "K20NW", true);
        serials += std::string(d.SerialNumber) + " ";
    }
    SCAN_CHECK(serials == "AB1234 CD5678 " || serials == "CD5678 AB1234 ");
    SCAN_CHECK_EQ(ScanFindDev(sock, 0x1234, 0, false, devs), 0);
    SCAN_CHECK(devs.empty());
    SCAN_CHECK(CountLines(c_strInfoLog, "[OrvoScanSDK] - Serial Number: AB1234") >= 2);
    close(sock);
}

void TestMalformedRequests()
{
    const int sock = ScanConnect();
    std::vector<USBFindDevRes> devs;
    const int32_t fd = ScanFindDev(sock, 0x300E, 0x2009, true, devs) == 1 ? devs[0].fd : -1;
    SCAN_CHECK(fd > 0);

    // An unknown code is logged once and ends the connection: nothing after it runs.
    const int unknownSock = ScanConnect();
    const int32_t unknown[2] = {77, USB_FIND_DEV};
    SCAN_CHECK(send(unknownSock, unknown, sizeof unknown, 0) == 8);
    char c;
    SCAN_CHECK(ScanRecvExact(unknownSock, &c, 1) == false);
    SCAN_CHECK_EQ(CountLines(c_strErrLog, "[OrvoScanSDK] undefined scanCommandType 77"), 1);
    close(unknownSock);

    // A short record: no reply, a receive-error line, and the stream goes on after it.
    const unsigned char shortUnlock[6] = {8, 0, 0, 0, 1, 0};
    SCAN_CHECK(send(sock, shortUnlock, sizeof shortUnlock, 0) == 6);
    SCAN_CHECK(WaitUntil([] { return CountLines(c_strErrLog, "[OrvoScanSDK] recv ScanUnlockReq err") == 1; }));
    SCAN_CHECK_EQ(ScanHandleCommand(sock, USB_OPEN_DEV, fd), 0);
    SCAN_CHECK(ScanNothingPending(sock));

    // A short reopen request still gets its reply, with result 9.
    const unsigned char shortReopen[8] = {18, 0, 0, 0, 1, 0, 0, 0};
    SCAN_CHECK(send(sock, shortReopen, sizeof shortReopen, 0) == 8);
    USBReopenDevRes re = {};
    SCAN_CHECK(ScanRecvExact(sock, &re, sizeof re));
    SCAN_CHECK_EQ(re.ret, 9);
    SCAN_CHECK_EQ(CountLines(c_strErrLog, "[OrvoScanSDK] recv USBReopenDevReq err"), 1);

    // A network command is read whole; one naming no scanner address is refused with 4.
    TCPCommonReq net = {};
    SCAN_CHECK(ScanSendRequest(sock, TCP_SCAN_ADFST, &net, sizeof net));
    TCPADFStatusRes adf = {};
    SCAN_CHECK(ScanRecvExact(sock, &adf, sizeof adf));
    SCAN_CHECK_EQ(adf.result, 4);
    SCAN_CHECK_EQ(ScanHandleCommand(sock, USB_OPEN_DEV, fd), 0);
    SCAN_CHECK(ScanNothingPending(sock));
    close(sock);
}

void TestForeignHandles()
{
    const int a = ScanConnect(), b = ScanConnect();
    std::vector<USBFindDevRes> devs;
    SCAN_CHECK_EQ(ScanFindDev(a, 0x300E, 0x2009, true, devs), 1);
    const int32_t foundByA = devs.empty() ? -1 : devs[0].fd;

    // Numbers this connection never got from a search: the standard streams, its own
    // socket and logs (small numbers), a handle of another connection, nonsense.
    const int32_t foreign[] = {-1, 0, 1, 2, 3, 4, 5, foundByA, 4095, 70000};
    for (int32_t fd : foreign) {
        SCAN_CHECK_EQ(ScanHandleCommand(b, USB_CLOSE_DEV, fd), 4);
        SCAN_CHECK_EQ(ScanHandleCommand(b, USB_OPEN_DEV, fd), 4);
        SCAN_CHECK_EQ(ScanHandleCommand(b, USB_SCAN_UNLOCK, fd), 4);
        SCAN_CHECK_EQ(ScanEndpointCommand(b, USB_CLEAR_DEV, fd, 0x82), 4);
        SCAN_CHECK_EQ(ScanLockDev(b, fd, ScanSettings(24, 100, 10, 300, false)), 4);
        USBScanAdfStatusRes adf = {};
        SCAN_CHECK(ScanAdfStatus(b, fd, adf) && adf.result == 4);
        USBScanStartRes start = {};
        SCAN_CHECK(ScanStartDev(b, fd, start) && start.result == 4);
        USBReopenDevRes re = {};
        SCAN_CHECK(ScanReopenDev(b, fd, 0x300E, 0x2009, "EF9012", re) && re.ret == 4);
    }
    // B's connection survived closing "its" small numbers: it still talks, and A's
    // handle still works for A.
    SCAN_CHECK_EQ(ScanFindDev(b, 0x300E, 0x2009, true, devs), 1);
    SCAN_CHECK_EQ(ScanHandleCommand(a, USB_OPEN_DEV, foundByA), 0);
    // A closed handle is no longer the connection's.
    SCAN_CHECK_EQ(ScanHandleCommand(a, USB_CLOSE_DEV, foundByA), 0);
    SCAN_CHECK_EQ(ScanHandleCommand(a, USB_CLOSE_DEV, foundByA), 4);
    close(a);
    close(b);
}

// True when every connection process that logged its end has the listening process's
// line of its start.
bool ConnectionsLogged(const std::string &log)
{
    std::set<int> started, ended;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        int pid = 0;
        if (sscanf(line.c_str(), "[OrvoScanSDK] new conn pid:%d", &pid) == 1)
            started.insert(pid);
        else if (line.find(" DISCONNECT FROM SERVER") != std::string::npos
                 && sscanf(line.c_str(), "[OrvoScanSDK] pid:%d", &pid) == 1)
            ended.insert(pid);
    }
    return std::includes(started.begin(), started.end(), ended.begin(), ended.end());
}

void TestManyConnections()
{
    const size_t before = ScanDaemonProcs().size();
    const int endedBefore = CountLinesIn(ReadText(c_strInfoLog), "DISCONNECT FROM SERVER");
    for (int i = 0; i < 50; ++i) {
        const int sock = ScanConnect();
        SCAN_CHECK(sock >= 0);
        if (i % 2)
            SCAN_CHECK_EQ(ScanHandleCommand(sock, USB_OPEN_DEV, 3), 4);
        close(sock);
    }
    // A connect returns once the kernel queued it, before the listening process took it: the
    // 50 are all served once 50 ended. The listening process logs a connection after its
    // fork, so a short one can be over before its line is written: the log is whole once
    // every ended one has it.
    SCAN_CHECK(WaitUntil([&] {
        const std::string log = ReadText(c_strInfoLog);
        return CountLinesIn(log, "DISCONNECT FROM SERVER") >= endedBefore + 50 && ConnectionsLogged(log);
    }));
    SCAN_CHECK(WaitUntil([&] { return ScanDaemonProcs().size() <= before && ScanZombieCount() == 0; }));
    SCAN_CHECK_EQ(ScanZombieCount(), 0);
    // Every process appends: the listening process's lines do not land on top of the
    // connection processes' lines. Counted in one reading of the log.
    const std::string log = ReadText(c_strInfoLog);
    SCAN_CHECK(ConnectionsLogged(log));
    SCAN_CHECK(CountLinesIn(log, "DISCONNECT FROM SERVER") >= 50);
    SCAN_CHECK(CountLinesIn(log, "[OrvoScanSDK] new conn pid:") >= 50);
    SCAN_CHECK_EQ(CountLinesIn(log, ""), CountLinesIn(log, "[OrvoScanSDK] "));
}

// Last: the quit signal ends the listening process.
void TestQuit()
{
    const pid_t listener = ScanListenerPid();
    SCAN_CHECK(listener > 1 && kill(listener, SIGQUIT) == 0);
    SCAN_CHECK(WaitUntil([&] { return !ScanProcAlive(listener); }));
    SCAN_CHECK_EQ(CountLines(c_strInfoLog, "[OrvoScanSDK] I got a signal 3"), 1);
    SCAN_CHECK_EQ(CountLines(c_strInfoLog, "[OrvoScanSDK] parent pro exit"), 1);
    SCAN_CHECK(ScanConnect() < 0);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: tst_scan_server SIM_SOCKET OTHER_ADDR\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    g_strOtherAddr = argv[2];
    TestStartedDaemon();
    TestFindDevice();
    TestMalformedRequests();
    TestForeignHandles();
    TestManyConnections();
    TestQuit();
    if (g_iScanFailures)
        fprintf(stderr, "%d check(s) failed\n", g_iScanFailures.load());
    return g_iScanFailures ? 1 : 0;
}
