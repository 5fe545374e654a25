// Processes found by command name, without running "ps" or "killall" through a shell.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

struct stProcessEntry {
    pid_t iPid = 0;
    QByteArray strComm;  // /proc/<pid>/comm without its line break: at most 15 characters
};

// Every process of the process table (the calling one and zombies included), as the
// process listing tool would show them.
QList<stProcessEntry> ListProcesses();

// The ids of the processes whose command name (/proc/<pid>/comm, at most 15 characters)
// equals name cut to 15 characters; the calling process and zombies are left out.
QList<pid_t> FindProcessesByName(const QString &name);

// What "killall NAME" does: SIGTERM to every process of that name. A stopped process is
// continued as well, so that it acts on the signal instead of holding it pending.
// Returns how many processes were signalled.
int KillProcessesByName(const QString &name);
