// Reference side of bench/sane-bench.sh: the same page as the backend's scan, through the
// daemon alone (the daemon writes the page file, this client follows the record replies and
// deletes the file), timed from the scan start to the last record.
// usage: sane_bench_daemon usb SERIAL | net ADDRESS   WIDTH HEIGHT DPI
// Prints the seconds and the page file's size.
#include "orvo-scanclient-net.h"
#include "orvo-scanclient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long FileSize(const std::string &path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 6 || (strcmp(argv[1], "usb") != 0 && strcmp(argv[1], "net") != 0)) {
        fprintf(stderr, "usage: sane_bench_daemon usb SERIAL | net ADDRESS  WIDTH HEIGHT DPI\n");
        return 2;
    }
    const bool net = strcmp(argv[1], "net") == 0;
    const uint32_t width = uint32_t(atoi(argv[3])), height = uint32_t(atoi(argv[4]));
    const uint16_t dpi = uint16_t(atoi(argv[5]));
    const int sock = ScanConnect();
    if (sock < 0)
        return 1;
    std::string base;
    int32_t last = 0;
    Clock::time_point t0, t1;
    if (!net) {
        std::vector<USBFindDevRes> devs;
        ScanFindDev(sock, 0x300E, 0, false, devs);
        int32_t fd = -1;
        for (const USBFindDevRes &d : devs)
            if (strcmp(d.SerialNumber, argv[2]) == 0)
                fd = d.fd;
        if (fd < 0 || ScanLockDev(sock, fd, ScanSettings(24, width, height, dpi, false)) != 0)
            return 1;
        USBScanStartRes start;
        t0 = Clock::now();
        if (!ScanStartDev(sock, fd, start) || start.result != 0)
            return 1;
        USBScanRecordRes rec{};
        while (ScanReadRecord(sock, rec) && rec.result == 0) {
        }
        t1 = Clock::now();
        last = rec.result;
        base = start.fileName;
        ScanHandleCommand(sock, USB_SCAN_UNLOCK, fd);
    } else {
        TCPScanStartRes start;
        t0 = Clock::now();
        if (!ScanTcpStart(sock, ScanNetSocket(argv[2]), ScanSettings(24, width, height, dpi, false, 1, COMPRESSION_JPEG),
                          start)
            || start.result != 0)
            return 1;
        TCPRecordRes rec{};
        while (ScanTcpReadRecord(sock, rec) && rec.result == 0) {
        }
        t1 = Clock::now();
        last = rec.result;
        base = start.fileName;
    }
    const std::string page = ScanPageName(base, 0);
    const long long size = FileSize(page);
    ScanDeleteFile(sock, page);
    close(sock);
    if (last != 5 || size <= 0) {
        fprintf(stderr, "the scan ended with result %d, page file of %lld bytes\n", int(last), size);
        return 1;
    }
    printf("%.3f %lld\n", std::chrono::duration<double>(t1 - t0).count(), size);
    return 0;
}
