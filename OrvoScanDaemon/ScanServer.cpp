#include "ScanServer.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ScanCommands.h"
#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanState.h"

namespace {

constexpr int c_iBacklog = 20;
constexpr int c_iSendCalls = 10;

// Reaps this connection's finished data process, so that its id is never signalled
// after the system could have given it to another process.
void OnChildExit(int)
{
    const int saved = errno;
    for (pid_t pid; (pid = waitpid(-1, nullptr, WNOHANG)) > 0;)
        if (pid == dataProcPid)
            dataProcPid = 0;
    errno = saved;
}

bool InstallReaper()
{
    struct sigaction sa = {};
    sa.sa_handler = OnChildExit;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGCHLD, &sa, nullptr) == 0;
}

// Receives exactly the wanted bytes; fewer only when the peer is gone or an error ends it.
ssize_t RecvAll(int sock, void *buf, size_t len)
{
    size_t got = 0;
    while (got < len) {
        const ssize_t n = recv(sock, static_cast<char *>(buf) + got, len - got, MSG_WAITALL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

// One receive call for the request record, as clients send each record whole.
ssize_t RecvRecord(int sock, void *buf, size_t len)
{
    ssize_t n;
    do
        n = recv(sock, buf, len, 0);
    while (n < 0 && errno == EINTR);
    return n;
}

void RunConnectionProcess(int sock)
{
    if (!InstallReaper())
        OrvoLogErr("[OrvoScanSDK] sigaction error.\n");
    OrvoReopenDbg();
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

void ServeConnection(int sock)
{
    while (flag) {
        int32_t code = 0;
        if (RecvAll(sock, &code, sizeof code) != ssize_t(sizeof code)) {
            OrvoLogInfo("[OrvoScanSDK] pid:%d DISCONNECT FROM SERVER\n", int(getpid()));
            break;
        }
        OrvoLogInfo("[OrvoScanSDK] pid:%d recv scanCommandType %d\n", int(getpid()), int(code));
        const stScanCommand *cmd = FindScanCommand(code);
        if (!cmd) {
            OrvoLogErr("[OrvoScanSDK] undefined scanCommandType %d\n", int(code));
            continue;
        }
        unsigned char req[c_iMaxRequestSize];
        memset(req, 0, sizeof req);
        const ssize_t got = RecvRecord(sock, req, size_t(cmd->iReqSize));
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
}

void mainProc()
{
    OrvoInitDbg();
    const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
    while (flag) {
        const int conn = accept(sock, nullptr, nullptr);
        if (conn < 0) {
            OrvoLogErr("[OrvoScanSDK] accept err\n");
            continue;
        }
        fcntl(conn, F_SETFL, fcntl(conn, F_GETFL) & ~O_NONBLOCK);
        const pid_t pid = fork();
        if (pid < 0) {
            OrvoLogErr("[OrvoScanSDK] fork pro err\n");
            close(conn);
            continue;
        }
        if (pid == 0) {
            close(sock);
            RunConnectionProcess(conn);
        }
        OrvoLogInfo("[OrvoScanSDK] new conn pid:%d\n", int(pid));
        close(conn);
    }
    OrvoLogInfo("[OrvoScanSDK] parent pro exit\n");
    close(sock);
}
