// The logger against real files: format, cut, rotation, concurrency, cap on old files.
#include "orvo-log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TestLog : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString Dir(const QString &name) const { return tmp.path() + "/" + name; }
    static QStringList Lines(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void offWritesNothing()
    {
        SetLogTarget(Dir("off/log"), "log_srv");
        SetLogEnable(false);
        WriteStringLog("../OrvoPrintService/main", 20, "main", "nothing");
        QVERIFY(!QDir(Dir("off")).exists());
        QVERIFY(CurrentLogFile().isEmpty());
    }

    void lineFormatAndName()
    {
        SetLogTarget(Dir("fmt"), "log_srv");
        SetLogEnable(true);
        const QString file = CurrentLogFile();
        QVERIFY2(QRegularExpression("/fmt/log_srv_\\d{8}_\\d{6}_0\\.log$").match(file).hasMatch(), qPrintable(file));
        WriteStringLog("../OrvoPrintService/main", 20, "main", "Start service, enable log");
        WriteStringLog("../OrvoPrintService/TrdDeviceManage", 42, "SlotTaskStart", "printer num:%d 100%%", 3);
        const QStringList lines = Lines(file);
        QCOMPARE(lines.size(), 2);
        QRegularExpression head("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] ");
        QVERIFY(head.match(lines[0]).hasMatch());
        QVERIFY(lines[0].endsWith("(../OrvoPrintService/main@20 main) Start service, enable log"));
        QVERIFY(lines[1].endsWith("(../OrvoPrintService/TrdDeviceManage@42 SlotTaskStart) printer num:3 100%"));
        SetLogEnable(false);
    }

    void longMessageIsCut()
    {
        SetLogTarget(Dir("cut"), "log_wd");
        SetLogEnable(true);
        const QByteArray big(3000, 'x');
        WriteStringLog("t", 1, "f", "%s", big.constData());
        QFile f(CurrentLogFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QVERIFY(all.endsWith(") " + QByteArray(1023, 'x') + "\n"));
        SetLogEnable(false);
    }

    void rotatesOnlyAboveOneMiB()
    {
        SetLogTarget(Dir("rot"), "log_srv");
        SetLogEnable(true);
        const QString first = CurrentLogFile();
        // Fill the file to exactly 1048576 bytes: still appended to.
        {
            QFile f(first);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1048576, 'a'));
        }
        WriteStringLog("t", 1, "f", "crossing");
        QCOMPARE(CurrentLogFile(), first);
        QVERIFY(Lines(first).last().endsWith("crossing"));
        WriteStringLog("t", 2, "f", "next");
        const QString second = CurrentLogFile();
        QVERIFY(second.endsWith("_1.log"));
        QCOMPARE(second.left(second.size() - 6), first.left(first.size() - 6));
        QCOMPARE(Lines(second).size(), 1);
        QVERIFY(Lines(second).first().endsWith("next"));
        SetLogEnable(false);
    }

    void removedOrMovedFileIsStartedAgain()
    {
        SetLogTarget(Dir("gone"), "log_srv");
        SetLogEnable(true);
        const QString file = CurrentLogFile();
        WriteStringLog("t", 1, "f", "first");
        QVERIFY(QFile::remove(file));
        WriteStringLog("t", 2, "f", "after removal");
        QCOMPARE(Lines(file).size(), 1);
        QVERIFY(Lines(file).first().endsWith("after removal"));
        const QString moved = Dir("gone/moved.log");
        QVERIFY(QFile::rename(file, moved));
        WriteStringLog("t", 3, "f", "after move");
        QCOMPARE(Lines(moved).size(), 1);
        QCOMPARE(Lines(file).size(), 1);
        QVERIFY(Lines(file).first().endsWith("after move"));
        // A file put in its place by someone else is the log file from the next line on.
        QVERIFY(QFile::remove(file));
        {
            QFile planted(file);
            QVERIFY(planted.open(QIODevice::WriteOnly));
            planted.write("planted\n");
        }
        WriteStringLog("t", 4, "f", "after replacement");
        QCOMPARE(Lines(file).size(), 2);
        QVERIFY(Lines(file).last().endsWith("after replacement"));
        SetLogEnable(false);
    }

    void concurrentWritersNeverInterleave()
    {
        SetLogTarget(Dir("mt"), "log_srv");
        SetLogEnable(true);
        QList<QThread *> threads;
        for (int t = 0; t < 6; ++t) {
            threads << QThread::create([t] {
                const QByteArray body(200, char('a' + t));
                for (int i = 0; i < 300; ++i)
                    WriteStringLog("t", t, "f", "%s", body.constData());
            });
            threads.last()->start();
        }
        for (QThread *th : threads) {
            th->wait();
            delete th;
        }
        const QStringList lines = Lines(CurrentLogFile());
        QCOMPARE(lines.size(), 6 * 300);
        QRegularExpression whole("^\\[[^]]+\\] \\(t@(\\d) f\\) ([a-f])\\2{199}$");
        for (const QString &line : lines) {
            const auto m = whole.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line.left(80)));
            QCOMPARE(m.captured(2).at(0).toLatin1() - 'a', m.captured(1).toInt());
        }
        SetLogEnable(false);
    }

    void oldFilesAreCapped()
    {
        const QString dir = Dir("cap");
        QDir().mkpath(dir);
        // 25 older files of our prefix (two with rotation indexes above 9), one foreign file.
        QStringList names;
        for (int i = 0; i < 23; ++i)
            names << QString("log_srv_20240101_0000%1_0.log").arg(i, 2, 10, QChar('0'));
        names << "log_srv_20240101_000022_9.log"
              << "log_srv_20240101_000022_10.log";
        for (const QString &n : names + QStringList{"log_wd_20200101_000000_0.log"}) {
            QFile f(dir + "/" + n);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        SetLogTarget(dir, "log_srv");
        SetLogEnable(true);
        WriteStringLog("t", 1, "f", "fresh");
        const QStringList left = QDir(dir).entryList({"log_srv_*.log"}, QDir::Files);
        QCOMPARE(left.size(), c_iLogFilesKept);
        QVERIFY(left.contains("log_srv_20240101_000022_10.log"));
        QVERIFY(left.contains("log_srv_20240101_000022_9.log"));
        QVERIFY(!left.contains("log_srv_20240101_000005_0.log"));
        QVERIFY(left.contains("log_srv_20240101_000006_0.log"));
        QVERIFY(QFile::exists(dir + "/log_wd_20200101_000000_0.log"));
        SetLogEnable(false);
    }

    void capHoldsAtEveryRotation()
    {
        const QString dir = Dir("caprot");
        SetLogTarget(dir, "log_srv");
        SetLogEnable(true);
        // 30 rotations without switching the log on again, as a long-running watchdog does.
        for (int i = 0; i < 30; ++i) {
            QFile f(CurrentLogFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1048577, 'a'));
            f.close();
            WriteStringLog("t", i, "f", "rotate");
        }
        const QString last = CurrentLogFile();
        QVERIFY(last.endsWith("_30.log"));
        const QStringList left = QDir(dir).entryList({"log_srv_*.log"}, QDir::Files);
        QCOMPARE(left.size(), c_iLogFilesKept);
        // The newest files are the ones kept, the one being written among them.
        QVERIFY(left.contains(QFileInfo(last).fileName()));
        QVERIFY(left.contains(QFileInfo(last).fileName().replace("_30.log", "_11.log")));
        QVERIFY(!left.contains(QFileInfo(last).fileName().replace("_30.log", "_10.log")));
        SetLogEnable(false);
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
