// Process-wide state of the daemon's processes.
#pragma once

#include <csignal>
#include <sys/types.h>

extern volatile sig_atomic_t flag;  // run flag, cleared by the quit signal
extern volatile sig_atomic_t quitSignal;  // the quit signal's number once it came, else 0
extern volatile pid_t dataProcPid;  // this connection's running data process, 0 when none
extern int filename_index;  // scans started by this connection process

// The quit signal: clears the run flag and, the first time, passes the signal on to every
// process of the daemon (its process group), so that a signal to any one of them ends
// them all. Only async-signal-safe calls; the log line is written by whoever sees the flag.
void handler(int sig);

// Blocks the quit signal and SIGCHLD around a wait, so that the run flag is tested and
// the wait begun with nothing in between; the wait itself (ppoll) takes them.
void ScanBlockWakeups(sigset_t *saved);
void ScanRestoreWakeups(const sigset_t *saved);
