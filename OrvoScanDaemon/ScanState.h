// Process-wide state of the daemon's processes.
#pragma once

#include <csignal>
#include <sys/types.h>

extern volatile sig_atomic_t flag;         // run flag, cleared by the quit signal
extern volatile pid_t dataProcPid;         // this connection's running data process, 0 when none
extern int filename_index;                 // scans started by this connection process

void handler(int sig);
