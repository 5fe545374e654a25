// orvoK500ScanDaemon: serves local scan clients on 127.0.0.1:7003 and drives the
// devices' scanners, writing scanned pages into the install root's scan directory.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScanLog.h"
#include "ScanServer.h"
#include "ScanState.h"

namespace {

void ForkOrExit()
{
    const pid_t pid = fork();
    if (pid < 0) {
        printf("fork error\n");
        exit(1);
    }
    if (pid > 0)
        exit(0);
}

}  // namespace

void create_daemon()
{
    signal(SIGTTOU, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
    ForkOrExit();
    if (setsid() < 0) {
        printf("setsid error\n");
        exit(1);
    }
    ForkOrExit();
    if (chdir("/") != 0)
        exit(1);
    close(0);
    close(1);
    close(2);
    // The standard descriptors lead nowhere: the next files opened (logs, sockets, device
    // nodes) must not become them, or a stray write to stderr would land in one of those.
    const int null = open("/dev/null", O_RDWR);
    if (null == 0) {
        dup2(0, 1);
        dup2(0, 2);
    }
    // Page files and logs are read by the desktop user, written only by the daemon.
    umask(022);
    signal(SIGCHLD, SIG_IGN);
}

int main()
{
    create_daemon();
    struct sigaction sa = {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    if (sigaction(SIGQUIT, &sa, nullptr) != 0) {
        OrvoReopenDbg();
        OrvoLogErr("[OrvoScanSDK] sigaction error.\n");
        return 0;
    }
    mainProc();
    return 0;
}
