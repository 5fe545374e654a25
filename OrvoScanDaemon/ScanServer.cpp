#include "ScanServer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <ctime>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ScanCommands.h"
#include "ScanData.h"
#include "ScanFiles.h"
#include "ScanHandles.h"
#include "ScanNetData.h"
#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanState.h"

namespace {

constexpr int c_iBacklog = 20;
constexpr int c_iSendCalls = 10;
constexpr int c_iMaxConnections = 64;
constexpr int c_iRecordGapMs = 200;

// Connection processes of the listening process, alive or not yet reaped.
int s_iConnections = 0;
volatile sig_atomic_t s_iReaped = 0;

// Reaps finished children: in a connection process its data process, so that its id is
// never signalled after the system could have given it to another process; in the
// listening process its connection processes, which it counts.
void OnChildExit(int)
{
    const int saved = errno;
    for (pid_t pid; (pid = waitpid(-1, nullptr, WNOHANG)) > 0;) {
        if (pid == dataProcPid)
            dataProcPid = 0;
        s_iReaped = s_iReaped + 1;
    }
    errno = saved;
}

void ReapConnections()
{
    sigset_t saved;
    ScanBlockWakeups(&saved);
    s_iConnections -= int(s_iReaped);
    s_iReaped = 0;
    ScanRestoreWakeups(&saved);
}

bool InstallReaper()
{
    struct sigaction sa = {};
    sa.sa_handler = OnChildExit;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGCHLD, &sa, nullptr) == 0;
}

long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return long(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits until the socket has bytes (or its end) to read: true then. False when the quit
// signal came, or when the deadline (-1: none) passed. The run flag is tested with the
// quit signal held back, and the wait lets it in, so that a signal is never lost between.
bool WaitReadable(int sock, long deadlineMs)
{
    sigset_t saved;
    ScanBlockWakeups(&saved);
    bool ready = false;
    while (flag) {
        timespec ts{};
        timespec *limit = nullptr;
        if (deadlineMs >= 0) {
            const long left = deadlineMs - NowMs();
            if (left <= 0)
                break;
            ts = {left / 1000, (left % 1000) * 1000000L};
            limit = &ts;
        }
        pollfd p{sock, POLLIN, 0};
        const int r = ppoll(&p, 1, limit, &saved);
        if (r > 0) {
            ready = true;
            break;
        }
        if (r < 0 && errno != EINTR)
            break;
    }
    ScanRestoreWakeups(&saved);
    return ready;
}

// Receives the 4-byte command code. Waiting for a request has no bound (clients keep
// their connection between scans); once its first byte came, the rest must follow within
// c_iRequestTimeoutMs.
bool RecvCode(int sock, int32_t &code)
{
    unsigned char *buf = reinterpret_cast<unsigned char *>(&code);
    size_t got = 0;
    long deadline = -1;
    while (got < sizeof code) {
        if (!WaitReadable(sock, deadline)) {
            if (flag && deadline >= 0)
                OrvoLogErr("[OrvoScanSDK] pid:%d request incomplete after %d ms, connection closed\n", int(getpid()),
                           c_iRequestTimeoutMs);
            return false;
        }
        const ssize_t n = recv(sock, buf + got, sizeof code - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        got += size_t(n);
        if (deadline < 0)
            deadline = NowMs() + c_iRequestTimeoutMs;
    }
    return true;
}

// The request record, as clients send each record whole: what one receive brings, and
// the rest of a record that the network split, when it follows within c_iRecordGapMs (a
// record that stays short is reported as short, and the stream goes on after it). -2 when
// nothing came within the request's time.
ssize_t RecvRecord(int sock, unsigned char *buf, size_t len)
{
    size_t got = 0;
    long deadline = NowMs() + c_iRequestTimeoutMs;
    while (got < len) {
        if (!WaitReadable(sock, deadline))
            return got > 0 ? ssize_t(got) : -2;
        const ssize_t n = recv(sock, buf + got, len - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return got > 0 ? ssize_t(got) : n;
        got += size_t(n);
        deadline = NowMs() + c_iRecordGapMs;
    }
    return ssize_t(got);
}

void RunConnectionProcess(int sock)
{
    ScanConnectionBegin();
    ServeConnection(sock);
    close(sock);
    _exit(0);
}

}  // namespace

ssize_t serverTcpSendWithRetry(int sock, const void *data, size_t length, int flags)
{
    size_t sent = 0;
    for (int i = 0; i < c_iSendCalls && sent < length; ++i) {
        const ssize_t n = send(sock, static_cast<const char *>(data) + sent, length - sent, flags);
        if (n > 0)
            sent += size_t(n);
    }
    return sent == length ? ssize_t(sent) : -1;
}

bool ScanReply(int sock, const void *data, size_t length, const char *sendErr)
{
    // A client that has gone must not take the process down with SIGPIPE.
    if (serverTcpSendWithRetry(sock, data, length, MSG_NOSIGNAL) >= 0)
        return true;
    OrvoLogErr("[OrvoScanSDK] %s\n", sendErr);
    return false;
}

void ScanConnectionBegin()
{
    if (!InstallReaper())
        OrvoLogErr("[OrvoScanSDK] sigaction error.\n");
    OrvoReopenDbg();
    ScanNewConnectionKey();
}

void ServeConnection(int sock)
{
    while (flag) {
        int32_t code = 0;
        if (!RecvCode(sock, code)) {
            OrvoLogInfo("[OrvoScanSDK] pid:%d DISCONNECT FROM SERVER\n", int(getpid()));
            break;
        }
        OrvoLogInfo("[OrvoScanSDK] pid:%d recv scanCommandType %d\n", int(getpid()), int(code));
        const stScanCommand *cmd = FindScanCommand(code);
        // Not this protocol (a browser's HTTP request, a stray client): nothing of it runs.
        if (!cmd) {
            OrvoLogErr("[OrvoScanSDK] undefined scanCommandType %d, connection closed\n", int(code));
            break;
        }
        unsigned char req[c_iMaxRequestSize];
        memset(req, 0, sizeof req);
        const ssize_t got = RecvRecord(sock, req, size_t(cmd->iReqSize));
        if (got == -2) {
            if (flag)
                OrvoLogErr("[OrvoScanSDK] pid:%d request incomplete after %d ms, connection closed\n", int(getpid()),
                           c_iRequestTimeoutMs);
            break;
        }
        if (got < cmd->iReqSize) {
            if (cmd->bRecvErrLen)
                OrvoLogErr("%s len:%d\n", cmd->szRecvErr, int(got < 0 ? 0 : got));
            else
                OrvoLogErr("%s\n", cmd->szRecvErr);
            if (!cmd->bReplyShort)
                continue;
        }
        cmd->pfnRun(sock, req, int(got < 0 ? 0 : got));
    }
    if (!flag)
        OrvoLogInfo("[OrvoScanSDK] pid:%d quit\n", int(getpid()));
    ScanEndDataProcess(!flag);
    // What the connection still holds goes with it.
    ScanHandlesCloseAll();
    ScanNetReleaseDataFd();
}

void mainProc()
{
    OrvoInitDbg();
    ScanPrivateDir();
    const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (sock >= 0)
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Clients are local, and the protocol lets a peer drive devices and delete files:
    // only the loopback address is served.
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(c_iScanPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    OrvoLogErr("[OrvoScanSDK] bind port:%d\n", c_iScanPort);
    if (sock < 0 || bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        OrvoLogErr("[OrvoScanSDK] bind err\n");
        exit(1);
    }
    if (listen(sock, c_iBacklog) != 0) {
        OrvoLogErr("[OrvoScanSDK] listen err\n");
        exit(1);
    }
    // The listening process reaps its connection processes itself, to count them.
    if (!InstallReaper())
        OrvoLogErr("[OrvoScanSDK] sigaction error.\n");
    bool refusing = false;
    while (flag) {
        ReapConnections();
        if (!WaitReadable(sock, -1))
            continue;
        const int conn = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0) {
            if (errno != EAGAIN && errno != EINTR)
                OrvoLogErr("[OrvoScanSDK] accept err\n");
            continue;
        }
        ReapConnections();
        if (s_iConnections >= c_iMaxConnections) {
            // Logged once per burst: a flood of connections does not flood the log.
            if (!refusing)
                OrvoLogErr("[OrvoScanSDK] %d connections at once, further ones closed\n", c_iMaxConnections);
            refusing = true;
            close(conn);
            continue;
        }
        refusing = false;
        fcntl(conn, F_SETFL, fcntl(conn, F_GETFL) & ~O_NONBLOCK);
        sigset_t saved;
        ScanBlockWakeups(&saved);
        const pid_t pid = fork();
        if (pid == 0) {
            ScanRestoreWakeups(&saved);
            close(sock);
            RunConnectionProcess(conn);
        }
        if (pid > 0)
            ++s_iConnections;
        ScanRestoreWakeups(&saved);
        close(conn);
        if (pid < 0)
            OrvoLogErr("[OrvoScanSDK] fork pro err\n");
        else
            OrvoLogInfo("[OrvoScanSDK] new conn pid:%d\n", int(pid));
    }
    if (quitSignal)
        OrvoLogInfo("[OrvoScanSDK] I got a signal %d\nI'm quitting.\n", int(quitSignal));
    OrvoLogInfo("[OrvoScanSDK] parent pro exit\n");
    close(sock);
}
