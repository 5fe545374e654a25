#include "orvo-process.h"

#include <QDir>
#include <QFile>

#include <signal.h>
#include <unistd.h>

namespace {
QByteArray ReadProcFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The state letter follows the command name in parentheses, which may itself hold ")".
bool IsZombie(const QString &pidDir)
{
    const QByteArray stat = ReadProcFile(pidDir + "/stat");
    const int close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && stat.at(close + 2) == 'Z';
}
} // namespace

QList<pid_t> FindProcessesByName(const QString &name)
{
    const QByteArray wanted = name.left(15).toLocal8Bit();
    const pid_t self = getpid();
    QList<pid_t> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok || pid <= 0 || pid == self)
            continue;
        const QString dir = "/proc/" + entry;
        QByteArray comm = ReadProcFile(dir + "/comm");
        if (comm.endsWith('\n'))
            comm.chop(1);
        if (comm != wanted || IsZombie(dir))
            continue;
        found.append(pid);
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
