// The watchdog's cycle decision, its heartbeat rule and the kill-by-name helper.
#include "WatchdogCycle.h"

#include "orvo-process.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

namespace {
struct Calls {
    int running = 0;
    int heartbeat = 0;
};

stCycleDecision Cycle(int index, bool running, bool fresh, Calls &calls)
{
    return DecideCycle(
        index, [&] { ++calls.running; return running; }, [&] { ++calls.heartbeat; return fresh; });
}
}  // namespace

class TstWatchdog : public QObject {
    Q_OBJECT
private slots:
    void healthyCycleCounts()
    {
        Calls calls;
        const stCycleDecision d = Cycle(0, true, true, calls);
        QVERIFY(!d.bRestart);
        QCOMPARE(d.iIndex, 1);
        QCOMPARE(calls.running, 1);
        QCOMPARE(calls.heartbeat, 1);
    }

    void forcedRestartIn3600thCycle()
    {
        Calls calls;
        int index = 0;
        for (int cycle = 1; cycle < 3600; ++cycle) {
            const stCycleDecision d = Cycle(index, true, true, calls);
            QVERIFY2(!d.bRestart, qPrintable(QString("cycle %1").arg(cycle)));
            index = d.iIndex;
        }
        QCOMPARE(index, 3599);
        QCOMPARE(calls.running, 3599);

        const stCycleDecision forced = Cycle(index, true, true, calls);
        QVERIFY(forced.bRestart);
        QCOMPARE(forced.iLoggedIndex, 3600);
        QCOMPARE(forced.iIndex, 0);
        // No check at all in the forced cycle.
        QCOMPARE(calls.running, 3599);
        QCOMPARE(calls.heartbeat, 3599);

        // Another 3600 cycles until the next one.
        index = forced.iIndex;
        int restarts = 0;
        int cycles = 0;
        while (restarts == 0) {
            const stCycleDecision d = Cycle(index, true, true, calls);
            ++cycles;
            restarts += d.bRestart ? 1 : 0;
            index = d.iIndex;
        }
        QCOMPARE(cycles, 3600);
    }

    void missingProcessSkipsHeartbeat()
    {
        Calls calls;
        const stCycleDecision d = Cycle(41, false, true, calls);
        QVERIFY(d.bRestart);
        QCOMPARE(d.iLoggedIndex, 42);
        QCOMPARE(d.iIndex, 0);
        QCOMPARE(calls.running, 1);
        QCOMPARE(calls.heartbeat, 0);
    }

    void staleHeartbeatRestarts()
    {
        Calls calls;
        const stCycleDecision d = Cycle(6, true, false, calls);
        QVERIFY(d.bRestart);
        QCOMPARE(d.iLoggedIndex, 7);
        QCOMPARE(d.iIndex, 0);
        QCOMPARE(calls.heartbeat, 1);

        // After a restart the count starts again from 0.
        const stCycleDecision next = Cycle(d.iIndex, true, true, calls);
        QVERIFY(!next.bRestart);
        QCOMPARE(next.iIndex, 1);
    }

    void heartbeatAge_data()
    {
        QTest::addColumn<qint64>("ageMs");
        QTest::addColumn<bool>("fresh");
        QTest::newRow("just written") << qint64(0) << true;
        QTest::newRow("9 s") << qint64(9000) << true;
        QTest::newRow("9.999 s counts as 9") << qint64(9999) << true;
        QTest::newRow("10 s") << qint64(10000) << false;
        QTest::newRow("an hour") << qint64(3600000) << false;
        QTest::newRow("0.5 s in the future") << qint64(-500) << true;
        QTest::newRow("a day in the future") << qint64(-86400000) << true;
    }

    void heartbeatAge()
    {
        QFETCH(qint64, ageMs);
        QFETCH(bool, fresh);
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(HeartbeatFresh(now.addMSecs(-ageMs), now), fresh);
    }

    // Every process of the name goes, a stopped one as well; other names stay.
    void killByName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString sleep = QStandardPaths::findExecutable("sleep");
        QVERIFY(!sleep.isEmpty());
        // 16 characters: the command name holds the first 15.
        const QString target = dir.filePath("orvoTestSleeper1");
        const QString other = dir.filePath("orvoTestSleepe");
        QVERIFY(QFile::copy(sleep, target));
        QVERIFY(QFile::copy(sleep, other));

        QProcess a, b, c;
        a.start(target, {"30"});
        b.start(target, {"30"});
        c.start(other, {"30"});
        QVERIFY(a.waitForStarted() && b.waitForStarted() && c.waitForStarted());

        QList<pid_t> found = FindProcessesByName("orvoTestSleeper1");
        std::sort(found.begin(), found.end());
        QList<pid_t> expected{pid_t(a.processId()), pid_t(b.processId())};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(found, expected);
        QCOMPARE(FindProcessesByName("orvoTestSleepe"), QList<pid_t>{pid_t(c.processId())});
        QVERIFY(FindProcessesByName("orvoTestSleep").isEmpty());

        QCOMPARE(kill(pid_t(b.processId()), SIGSTOP), 0);
        QCOMPARE(KillProcessesByName("orvoTestSleeper1"), 2);
        QVERIFY(a.waitForFinished(3000));
        QVERIFY(b.waitForFinished(3000));
        QCOMPARE(a.exitStatus(), QProcess::CrashExit);
        QCOMPARE(b.exitStatus(), QProcess::CrashExit);
        QCOMPARE(c.state(), QProcess::Running);
        QVERIFY(FindProcessesByName("orvoTestSleeper1").isEmpty());
        QCOMPARE(KillProcessesByName("orvoTestSleeper1"), 0);

        c.kill();
        c.waitForFinished(3000);
    }
};

QTEST_GUILESS_MAIN(TstWatchdog)
#include "tst_watchdog.moc"
