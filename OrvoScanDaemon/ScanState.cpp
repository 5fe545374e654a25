#include "ScanState.h"

#include <cerrno>
#include <unistd.h>

volatile sig_atomic_t flag = 1;
volatile sig_atomic_t quitSignal = 0;
volatile pid_t dataProcPid = 0;
int filename_index = 0;

void handler(int sig)
{
    if (!flag)
        return;
    const int saved = errno;
    flag = 0;
    quitSignal = sig;
    kill(0, sig);
    errno = saved;
}

void ScanBlockWakeups(sigset_t *saved)
{
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGQUIT);
    sigaddset(&block, SIGCHLD);
    sigprocmask(SIG_BLOCK, &block, saved);
}

void ScanRestoreWakeups(const sigset_t *saved)
{
    sigprocmask(SIG_SETMASK, saved, nullptr);
}
