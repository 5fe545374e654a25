// Measuring side of bench/scan-bench.sh: one 300-dpi A4 24-bit page from the emulated
// scanner, first through the daemon into its page file, then read by a plain usbfs loop
// with the same 512-byte requests; prints both throughputs, their ratio and the daemon's
// CPU time per MB. Runs in the sandbox with the simulator (one USB device) and the daemon.
// usage: scan_bench_client SIM_SOCKET [ROUNDS [DPI]]
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "mfpsim-scanpattern.h"
#include "orvo-scanclient.h"
#include "scan-procs.h"
#include "scan-testkit.h"

namespace {

// A4 at 300 dpi; a quick run (bench/scan-bench.sh --quick) asks for fewer dots per inch.
uint32_t g_uDpi = 300, g_uWidth = 2480, g_uHeight = 3508;
using Clock = std::chrono::steady_clock;

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
    // Fields after the name: state ppid pgrp session tty tpgid flags minflt cminflt majflt
    // cmajflt utime stime cutime cstime.
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld %lld %lld", &v[0], &v[1], &v[2], &v[3]) != 4)
        return -1;
    return v[0] + v[1] + v[2] + v[3];
}

bool BenchDaemon(double &secs, double &cpuMsPerMb, size_t &bytes)
{
    const int sock = ScanConnect();
    std::vector<USBFindDevRes> devs;
    if (sock < 0 || ScanFindDev(sock, 0x300E, 0x2005, true, devs) != 1)
        return false;
    const int32_t fd = devs[0].fd;
    if (ScanLockDev(sock, fd, ScanSettings(24, g_uWidth, g_uHeight, g_uDpi, false)) != 0)
        return false;
    // The connection process is the newest daemon process whose parent is the listener.
    pid_t conn = 0;
    for (const stScanProc &p : ScanDaemonProcs())
        if (p.ppid == ScanListenerPid() && p.pid > conn)
            conn = p.pid;
    const long long cpu0 = CpuTicks(conn);
    USBScanStartRes start;
    const auto t0 = Clock::now();
    if (!ScanStartDev(sock, fd, start) || start.result != 0)
        return false;
    USBScanRecordRes rec;
    bytes = 0;
    while (ScanReadRecord(sock, rec) && rec.result == 0)
        bytes += size_t(rec.dataSize);
    const auto t1 = Clock::now();
    secs = Seconds(t0, t1);
    // The data process's CPU reaches its parent once it has been reaped: then only the
    // listening and the connection process are left.
    WaitUntil([&] { return ScanDaemonProcs().size() == 2; });
    const long long cpu1 = CpuTicks(conn);
    cpuMsPerMb = double(cpu1 - cpu0) * 1000.0 / double(sysconf(_SC_CLK_TCK)) / (double(bytes) / 1e6);
    std::vector<unsigned char> page;
    const bool ok = rec.result == 5 && ReadFile(ScanPageName(start.fileName, 0), page) && page.size() == bytes;
    for (size_t off = 0; ok && off < page.size(); off += 4096) {
        unsigned char want[4096];
        const size_t n = std::min(sizeof want, page.size() - off);
        ScanPatternFill(24, g_uWidth, 0, off, want, n);
        if (memcmp(want, page.data() + off, n) != 0)
            return false;
    }
    ScanHandleCommand(sock, USB_SCAN_UNLOCK, fd);
    ScanDeleteFile(sock, ScanPageName(start.fileName, 0));
    close(sock);
    return ok;
}

int OpenOnlyNode()
{
    DIR *d = opendir("/dev/bus/usb/001");
    int fd = -1;
    for (dirent *e; d && fd < 0 && (e = readdir(d));)
        if (e->d_name[0] >= '0' && e->d_name[0] <= '9')
            fd = open(("/dev/bus/usb/001/" + std::string(e->d_name)).c_str(), O_RDWR);
    if (d)
        closedir(d);
    return fd;
}

int Bulk(int fd, unsigned ep, void *data, unsigned len)
{
    usbdevfs_bulktransfer bt = {};
    bt.ep = ep;
    bt.len = len;
    bt.timeout = 30000;
    bt.data = data;
    return ioctl(fd, USBDEVFS_BULK, &bt);
}

// The same page read by a bare loop: frames in, 512-byte reads out, nothing else.
bool BenchPlain(double &secs, size_t &bytes)
{
    const int fd = OpenOnlyNode();
    if (fd < 0)
        return false;
    unsigned char lock[55] = {0x1B, 0x53, 0x05, 0, 47, 0, 0x80, 0, 3, 0, 0, 3};
    for (int i = 0; i < 4; ++i) {
        lock[12 + i] = uint8_t(g_uWidth >> (8 * i));
        lock[16 + i] = uint8_t(g_uHeight >> (8 * i));
    }
    lock[28] = uint8_t(g_uDpi & 0xFF);
    lock[29] = uint8_t(g_uDpi >> 8);
    lock[30] = uint8_t(g_uDpi & 0xFF);
    lock[31] = uint8_t(g_uDpi >> 8);
    lock[32] = 1;
    const unsigned char startFrame[8] = {0x1B, 0x53, 0x01, 0, 0, 0, 0x80, 0};
    const unsigned char unlockFrame[8] = {0x1B, 0x53, 0x06, 0, 0, 0, 0x80, 0};
    unsigned char buf[512];
    if (Bulk(fd, 0x02, lock, sizeof lock) != 55 || Bulk(fd, 0x82, buf, 512) < 8)
        return false;
    const auto t0 = Clock::now();
    if (Bulk(fd, 0x02, const_cast<unsigned char *>(startFrame), 8) != 8 || Bulk(fd, 0x82, buf, 512) < 8)
        return false;
    bytes = 0;
    for (;;) {
        if (Bulk(fd, 0x82, buf, 512) < 31)
            return false;
        const int status = buf[8];
        const unsigned image = unsigned(buf[4] | buf[5] << 8) - 23;
        if (status == 1)
            break;
        for (unsigned got = 0; status == 0 && got < image;) {
            const int n = Bulk(fd, 0x82, buf, std::min(512u, image - got));
            if (n <= 0)
                return false;
            got += unsigned(n);
            bytes += size_t(n);
        }
    }
    secs = Seconds(t0, Clock::now());
    Bulk(fd, 0x02, const_cast<unsigned char *>(unlockFrame), 8);
    Bulk(fd, 0x82, buf, 512);
    close(fd);
    return true;
}

// Runs the plain loop in a child set up like the daemon's processes: a session of its own,
// standard streams on /dev/null. Under the emulation a process tied to the caller's
// terminal or pipe pays several times more per call, which would flatter the daemon.
bool BenchPlainDetached(double &secs, size_t &bytes)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setsid();
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        double s = 0;
        size_t b = 0;
        const bool ok = BenchPlain(s, b);
        const double out[2] = {ok ? s : -1.0, double(b)};
        const ssize_t w = write(fds[1], out, sizeof out);
        _exit(w == ssize_t(sizeof out) && ok ? 0 : 1);
    }
    close(fds[1]);
    double in[2] = {-1.0, 0};
    const bool got = pid > 0 && read(fds[0], in, sizeof in) == ssize_t(sizeof in);
    close(fds[0]);
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    secs = in[0];
    bytes = size_t(in[1]);
    return got && secs > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 4) {
        fprintf(stderr, "usage: scan_bench_client SIM_SOCKET [ROUNDS [DPI]]\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    const int rounds = argc >= 3 ? atoi(argv[2]) : 3;
    if (argc == 4) {
        g_uDpi = uint32_t(atoi(argv[3]));
        g_uWidth = 2480 * g_uDpi / 300;
        g_uHeight = 3508 * g_uDpi / 300;
    }
    // Alternating rounds, best of each side: other load on the machine hits both alike.
    double dBest = 0, pBest = 0, cpuBest = 0;
    size_t bytes = 0;
    printf("%-7s %-30s %10s %10s\n", "round", "", "MB/s", "seconds");
    for (int round = 1; round <= rounds; ++round) {
        double dSecs = 0, pSecs = 0, cpu = 0;
        size_t dBytes = 0, pBytes = 0;
        if (!BenchDaemon(dSecs, cpu, dBytes)) {
            fprintf(stderr, "scan through the daemon failed or the page differs\n");
            return 1;
        }
        if (!BenchPlainDetached(pSecs, pBytes) || pBytes != dBytes) {
            fprintf(stderr, "plain usbfs loop failed (%zu bytes)\n", pBytes);
            return 1;
        }
        const double dRate = double(dBytes) / 1e6 / dSecs, pRate = double(pBytes) / 1e6 / pSecs;
        printf("%-7d %-30s %10.2f %10.2f\n", round, "daemon -> page file", dRate, dSecs);
        printf("%-7d %-30s %10.2f %10.2f\n", round, "plain usbfs loop (reference)", pRate, pSecs);
        if (dRate > dBest) {
            dBest = dRate;
            cpuBest = cpu;
        }
        pBest = std::max(pBest, pRate);
        bytes = dBytes;
    }
    printf("page: %u x %u, 24-bit, %zu bytes (%u dpi A4), best of %d rounds\n", g_uWidth, g_uHeight, bytes, g_uDpi,
           rounds);
    printf("daemon %.2f MB/s, plain usbfs loop %.2f MB/s: daemon / plain loop %.0f%% (target: at least 80%%)\n",
           dBest, pBest, 100.0 * dBest / pBest);
    printf("daemon CPU (connection + data process): %.1f ms per MB\n", cpuBest);
    return 0;
}
