#include "orvo-sane-client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

const int c_maxUsbDevices = 64;  // the daemon's search array
const int c_cancelSliceMs = 100;

int PollOne(int fd, short events, int64_t deadline, const volatile sig_atomic_t *pCancel)
{
    for (;;) {
        if (pCancel && *pCancel)
            return IO_CANCELLED;
        const int64_t left = deadline - OrvoNowMs();
        if (left <= 0)
            return IO_TIMEOUT;
        pollfd p{fd, events, 0};
        const int slice = pCancel ? int(left < c_cancelSliceMs ? left : c_cancelSliceMs) : int(left < 60000 ? left : 60000);
        const int r = poll(&p, 1, slice);
        if (r > 0)
            return (p.revents & (events | POLLHUP | POLLERR)) ? IO_OK : IO_ERROR;
        if (r < 0 && errno != EINTR)
            return IO_ERROR;
    }
}

// The exchange failed half way: the connection is out of step and is not used again.
int Broken(stOrvoConn &conn, int io)
{
    OrvoDisconnect(conn);
    return io;
}

}  // namespace

int64_t OrvoNowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const char *OrvoIoText(int io)
{
    switch (io) {
    case IO_OK:
        return "ok";
    case IO_TIMEOUT:
        return "no answer in time";
    case IO_CLOSED:
        return "connection closed by the scan daemon";
    case IO_CANCELLED:
        return "cancelled";
    default:
        return "connection error";
    }
}

bool OrvoConnect(stOrvoConn &conn, int timeoutMs, std::string &strError)
{
    OrvoDisconnect(conn);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        strError = strerror(errno);
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(ORVO_SCAN_PORT);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int r = connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    if (r < 0 && errno == EINPROGRESS) {
        if (PollOne(fd, POLLOUT, OrvoNowMs() + timeoutMs, nullptr) != IO_OK) {
            strError = "no answer in time";
            close(fd);
            return false;
        }
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
            errno = err;
            r = -1;
        } else {
            r = 0;
        }
    }
    if (r < 0) {
        strError = strerror(errno);
        close(fd);
        return false;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    conn.fd = fd;
    return true;
}

void OrvoDisconnect(stOrvoConn &conn)
{
    if (conn.fd >= 0)
        close(conn.fd);
    conn.fd = -1;
}

int OrvoSendRequest(stOrvoConn &conn, int32_t code, const void *rec, size_t len, int64_t deadline)
{
    if (conn.fd < 0)
        return IO_CLOSED;
    // One buffer, one send: the daemon reads the code and then the record with one
    // receive call, and treats a short record as an error.
    uint8_t buf[4 + 4096];
    if (len > sizeof buf - 4)
        return IO_ERROR;
    memcpy(buf, &code, 4);
    memcpy(buf + 4, rec, len);
    size_t sent = 0;
    while (sent < len + 4) {
        const int w = PollOne(conn.fd, POLLOUT, deadline, nullptr);
        if (w != IO_OK)
            return Broken(conn, w);
        const ssize_t n = send(conn.fd, buf + sent, len + 4 - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return Broken(conn, errno == EPIPE || errno == ECONNRESET ? IO_CLOSED : IO_ERROR);
        }
        sent += size_t(n);
    }
    return IO_OK;
}

int OrvoRecvAll(stOrvoConn &conn, void *buf, size_t len, int64_t deadline, const volatile sig_atomic_t *pCancel)
{
    if (conn.fd < 0)
        return IO_CLOSED;
    uint8_t *p = static_cast<uint8_t *>(buf);
    size_t got = 0;
    while (got < len) {
        const int w = PollOne(conn.fd, POLLIN, deadline, got == 0 ? pCancel : nullptr);
        if (w == IO_CANCELLED)  // nothing of the reply has been taken: still in step
            return w;
        if (w != IO_OK)
            return Broken(conn, w);
        const ssize_t n = recv(conn.fd, p + got, len - got, MSG_DONTWAIT);
        if (n == 0)
            return Broken(conn, IO_CLOSED);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return Broken(conn, errno == ECONNRESET ? IO_CLOSED : IO_ERROR);
        }
        got += size_t(n);
    }
    conn.iLastReplyMs = OrvoNowMs();
    return IO_OK;
}

int OrvoCall(stOrvoConn &conn, int32_t code, const void *req, size_t reqLen, void *reply, size_t replyLen,
             int64_t deadline)
{
    const int io = OrvoSendRequest(conn, code, req, reqLen, deadline);
    if (io != IO_OK)
        return io;
    return OrvoRecvAll(conn, reply, replyLen, deadline);
}

int OrvoWaitReadable(stOrvoConn &conn, int64_t deadline, const volatile sig_atomic_t *pCancel)
{
    if (conn.fd < 0)
        return IO_CLOSED;
    return PollOne(conn.fd, POLLIN, deadline, pCancel);
}

int OrvoFindUsb(stOrvoConn &conn, uint16_t vid, std::vector<USBFindDevRes> &list, int64_t deadline)
{
    list.clear();
    USBFindDevReq req{};
    req.vid = vid;
    req.compareWithPID = 0;
    int32_t count = 0;
    int io = OrvoCall(conn, USB_FIND_DEV, &req, sizeof req, &count, sizeof count, deadline);
    if (io != IO_OK)
        return io;
    if (count < 0)
        return IO_OK;  // -1: the daemon could not search; no devices
    if (count > c_maxUsbDevices)
        return Broken(conn, IO_ERROR);  // records this count would take are not read
    list.resize(size_t(count));
    if (count > 0)
        io = OrvoRecvAll(conn, list.data(), sizeof(USBFindDevRes) * size_t(count), deadline);
    for (USBFindDevRes &d : list) {  // the strings come from the device: keep them terminated
        d.Manufacturer[sizeof d.Manufacturer - 1] = '\0';
        d.Product[sizeof d.Product - 1] = '\0';
        d.SerialNumber[sizeof d.SerialNumber - 1] = '\0';
    }
    return io;
}

stOrvoRecord OrvoDecodeRecord(const uint8_t raw[16], bool bNet)
{
    stOrvoRecord r;
    if (bNet) {
        TCPRecordRes t;
        memcpy(&t, raw, sizeof t);
        r.result = t.result;
        r.dataSize = t.bufferLen;
        r.fileIndex = t.fileIndex;
        r.st = t.st;
    } else {
        USBScanRecordRes u;
        memcpy(&u, raw, sizeof u);
        r.st = u.st;
        r.fileIndex = u.fileIndex;
        r.dataSize = u.dataSize;
        r.result = u.result;
    }
    return r;
}

bool OrvoLooksLikeStartReply(const uint8_t first16[16], bool bNet)
{
    // The start reply's file name begins with the install root; its first four bytes ("/opt"
    // for the usual root) tell it from a record reply.
    constexpr size_t c_mark = sizeof ORVO_INSTALL_ROOT - 1 < 4 ? sizeof ORVO_INSTALL_ROOT - 1 : 4;
    const size_t nameAt = bNet ? offsetof(TCPScanStartRes, fileName) : offsetof(USBScanStartRes, fileName);
    if (memcmp(first16 + nameAt, ORVO_INSTALL_ROOT, c_mark) == 0)
        return true;
    // A start refused before a page was named (the device busy with another client's scan)
    // carries no name, and no data process sends records before it. A USB record of a new
    // scan's first page looks the same when its status is the begin of the scan or page:
    // those results are taken for records.
    int32_t result;
    memcpy(&result, first16, sizeof result);
    if (result == 0 || (!bNet && (result == SCAN_STATUS_BEGIN_OF_SCAN || result == SCAN_STATUS_BEGIN_OF_PAGE)))
        return false;
    for (size_t i = nameAt; i < 16; ++i)
        if (first16[i] != 0)
            return false;
    return true;
}
