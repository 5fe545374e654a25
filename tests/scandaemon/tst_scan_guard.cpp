// The daemon's trust boundary, end to end against the emulated scanner: only the maker's
// devices, one scan at a time per device, pages private to their client (another local
// user, a client running as another user, links planted at page names), bounded
// connections and logs, the quit signal in the middle of a scan.
// usage: tst_scan_guard SIM_SOCKET   (devices s1 K20NW AB1234, kb FOREIGN KB0001)
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
constexpr uint32_t c_uVid = 0x300E, c_uK20NW = 0x2005;
constexpr uid_t c_iOtherUid = 65534;
using Clock = std::chrono::steady_clock;

struct stConn {
    int iSock = -1;
    int32_t iFd = -1;
};

stConn Open()
{
    stConn c;
    c.iSock = ScanConnect();
    std::vector<USBFindDevRes> devs;
    if (ScanFindDev(c.iSock, c_uVid, c_uK20NW, true, devs) == 1)
        c.iFd = devs[0].fd;
    SCAN_CHECK(c.iFd > 0);
    return c;
}

std::vector<unsigned char> ExpectedPage(int depth, uint32_t width, uint32_t height, int page)
{
    std::vector<unsigned char> b(ScanPatternRowBytes(depth, width) * height);
    ScanPatternFill(depth, width, page, 0, b.data(), b.size());
    return b;
}

// Records until one ends the scan; false when the stream broke first.
bool ReadToEnd(int sock, std::vector<USBScanRecordRes> &recs)
{
    USBScanRecordRes r;
    while (recs.size() < 10000 && ScanReadRecord(sock, r)) {
        recs.push_back(r);
        if (r.result != 0)
            return true;
    }
    return false;
}

std::string Info(const std::string &key)
{
    const std::string all = "\n" + SimGet("scan s1 info") + "\n";
    const size_t p = all.find("\n" + key + " ");
    return p == std::string::npos ? "" : all.substr(p + key.size() + 2, all.find('\n', p + 1) - p - key.size() - 2);
}

// Runs fn in a child process as another local user; true when it returned true.
template <typename F>
bool AsOtherUser(F fn)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(c_iOtherUid, c_iOtherUid, c_iOtherUid) != 0
            || setresuid(c_iOtherUid, c_iOtherUid, c_iOtherUid) != 0)
            _exit(3);
        _exit(fn() && g_iScanFailures == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void TestOnlyMakersDevices()
{
    stConn c = Open();
    std::vector<USBFindDevRes> devs;
    SCAN_CHECK_EQ(ScanFindDev(c.iSock, 0x046D, 0xC31C, true, devs), 0);
    SCAN_CHECK_EQ(ScanFindDev(c.iSock, 0x046D, 0, false, devs), 0);
    SCAN_CHECK_EQ(ScanFindDev(c.iSock, c_uVid, 0, false, devs), 1);
    USBReopenDevRes re = {};
    SCAN_CHECK(ScanReopenDev(c.iSock, c.iFd, 0x046D, 0xC31C, "KB0001", re) && re.ret == 9 && re.fd == -1);
    // The foreign device saw nothing at all: no string request, no transfer, no reset.
    SCAN_CHECK(SimGet("get kb controls").empty());
    SCAN_CHECK(SimGet("get kb bulkoutlen 0x02") == "0 0");

    // The maker's scanner by its own ids and serial: a new working handle, the old one closed.
    SCAN_CHECK(ScanReopenDev(c.iSock, c.iFd, c_uVid, c_uK20NW, "AB1234", re) && re.ret == 0 && re.fd > 0);
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, re.fd), 0);
    if (re.fd != c.iFd)
        SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_CLOSE_DEV, c.iFd), 4);
    close(c.iSock);
}

void TestSecondStart()
{
    stConn c = Open();
    stConn other = Open();
    SimCtl("clear s1");
    SimCtl("scan s1 chunk 1000");
    SimCtl("scan s1 hold 3");
    const size_t procsBefore = ScanDaemonProcs().size();
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 100, 40, 300, false)), 0);
    USBScanStartRes start = {}, second = {};
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    std::vector<USBScanRecordRes> recs(3);
    for (USBScanRecordRes &r : recs)
        SCAN_CHECK(ScanReadRecord(c.iSock, r) && r.result == 0);
    SCAN_CHECK(WaitUntil([] { return Info("waiting") == "1"; }));
    // The same connection, and another one on the same device: busy, nothing sent to it.
    const std::string bulkBefore = SimGet("get s1 bulkoutlen 0x02");
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, second) && second.result == 3);
    SCAN_CHECK(ScanStartDev(other.iSock, other.iFd, second) && second.result == 3);
    SCAN_CHECK_EQ(ScanLockDev(other.iSock, other.iFd, ScanSettings(8, 10, 10, 300, false)), 3);
    USBScanAdfStatusRes adf = {};
    SCAN_CHECK(ScanAdfStatus(other.iSock, other.iFd, adf) && adf.result == 3);
    SCAN_CHECK(SimGet("get s1 bulkoutlen 0x02") == bulkBefore);
    SCAN_CHECK_EQ(ScanDaemonProcs().size(), procsBefore + 1);
    SimCtl("scan s1 release");
    SCAN_CHECK(ReadToEnd(c.iSock, recs) && recs.back().result == 5);
    std::vector<unsigned char> page;
    SCAN_CHECK(ReadFile(ScanPageName(start.fileName, 0), page) && page == ExpectedPage(8, 100, 40, 0));
    // The device is free again for the other connection once the scan is over.
    SCAN_CHECK_EQ(ScanHandleCommand(c.iSock, USB_SCAN_UNLOCK, c.iFd), 0);
    SCAN_CHECK_EQ(ScanLockDev(other.iSock, other.iFd, ScanSettings(8, 10, 10, 300, false)), 0);
    SCAN_CHECK_EQ(ScanHandleCommand(other.iSock, USB_SCAN_UNLOCK, other.iFd), 0);
    SCAN_CHECK(ScanDeleteFile(c.iSock, ScanPageName(start.fileName, 0)));

    // A disconnect in the middle of a scan leaves no process of the connection.
    SimCtl("scan s1 hold 2");
    SCAN_CHECK_EQ(ScanLockDev(other.iSock, other.iFd, ScanSettings(8, 100, 40, 300, false)), 0);
    SCAN_CHECK(ScanStartDev(other.iSock, other.iFd, start) && start.result == 0);
    SCAN_CHECK(WaitUntil([] { return Info("waiting") == "1"; }));
    const auto t0 = Clock::now();
    close(other.iSock);
    SCAN_CHECK(WaitUntil([&] { return ScanDaemonProcs().size() == procsBefore - 1; }));
    printf("disconnect mid-scan: connection and data process gone after %.2f s\n",
           std::chrono::duration<double>(Clock::now() - t0).count());
    SimCtl("scan s1 release");
    SimCtl("clear s1");
    close(c.iSock);
}

void TestPlantedLinks()
{
    stConn c = Open();
    const std::string target = ORVO_INSTALL_ROOT "/cfg/target.txt";
    FILE *f = fopen(target.c_str(), "w");
    SCAN_CHECK(f && fputs("keep\n", f) >= 0);
    if (f)
        fclose(f);
    // At the first page's name, planted before the scan's first record.
    SimCtl("clear s1");
    SimCtl("scan s1 hold 0");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 50, 20, 300, false)), 0);
    USBScanStartRes start = {};
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    SCAN_CHECK(symlink(target.c_str(), ScanPageName(start.fileName, 0).c_str()) == 0);
    SimCtl("scan s1 release");
    std::vector<USBScanRecordRes> recs;
    SCAN_CHECK(ReadToEnd(c.iSock, recs) && recs.size() == 1 && recs[0].result == 11);
    SCAN_CHECK(ReadText(target) == "keep\n");
    unlink(ScanPageName(start.fileName, 0).c_str());
    SCAN_CHECK(ScanAbortDev(c.iSock, c.iFd, start.fileName) == 0);

    // At the next page's name, planted while the first page is written.
    SimCtl("clear s1");
    SimCtl("scan s1 pages 2");
    SimCtl("scan s1 chunk 1000");
    SimCtl("scan s1 hold 2");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 100, 20, 300, true, 1)), 0);
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    SCAN_CHECK(WaitUntil([] { return Info("waiting") == "1"; }));
    SCAN_CHECK(symlink(target.c_str(), ScanPageName(start.fileName, 1).c_str()) == 0);
    SimCtl("scan s1 release");
    recs.clear();
    SCAN_CHECK(ReadToEnd(c.iSock, recs) && recs.back().result == 11 && recs.back().fileIndex == 1);
    SCAN_CHECK(ReadText(target) == "keep\n");
    std::vector<unsigned char> page;
    SCAN_CHECK(ReadFile(ScanPageName(start.fileName, 0), page) && page == ExpectedPage(8, 100, 20, 0));
    unlink(ScanPageName(start.fileName, 1).c_str());
    SCAN_CHECK(ScanAbortDev(c.iSock, c.iFd, start.fileName) == 0);
    SCAN_CHECK(!FileExists(ScanPageName(start.fileName, 0)));
    SimCtl("clear s1");
    close(c.iSock);
}

// One whole scan on a new connection; the page's name, or "" on failure.
std::string ScanOnePage(int &sock)
{
    stConn c = Open();
    sock = c.iSock;
    SimCtl("clear s1");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 30, 10, 300, false)), 0);
    USBScanStartRes start = {};
    std::vector<USBScanRecordRes> recs;
    if (!ScanStartDev(c.iSock, c.iFd, start) || start.result != 0 || !ReadToEnd(c.iSock, recs)
        || recs.back().result != 5)
        return "";
    return ScanPageName(start.fileName, 0);
}

void TestOtherUsers()
{
    int ownerSock = -1;
    const std::string page = ScanOnePage(ownerSock);
    SCAN_CHECK(!page.empty() && FileExists(page));
    const std::string name = page.substr(c_strScanDir.size() + 1);
    const std::string pid = name.substr(13, name.find('_', 13) - 13);  // orvoscandata_<pid>_...
    // Another local user: cannot list the folder, guess a name, delete directly or
    // through the daemon (by path, by name, by an abort naming the scan).
    SCAN_CHECK(AsOtherUser([&] {
        SCAN_CHECK(opendir(c_strScanDir.c_str()) == nullptr && errno == EACCES);
        for (const std::string &guess : {"orvoscandata_" + pid + "_0_0.tmp", "orvoscandata_" + pid + "_1_0.tmp"})
            SCAN_CHECK(open((c_strScanDir + "/" + guess).c_str(), O_RDONLY) < 0);
        SCAN_CHECK(unlink(page.c_str()) != 0);
        SCAN_CHECK(open(c_strErrLog.c_str(), O_RDONLY) < 0 && open(c_strInfoLog.c_str(), O_RDONLY) < 0);
        const int sock = ScanConnect();
        SCAN_CHECK(ScanDeleteFile(sock, page) && ScanDeleteFile(sock, name));
        const std::string base = page.substr(0, page.size() - 6);
        SCAN_CHECK_EQ(ScanAbortDev(sock, -1, base), 4);
        OrvoSocket net = {};
        TCPScanAbortReq abortReq = {};
        abortReq.socket = net;
        snprintf(abortReq.fileName, sizeof abortReq.fileName, "%s", base.c_str());
        int32_t result = -1;
        SCAN_CHECK(ScanSendRequest(sock, TCP_SCAN_ABORT, &abortReq, sizeof abortReq)
                   && ScanRecvExact(sock, &result, sizeof result));
        close(sock);
        return true;
    }));
    SCAN_CHECK(FileExists(page));
    // The owner deletes it.
    SCAN_CHECK(ScanDeleteFile(ownerSock, page));
    SCAN_CHECK(WaitUntil([&] { return !FileExists(page); }));
    close(ownerSock);

    // A client running as another user scans and reads its own page by the reported name.
    SCAN_CHECK(AsOtherUser([&] {
        int sock = -1;
        const std::string own = ScanOnePage(sock);
        std::vector<unsigned char> bytes;
        SCAN_CHECK(ReadFile(own, bytes) && bytes == ExpectedPage(8, 30, 10, 0));
        SCAN_CHECK(ScanDeleteFile(sock, own));
        SCAN_CHECK(WaitUntil([&] { return access(own.c_str(), F_OK) != 0; }));
        close(sock);
        return true;
    }));
}

// 200 idle connections: at most 64 connection processes, one log line for the burst,
// and the daemon serves again once they are gone.
void TestIdleConnections()
{
    // The earlier tests' connections have ended: only the listening process is left.
    SCAN_CHECK(WaitUntil([] { return ScanDaemonProcs().size() == 1; }));
    const size_t before = ScanDaemonProcs().size();
    std::vector<int> socks;
    for (int i = 0; i < 200; ++i)
        socks.push_back(ScanConnect());
    SCAN_CHECK(WaitUntil([&] { return CountLines(c_strErrLog, "connections at once") >= 1; }));
    SCAN_CHECK(WaitUntil([&] { return ScanDaemonProcs().size() == before + 64; }));
    const size_t procs = ScanDaemonProcs().size();
    printf("200 idle connections: %zu daemon processes (listener %zu)\n", procs, before);
    SCAN_CHECK(procs <= before + 64);
    SCAN_CHECK_EQ(CountLines(c_strErrLog, "connections at once"), 1);
    for (int s : socks)
        close(s);
    SCAN_CHECK(WaitUntil([&] { return ScanDaemonProcs().size() == before && ScanZombieCount() == 0; }));
    const int sock = ScanConnect();
    SCAN_CHECK_EQ(ScanHandleCommand(sock, USB_OPEN_DEV, 3), 4);
    close(sock);
}

long long LogBytes()
{
    long long total = 0;
    for (const std::string &p : {c_strInfoLog, c_strErrLog, c_strInfoLog + ".1", c_strErrLog + ".1"}) {
        struct stat st;
        if (stat(p.c_str(), &st) == 0)
            total += st.st_size;
    }
    return total;
}

// 50 MiB of well-framed garbage (deletions of random names full of control characters)
// and a request that never completes: the logs stay bounded and hold no forged line.
void TestGarbage()
{
    const int stalled = ScanConnect();
    const int32_t code = USB_SCAN_LOCK;
    SCAN_CHECK(send(stalled, &code, sizeof code, 0) == 4);
    const auto stalledAt = Clock::now();
    char c;
    SCAN_CHECK(!ScanRecvExact(stalled, &c, 1, 30000));
    printf("incomplete request: connection closed after %.1f s\n",
           std::chrono::duration<double>(Clock::now() - stalledAt).count());
    SCAN_CHECK(CountLines(c_strErrLog, "request incomplete after") == 1);
    close(stalled);

    const long long logsBefore = LogBytes();
    const int sock = ScanConnect();
    std::mt19937 rng(7);
    std::vector<unsigned char> chunk;
    const size_t total = 50u << 20;
    size_t sent = 0;
    while (sent < total) {
        chunk.clear();
        for (int i = 0; i < 256; ++i) {
            const int32_t del = CMD_DELETE_FILE;
            chunk.insert(chunk.end(), reinterpret_cast<const unsigned char *>(&del),
                         reinterpret_cast<const unsigned char *>(&del) + 4);
            for (int k = 0; k < 256; ++k)
                chunk.push_back(k == 255 ? 0 : k % 40 == 0 ? '\n'
                                           : k % 41 == 0   ? 0x1b
                                                           : uint8_t('a' + rng() % 26));
        }
        // Each record goes whole to the daemon's one receive.
        for (size_t off = 0; off < chunk.size(); off += 260)
            SCAN_CHECK(send(sock, chunk.data() + off, 260, MSG_NOSIGNAL) == 260);
        sent += chunk.size();
    }
    SCAN_CHECK_EQ(ScanHandleCommand(sock, USB_OPEN_DEV, 3), 4);  // all of it was read
    close(sock);
    const long long grown = LogBytes() - logsBefore;
    printf("50 MiB of garbage requests: logs grew by %.2f MiB\n", double(grown) / (1 << 20));
    SCAN_CHECK(grown <= 8ll << 20);
    SCAN_CHECK(FileExists(c_strErrLog + ".1"));
    SCAN_CHECK(CountLines(c_strErrLog, "") == CountLines(c_strErrLog, "[OrvoScanSDK] "));
    SCAN_CHECK(CountLines(c_strErrLog + ".1", "") == CountLines(c_strErrLog + ".1", "[OrvoScanSDK] "));
    SCAN_CHECK(CountLines(c_strErrLog, "\x1b") == 0 && CountLines(c_strErrLog, "\\x1b") > 0);
    struct stat st;
    SCAN_CHECK(stat((c_strErrLog + ".1").c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
}

// Last: the quit signal to the data process of a scan held mid-page, with another
// connection waiting in a read. Every process of the daemon ends, the cut page is removed.
void TestQuitMidScan()
{
    stConn idle = Open();
    stConn c = Open();
    SimCtl("clear s1");
    SimCtl("scan s1 chunk 1000");
    SimCtl("scan s1 hold 3");
    SCAN_CHECK_EQ(ScanLockDev(c.iSock, c.iFd, ScanSettings(8, 100, 40, 300, false)), 0);
    USBScanStartRes start = {};
    SCAN_CHECK(ScanStartDev(c.iSock, c.iFd, start) && start.result == 0);
    SCAN_CHECK(WaitUntil([] { return Info("waiting") == "1"; }));
    SCAN_CHECK(FileExists(ScanPageName(start.fileName, 0)));
    pid_t data = 0;
    for (const stScanProc &p : ScanDaemonProcs())
        for (const stScanProc &q : ScanDaemonProcs())
            if (q.pid == p.ppid && q.ppid == ScanListenerPid())
                data = p.pid;
    SCAN_CHECK(data > 0 && kill(data, SIGQUIT) == 0);
    const auto t0 = Clock::now();
    SCAN_CHECK(WaitUntil([] { return ScanDaemonProcs().empty(); }, 20000));
    const double took = std::chrono::duration<double>(Clock::now() - t0).count();
    printf("quit signal mid-scan (USB): all daemon processes gone after %.2f s\n", took);
    SCAN_CHECK(took < 10);
    SCAN_CHECK(!FileExists(ScanPageName(start.fileName, 0)));
    SCAN_CHECK_EQ(CountLines(c_strInfoLog, "[OrvoScanSDK] I got a signal 3"), 1);
    SimCtl("scan s1 release");
    close(c.iSock);
    close(idle.iSock);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: tst_scan_guard SIM_SOCKET\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    TestOnlyMakersDevices();
    TestSecondStart();
    TestPlantedLinks();
    TestOtherUsers();
    TestIdleConnections();
    TestGarbage();
    TestQuitMidScan();
    if (g_iScanFailures)
        fprintf(stderr, "%d check(s) failed\n", g_iScanFailures.load());
    return g_iScanFailures ? 1 : 0;
}
