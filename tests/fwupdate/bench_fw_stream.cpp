// bench_fw_stream updater|plain FILE: streams FILE to the simulated K40N printer and prints
// "SECONDS PEAK_RSS_KIB BASE_RSS_KIB" on stdout (bench/fw-stream.sh runs it): the time of
// the transfer itself, the process's peak RSS, and its peak RSS before the image was read.
//   updater: the updater's own path: the window's file check reads the image, FWUpdateTask
//            sends it (1 MiB chunks to the printer's bulk OUT endpoint).
//   plain:   the reference, a plain libusb loop: the file read into one buffer, the same
//            chunks written to the same endpoint, nothing else.
#include "FWUpdateTask.h"
#include "widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libusb.h>

namespace {
constexpr int c_iVid = 0x300E;
constexpr int c_iPid = 0x2009;

long StatusKiB(const char *field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

int PlainLoop(const unsigned char *image, int length)
{
    if (libusb_init(nullptr) < 0)
        return -1;
    int rc = -2;
    libusb_device_handle *h = libusb_open_device_with_vid_pid(nullptr, c_iVid, c_iPid);
    if (h) {
        libusb_detach_kernel_driver(h, 0);
        rc = libusb_claim_interface(h, 0) == 0 ? 0 : -5;
        for (int off = 0; rc == 0 && off < length;) {
            const int chunk = std::min(length - off, c_iFWChunkSize);
            int written = 0;
            if (libusb_bulk_transfer(h, 0x01, const_cast<unsigned char *>(image + off), chunk, &written, 0) < 0
                || written != chunk)
                rc = -7;
            off += written;
        }
        libusb_release_interface(h, 0);
        libusb_close(h);
    }
    libusb_exit(nullptr);
    return rc;
}
}  // namespace

int main(int argc, char *argv[])
{
    if (argc != 3 || (strcmp(argv[1], "updater") != 0 && strcmp(argv[1], "plain") != 0)) {
        fprintf(stderr, "usage: bench_fw_stream updater|plain FILE\n");
        return 2;
    }
    QApplication app(argc, argv);
    const bool updater = strcmp(argv[1], "updater") == 0;
    Widget w;  // not shown: only its file check is used
    const long base = StatusKiB("VmHWM:");
    unsigned char *image = nullptr;
    int length = 0;
    bool loaded;
    if (updater) {
        loaded = w.CheckFWFile(QString::fromLocal8Bit(argv[2]), image, length);
    } else {
        QFile f(QString::fromLocal8Bit(argv[2]));
        loaded = f.open(QIODevice::ReadOnly) && (length = int(f.size())) > 0
                 && (image = static_cast<unsigned char *>(malloc(size_t(length))))
                 && f.read(reinterpret_cast<char *>(image), length) == length;
    }
    // Timed: finding the printer, claiming it and streaming, as each path does it.
    QElapsedTimer clock;
    clock.start();
    const int rc = !loaded   ? -100
                   : updater ? FWUpdateTask(c_iVid, c_iPid, "Orvo/K40N?serial=FW0001", image, length)
                             : PlainLoop(image, length);
    const double seconds = clock.nsecsElapsed() / 1e9;
    free(image);
    if (rc != 0) {
        fprintf(stderr, "bench_fw_stream %s: result %d\n", argv[1], rc);
        return 1;
    }
    printf("%.3f %ld %ld\n", seconds, StatusKiB("VmHWM:"), base);
    return 0;
}
