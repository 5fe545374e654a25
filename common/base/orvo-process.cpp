#include "orvo-process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

namespace {
// Plain system calls: the watchdog walks the table every second.
QByteArray ReadProcFile(const char *path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QByteArray data;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        data.append(buf, int(n));
    close(fd);
    return data;
}

// The state letter follows the command name in parentheses, which may itself hold ")".
bool IsZombie(pid_t pid)
{
    const QByteArray stat = ReadProcFile(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && stat.at(close + 2) == 'Z';
}
}  // namespace

QList<stProcessEntry> ListProcesses()
{
    QList<stProcessEntry> found;
    DIR *proc = opendir("/proc");
    if (!proc)
        return found;
    while (const dirent *entry = readdir(proc)) {
        char *end = nullptr;
        const long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        char path[64];
        snprintf(path, sizeof path, "/proc/%ld/comm", pid);
        QByteArray comm = ReadProcFile(path);
        if (comm.isEmpty())
            continue;  // ended meanwhile
        if (comm.endsWith('\n'))
            comm.chop(1);
        found.append({pid_t(pid), comm});
    }
    closedir(proc);
    return found;
}

QList<pid_t> FindProcessesByName(const QString &name)
{
    const QByteArray wanted = name.left(15).toLocal8Bit();
    const pid_t self = getpid();
    QList<pid_t> found;
    for (const stProcessEntry &p : ListProcesses()) {
        if (p.iPid != self && p.strComm == wanted && !IsZombie(p.iPid))
            found.append(p.iPid);
    }
    return found;
}

int KillProcessesByName(const QString &name)
{
    int count = 0;
    for (const pid_t pid : FindProcessesByName(name)) {
        if (kill(pid, SIGTERM) == 0) {
            kill(pid, SIGCONT);
            ++count;
        }
    }
    return count;
}
