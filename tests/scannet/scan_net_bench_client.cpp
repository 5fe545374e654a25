// Measuring side of the network part of bench/scan-bench.sh: one 300-dpi A4 24-bit page
// from the simulator's network scanner, first through the daemon (its data blocks on
// loopback, into the page file), then the same stream copied by a plain socket-to-file
// loop; prints both throughputs, their ratio and the daemon's CPU time per MB.
// usage: scan_net_bench_client SIM_SOCKET SCANNER_ADDR [DPI]
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "mfpsim-scanpattern.h"
#include "orvo-scanclient-net.h"
#include "scan-procs.h"
#include "scan-testkit.h"

namespace {

// A4 at 300 dpi; a quick run (bench/scan-bench.sh --quick) asks for fewer dots per inch.
uint32_t g_uDpi = 300, g_uWidth = 2480, g_uHeight = 3508;
using Clock = std::chrono::steady_clock;
std::string g_strAddr;

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// utime + stime + cutime + cstime of a process, in clock ticks.
long long CpuTicks(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE *f = fopen(path, "r");
    if (!f)
        return -1;
    char buf[2048] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = '\0';
    const char *p = strrchr(buf, ')');
    long long v[4] = {};
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld %lld %lld", &v[0], &v[1], &v[2], &v[3]) != 4)
        return -1;
    return v[0] + v[1] + v[2] + v[3];
}

bool PageIsPattern(const std::string &path, size_t bytes)
{
    std::vector<unsigned char> page;
    if (!ReadFile(path, page) || page.size() != bytes || bytes != size_t(g_uWidth) * g_uHeight * 3)
        return false;
    for (size_t off = 0; off < page.size(); off += 4096) {
        unsigned char want[4096];
        const size_t n = std::min(sizeof want, page.size() - off);
        ScanPatternFill(24, g_uWidth, 0, off, want, n);
        if (memcmp(want, page.data() + off, n) != 0)
            return false;
    }
    return true;
}

bool BenchDaemon(double &secs, double &cpuMsPerMb, size_t &bytes)
{
    const int sock = ScanConnect();
    if (sock < 0)
        return false;
    // Something the connection process answers, so that it exists before it is measured.
    TCPADFStatusRes adf;
    if (!ScanTcpAdfStatus(sock, ScanNetSocket(g_strAddr), adf) || adf.result != 0)
        return false;
    pid_t conn = 0;
    for (const stScanProc &p : ScanDaemonProcs())
        if (p.ppid == ScanListenerPid() && p.pid > conn)
            conn = p.pid;
    const long long cpu0 = CpuTicks(conn);
    TCPScanStartRes start;
    const auto t0 = Clock::now();
    if (!ScanTcpStart(sock, ScanNetSocket(g_strAddr), ScanSettings(24, g_uWidth, g_uHeight, g_uDpi, false), start)
        || start.result != 0)
        return false;
    TCPRecordRes rec;
    bytes = 0;
    while (ScanTcpReadRecord(sock, rec) && rec.result == 0)
        bytes += size_t(rec.bufferLen);
    secs = Seconds(t0, Clock::now());
    // The data process's CPU reaches its parent once it has been reaped.
    WaitUntil([&] { return ScanDaemonProcs().size() == 2; });
    const long long cpu1 = CpuTicks(conn);
    cpuMsPerMb = double(cpu1 - cpu0) * 1000.0 / double(sysconf(_SC_CLK_TCK)) / (double(bytes) / 1e6);
    const std::string page = ScanPageName(start.fileName, 0);
    const bool ok = rec.result == 5 && PageIsPattern(page, bytes);
    ScanDeleteFile(sock, page);
    close(sock);
    return ok;
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (fd < 0 || inet_pton(AF_INET, g_strAddr.c_str(), &sa.sin_addr) != 1
        || connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

// The same scan asked for directly, its data stream copied to a file by a bare loop.
bool BenchPlain(double &secs, size_t &streamBytes)
{
    const std::string body = "SCANTYPE=2&DEPTH=24&CUSTOM_WIDTH=" + std::to_string(g_uWidth)
                             + "&CUSTOM_HEIGHT=" + std::to_string(g_uHeight) + "&SCANSOURCE=7&TYPE=RAW&";
    const std::string post = "POST /netscan/post HTTP/1.1\r\nContent-Length: " + std::to_string(body.size())
                             + "\r\n\r\n" + body;
    const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/plain-copy";
    const int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> buf(65536);
    const auto t0 = Clock::now();
    const int http = Connect(80);
    if (out < 0 || http < 0 || send(http, post.data(), post.size(), MSG_NOSIGNAL) != ssize_t(post.size()))
        return false;
    std::string reply;
    for (ssize_t n; (n = read(http, buf.data(), buf.size())) > 0;)
        reply.append(buf.data(), size_t(n));
    close(http);
    const int data = Connect(2080);
    if (reply.find("RESULT=0") == std::string::npos || data < 0)
        return false;
    streamBytes = 0;
    for (ssize_t n; (n = read(data, buf.data(), buf.size())) > 0; streamBytes += size_t(n))
        if (write(out, buf.data(), size_t(n)) != n)
            return false;
    secs = Seconds(t0, Clock::now());
    close(data);
    close(out);
    unlink(path.c_str());
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: scan_net_bench_client SIM_SOCKET SCANNER_ADDR [DPI]\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    g_strAddr = argv[2];
    if (argc == 4) {
        g_uDpi = uint32_t(atoi(argv[3]));
        g_uWidth = 2480 * g_uDpi / 300;
        g_uHeight = 3508 * g_uDpi / 300;
    }
    double dSecs = 0, pSecs = 0, cpu = 0;
    size_t dBytes = 0, pBytes = 0;
    // A first, unmeasured copy has the simulator make the page; the measured runs then
    // time the transfer alone.
    if (!BenchPlain(pSecs, pBytes)) {
        fprintf(stderr, "plain socket-to-file copy failed\n");
        return 1;
    }
    if (!BenchDaemon(dSecs, cpu, dBytes)) {
        fprintf(stderr, "network scan through the daemon failed or the page differs\n");
        return 1;
    }
    if (!BenchPlain(pSecs, pBytes) || pBytes < dBytes) {
        fprintf(stderr, "plain socket-to-file copy failed (%zu bytes)\n", pBytes);
        return 1;
    }
    const double dRate = double(dBytes) / 1e6 / dSecs, pRate = double(dBytes) / 1e6 / pSecs;
    printf("network page: %u x %u, 24-bit, %zu image bytes in a %zu-byte stream (loopback)\n", g_uWidth, g_uHeight,
           dBytes, pBytes);
    printf("%-34s %10s %10s\n", "", "MB/s", "seconds");
    printf("%-34s %10.2f %10.2f\n", "daemon -> page file", dRate, dSecs);
    printf("%-34s %10.2f %10.2f\n", "plain socket-to-file (reference)", pRate, pSecs);
    printf("daemon / plain copy: %.0f%% (target: at least 80%%)\n", 100.0 * dRate / pRate);
    printf("daemon CPU (connection + data process): %.1f ms per MB\n", cpu);
    return 0;
}
