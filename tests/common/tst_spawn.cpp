// Commands without a shell: arguments arrive verbatim, output is captured, detached
// programs are nobody's child and report a failed start.
#include "orvo-spawn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

class TestSpawn : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    static QByteArray Read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Field of /proc/PID/stat after the command name: 0 state, 1 ppid, 2 pgrp, 3 session.
    static QList<QByteArray> Stat(qint64 pid)
    {
        const QByteArray stat = Read(QString("/proc/%1/stat").arg(pid));
        return stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    }

private slots:
    void argumentsAreVerbatim()
    {
        const QString out = tmp.path() + "/out";
        const QString hostile = "$(touch pwned);`touch pwned2` \"q\" ${IFS}*";
        QCOMPARE(RunCommand({"printf", "%s|", hostile, "-a"}, out), 0);
        QCOMPARE(QString::fromUtf8(Read(out)), hostile + "|-a|");
        QVERIFY(!QFile::exists("pwned") && !QFile::exists("pwned2"));
    }

    void exitStatusAndMissingProgram()
    {
        QCOMPARE(RunCommand({"sh", "-c", "exit 3"}), 3);
        QCOMPARE(RunCommand({"/nonexistent/program"}), -1);
        QCOMPARE(RunCommand({}), -1);
        // Output is truncated, not appended.
        const QString out = tmp.path() + "/twice";
        RunCommand({"echo", "first line"}, out);
        RunCommand({"echo", "x"}, out);
        QCOMPARE(Read(out), QByteArray("x\n"));
    }

    void detachedProgramIsNobodysChild()
    {
        const QString pidFile = tmp.path() + "/pid";
        const QString script = tmp.path() + "/record.sh";
        QFile s(script);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("#!/bin/sh\necho $$ > \"$1\"\nexec sleep 30\n");
        s.close();
        QVERIFY(s.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        QVERIFY(StartDetached(script, {pidFile}));
        QTRY_VERIFY_WITH_TIMEOUT(!Read(pidFile).trimmed().isEmpty(), 5000);
        const qint64 pid = Read(pidFile).trimmed().toLongLong();
        // The shell's own output goes to the pid file while it writes it: what the program
        // was given shows once it has become "sleep".
        QTRY_COMPARE_WITH_TIMEOUT(Read(QString("/proc/%1/comm").arg(pid)).trimmed(), QByteArray("sleep"), 5000);
        const QList<QByteArray> stat = Stat(pid);
        QVERIFY(stat.size() > 3);
        QVERIFY2(stat[1].toLongLong() != getpid(), "the detached program is our child");
        QCOMPARE(stat[3].toLongLong(), pid);  // leader of a session of its own
        QCOMPARE(QFile::symLinkTarget(QString("/proc/%1/fd/1").arg(pid)), QString("/dev/null"));
        // No child of ours is left to reap.
        QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
        kill(pid_t(pid), SIGKILL);

        QVERIFY(!StartDetached("/nonexistent/program"));
        QVERIFY(!StartDetached(tmp.path()));
    }
};

QTEST_GUILESS_MAIN(TestSpawn)
#include "tst_spawn.moc"
