// The daemon's processes as the tests see them through /proc.
#pragma once

#include <sys/types.h>
#include <vector>

struct stScanProc {
    pid_t pid;
    pid_t ppid;
    char state;  // 'Z' for a zombie
};

// Every process running the installed daemon, zombies included.
std::vector<stScanProc> ScanDaemonProcs();
// The listening process: the daemon process whose parent is no daemon process; 0 if none.
pid_t ScanListenerPid();
int ScanZombieCount();
bool ScanProcAlive(pid_t pid);
