#include "orvo-spawn.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {
struct ArgVector {
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    explicit ArgVector(const QStringList &args)
    {
        for (const QString &a : args)
            storage.push_back(a.toLocal8Bit());
        for (QByteArray &b : storage)
            argv.push_back(b.data());
        argv.push_back(nullptr);
    }
};

pid_t Spawn(const ArgVector &args, const QByteArray &out)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args.argv[0], &actions, &attr, args.argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}
}  // namespace

int RunCommand(const QStringList &argv, const QString &stdoutFile)
{
    if (argv.isEmpty())
        return -1;
    const ArgVector args(argv);
    const pid_t pid = Spawn(args, QFile::encodeName(stdoutFile));
    if (pid < 0)
        return -1;
    return WaitExit(pid);
}

bool StartDetached(const QString &path, const QStringList &args)
{
    // An intermediate child starts the program and exits at once, so the program is
    // re-parented to init and the caller never collects a zombie for it. Between fork and
    // exec only async-signal-safe calls are made: the caller may have other threads.
    const ArgVector argv(QStringList{path} + args);
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0)
        return false;
    const pid_t middle = fork();
    if (middle < 0) {
        close(status[0]);
        close(status[1]);
        return false;
    }
    if (middle == 0) {
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            dup2(null, fd);
        struct sigaction deflt = {};
        deflt.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig)
            sigaction(sig, &deflt, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const pid_t program = fork();
        if (program == 0) {
            close(status[0]);
            setsid();
            execv(argv.argv[0], argv.argv.data());
            const char failed = 1;
            (void)!write(status[1], &failed, 1);
            _exit(127);
        }
        close(status[1]);
        char failed = 0;
        // End of file: the program's exec closed the pipe, it runs.
        const bool started = program > 0 && read(status[0], &failed, 1) == 0;
        _exit(started ? 0 : 1);
    }
    close(status[1]);
    const bool started = WaitExit(middle) == 0;
    close(status[0]);
    return started;
}
