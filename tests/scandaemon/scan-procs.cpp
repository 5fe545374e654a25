#include "scan-procs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char *c_szDaemon = ORVO_INSTALL_ROOT "/bin/orvoK500ScanDaemon";

bool ReadStat(pid_t pid, stScanProc &p)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    char buf[1024] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = '\0';
    const char *close = strrchr(buf, ')');
    if (!close)
        return false;
    int ppid = 0;
    char state = 0;
    if (sscanf(close + 1, " %c %d", &state, &ppid) != 2)
        return false;
    p = {pid, pid_t(ppid), state};
    return true;
}

// A zombie has no executable left to look at; its name is what is left.
bool IsDaemon(pid_t pid)
{
    char path[64], exe[4096];
    snprintf(path, sizeof path, "/proc/%d/exe", int(pid));
    const ssize_t n = readlink(path, exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        return strcmp(exe, c_szDaemon) == 0;
    }
    snprintf(path, sizeof path, "/proc/%d/comm", int(pid));
    FILE *f = fopen(path, "r");
    if (!f)
        return false;
    char comm[64] = {};
    const bool ok = fgets(comm, sizeof comm, f) != nullptr;
    fclose(f);
    return ok && strncmp(comm, "orvoK500ScanDae", 15) == 0;
}

}  // namespace

std::vector<stScanProc> ScanDaemonProcs()
{
    std::vector<stScanProc> list;
    DIR *d = opendir("/proc");
    if (!d)
        return list;
    for (dirent *e; (e = readdir(d));) {
        const pid_t pid = pid_t(atoi(e->d_name));
        stScanProc p;
        if (pid > 0 && IsDaemon(pid) && ReadStat(pid, p))
            list.push_back(p);
    }
    closedir(d);
    return list;
}

pid_t ScanListenerPid()
{
    const std::vector<stScanProc> list = ScanDaemonProcs();
    for (const stScanProc &p : list) {
        bool parentIsDaemon = false;
        for (const stScanProc &q : list)
            parentIsDaemon = parentIsDaemon || q.pid == p.ppid;
        if (!parentIsDaemon && p.state != 'Z')
            return p.pid;
    }
    return 0;
}

int ScanZombieCount()
{
    int n = 0;
    for (const stScanProc &p : ScanDaemonProcs())
        n += p.state == 'Z';
    return n;
}

bool ScanProcAlive(pid_t pid)
{
    stScanProc p;
    return ReadStat(pid, p) && p.state != 'Z';
}
