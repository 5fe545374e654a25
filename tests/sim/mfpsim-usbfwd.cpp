#include "mfpsim-usbfwd.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <linux/usbdevice_fs.h>

#include "mfpsim-scan.h"
#include "mfpsim-usb.h"
#include "mfpsim-usbfwd-wire.h"

namespace {

int g_iListenFd = -1;
std::string g_strPath;
std::thread g_acceptThread;
std::atomic<bool> g_bStop{false};
std::atomic<int> g_iWorkers{0};

bool ReadAll(int fd, void *buf, size_t len)
{
    size_t got = 0;
    while (got < len && !g_bStop) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(fd, static_cast<char *>(buf) + got, len - got);
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return got == len;
}

bool WriteAll(int fd, const void *buf, size_t len)
{
    size_t done = 0;
    while (done < len) {
        const ssize_t n = send(fd, static_cast<const char *>(buf) + done, len - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The caller of a waiting read may have died (killed while it waited): its data must stay
// for the next reader.
bool CallerGone(int fd)
{
    pollfd p = {fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

int BulkIn(int fd, const std::string &node, int ep, uint8_t *data, int len, unsigned timeoutMs, int &err)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(g_simLock);
    stSimDevice *dev = UsbPresentDevice(node);
    if (dev && ep == c_iScanEpIn && ScanTakeStall(*dev)) {
        err = EPIPE;
        return -1;
    }
    if (dev)
        ScanReaderWaits(*dev, 1);
    stSimDevice *counted = dev;
    int result = -1;
    for (;;) {
        dev = UsbPresentDevice(node);
        int n = 0;
        if (!dev || g_bStop) {
            err = ENODEV;
            break;
        }
        if (CallerGone(fd)) {
            err = EPIPE;
            break;
        }
        if (UsbTakeBulkIn(*dev, ep, data, len, n)) {
            result = n;
            break;
        }
        if (timeoutMs && Clock::now() >= deadline) {
            err = ETIMEDOUT;
            break;
        }
        g_usbDataCv.wait_for(lock, std::chrono::milliseconds(20));
    }
    if (counted && UsbPresentDevice(node) == counted)
        ScanReaderWaits(*counted, -1);
    return result;
}

void Serve(int fd)
{
    stUsbFwdRequest req;
    std::vector<uint8_t> data;
    stUsbFwdReply rep = {-1, EINVAL, 0};
    if (!ReadAll(fd, &req, sizeof req) || req.uLen > USBFWD_MAX_LEN) {
        close(fd);
        return;
    }
    req.szDevNode[sizeof req.szDevNode - 1] = '\0';
    const std::string node = req.szDevNode;
    data.resize(req.uLen);
    const bool in = req.uOp == USBFWD_BULK ? (req.uEp & 0x80) != 0 : (req.setup[0] & 0x80) != 0;
    const bool out = (req.uOp == USBFWD_BULK || req.uOp == USBFWD_CONTROL) && !in;
    if (out && req.uLen && !ReadAll(fd, data.data(), req.uLen)) {
        close(fd);
        return;
    }
    int err = 0;
    if (req.uOp == USBFWD_BULK && in) {
        rep.iResult = BulkIn(fd, node, int(req.uEp & 0xFF), data.data(), int(req.uLen), req.uTimeout, err);
    } else {
        std::lock_guard<std::mutex> lock(g_simLock);
        stSimDevice *dev = UsbPresentDevice(node);
        if (!dev) {
            err = ENODEV;
        } else if (req.uOp == USBFWD_BULK) {
            UsbRecordBulkOut(*dev, int(req.uEp & 0xFF), data.data(), int(req.uLen));
            rep.iResult = int(req.uLen);
        } else if (req.uOp == USBFWD_CONTROL) {
            const int n = UsbHandleControl(*dev, req.setup, data.data(), int(req.uLen));
            rep.iResult = n < 0 ? -1 : n;
            err = n < 0 ? -n : 0;
        } else if (req.uOp == USBFWD_RESET) {
            ScanOnReset(*dev);
            rep.iResult = 0;
        } else if (req.uOp == USBFWD_RESETEP || req.uOp == USBFWD_CLEAR_HALT) {
            rep.iResult = 0;
        } else {
            err = EINVAL;
        }
    }
    g_usbDataCv.notify_all();
    rep.iErrno = rep.iResult < 0 ? err : 0;
    rep.uLen = in && rep.iResult > 0 ? uint32_t(rep.iResult) : 0;
    if (WriteAll(fd, &rep, sizeof rep) && rep.uLen)
        WriteAll(fd, data.data(), rep.uLen);
    close(fd);
}

void AcceptLoop()
{
    while (!g_bStop) {
        pollfd p = {g_iListenFd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const int fd = accept4(g_iListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++g_iWorkers;
        std::thread([fd] {
            Serve(fd);
            --g_iWorkers;
        }).detach();
    }
}

}  // namespace

bool UsbFwdStart(const std::string &path, std::string &err)
{
    sockaddr_un sa = {};
    sa.sun_family = AF_UNIX;
    if (path.size() >= sizeof sa.sun_path) {
        err = "forwarding socket path too long";
        return false;
    }
    memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    g_iListenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (g_iListenFd < 0 || bind(g_iListenFd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0
        || listen(g_iListenFd, 64) != 0) {
        err = "cannot listen on " + path + ": " + strerror(errno);
        return false;
    }
    g_strPath = path;
    g_acceptThread = std::thread(AcceptLoop);
    return true;
}

void UsbFwdStop()
{
    if (g_iListenFd < 0)
        return;
    g_bStop = true;
    g_usbDataCv.notify_all();
    if (g_acceptThread.joinable())
        g_acceptThread.join();
    while (g_iWorkers > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    close(g_iListenFd);
    unlink(g_strPath.c_str());
    g_iListenFd = -1;
}
