#include "scan-fuzz-fakes.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "ScanLog.h"

namespace {

const uint8_t *g_pData = nullptr;
size_t g_uSize = 0, g_uPos = 0;

int FakeRead(unsigned char *out, size_t max)
{
    if (g_uSize - g_uPos < 2) {
        g_uPos = g_uSize;
        errno = ENODEV;
        return -1;
    }
    const size_t want = size_t(g_pData[g_uPos] | g_pData[g_uPos + 1] << 8);
    g_uPos += 2;
    if (want == 0xFFFF) {
        errno = ETIMEDOUT;
        return -1;
    }
    const size_t n = want < max ? want : max;
    const size_t avail = g_uSize - g_uPos < n ? g_uSize - g_uPos : n;
    if (out && n) {
        memset(out, 0, n);
        memcpy(out, g_pData + g_uPos, avail);
    }
    g_uPos += avail;
    return int(n);
}

}  // namespace

void FakeDeviceSet(const uint8_t *data, size_t size)
{
    g_pData = data;
    g_uSize = size;
    g_uPos = 0;
}

size_t FakeDeviceLeft()
{
    return g_uSize - g_uPos;
}

int FakeNextByte()
{
    return g_uPos < g_uSize ? g_pData[g_uPos++] : -1;
}

void FakeLogsOpen()
{
    if (!outFile)
        outFile = fopen("/dev/null", "w");
    if (!errFile)
        errFile = fopen("/dev/null", "w");
}

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (fd != c_iFakeDevFd)
        return int(syscall(SYS_ioctl, fd, request, arg));
    if (request == USBDEVFS_BULK) {
        auto *bt = static_cast<usbdevfs_bulktransfer *>(arg);
        if (!(bt->ep & 0x80))
            return int(bt->len);
        return FakeRead(static_cast<unsigned char *>(bt->data), bt->len);
    }
    if (request == USBDEVFS_CONTROL) {
        auto *ct = static_cast<usbdevfs_ctrltransfer *>(arg);
        if (!(ct->bRequestType & 0x80))
            return ct->wLength;
        return FakeRead(static_cast<unsigned char *>(ct->data), ct->wLength);
    }
    return 0;  // reset, reset endpoint, clear halt
}

// No real device tree: a fuzz input must never reach a device of the machine.
extern "C" DIR *opendir(const char *name)
{
    if (strncmp(name, "/dev/bus/usb", 12) == 0 || strncmp(name, "/proc/bus/usb", 13) == 0) {
        errno = ENOENT;
        return nullptr;
    }
    using Fn = DIR *(*)(const char *);
    static Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "opendir"));
    return next(name);
}

extern "C" pid_t fork(void)
{
    errno = EAGAIN;
    return -1;
}

// Network commands reach no scanner: a client record could name any address.
extern "C" int connect(int fd, const struct sockaddr *addr, socklen_t len)
{
    if (addr && addr->sa_family == AF_INET) {
        errno = ECONNREFUSED;
        return -1;
    }
    using Fn = int (*)(int, const struct sockaddr *, socklen_t);
    static Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "connect"));
    return next(fd, addr, len);
}
