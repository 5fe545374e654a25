// The single-instance check against real processes in the sandbox's own PID namespace.
#include "orvo-paths.h"
#include "orvo-running.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestRunning : public QObject
{
    Q_OBJECT
    QTemporaryDir bin;
    QList<QProcess *> running;

    // Starts a copy of sleep under the given executable name.
    void Start(const QString &name)
    {
        const QString path = bin.path() + "/" + name;
        if (!QFile::exists(path))
            QVERIFY(QFile::copy("/bin/sleep", path));
        auto *p = new QProcess(this);
        p->start(path, {"60"});
        QVERIFY(p->waitForStarted());
        running << p;
    }
    void StopAll()
    {
        for (QProcess *p : running) {
            p->kill();
            p->waitForFinished();
            delete p;
        }
        running.clear();
    }
    static QStringList Captures(const QString &dir)
    {
        return QDir(dir).entryList(QDir::Files);
    }

private slots:
    void cleanup() { StopAll(); }

    void listingColumns()
    {
        const QByteArray listing =
            "    PID TTY          TIME CMD\n"
            "      1 ?        00:00:00 bash\n"
            "     17 ?        00:00:01 orvoK500Service\n"
            "     18 pts/0    00:00:00 ORVOK500SERVICE\n"
            "     19 ?        00:00:00 orvoK500ServiceX\n"
            "     20 ?        00:00:00 grep orvoK500Service\n"
            "orvoK500Service\n";
        QCOMPARE(CountListingMatches(listing, "orvoK500Service"), 2);
        QCOMPARE(CountListingMatches(QByteArray(), "orvoK500Service"), 0);
    }

    void countsRealProcesses()
    {
        const QString name = ServiceExecutableName();
        QCOMPARE(name, QString("orvoK500Service"));
        QDir(OrvoTempPath()).removeRecursively();

        QVERIFY(!CheckIsRunning(WatchdogServiceCheck()));
        QVERIFY(QDir(OrvoTempPath()).exists());
        QVERIFY(!CheckIsRunning(ServiceSelfCheck(name)));

        Start(name);
        QVERIFY(CheckIsRunning(WatchdogServiceCheck()));
        QVERIFY(!CheckIsRunning(ServiceSelfCheck(name)));

        Start(name);
        QVERIFY(CheckIsRunning(ServiceSelfCheck(name)));
        QVERIFY(Captures(OrvoTempPath()).isEmpty());
    }

    void letterCaseAndLongNames()
    {
        Start("ORVOk500service");
        QVERIFY(CheckIsRunning(WatchdogServiceCheck()));
        StopAll();
        // The process table keeps only the first 15 letters of a command name, and the
        // listing shows them: a longer name with the same beginning is indistinguishable.
        Start("orvoK500ServiceTwo");
        QVERIFY(CheckIsRunning(WatchdogServiceCheck()));
        StopAll();
        Start("orvoK500Servic");
        QVERIFY(!CheckIsRunning(WatchdogServiceCheck()));
    }

    void toolVariant()
    {
        QDir(OrvoToolPath()).removeRecursively();
        QVERIFY(!CheckIsRunning(ToolSelfCheck("orvoK500Tool")));
        QVERIFY(QDir(OrvoToolPath()).exists());
        Start("orvoK500Tool");
        QVERIFY(!CheckIsRunning(ToolSelfCheck("orvoK500Tool")));
        Start("orvoK500Tool");
        QVERIFY(CheckIsRunning(ToolSelfCheck("orvoK500Tool")));
        QVERIFY(!QFile::exists(OrvoToolPath() + "pslist.tmp"));
    }

    void missingListingToolCountsNothing()
    {
        Start("orvoK500Service");
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const bool found = CheckIsRunning(WatchdogServiceCheck());
        qputenv("PATH", path);
        QVERIFY(!found);
        QVERIFY(Captures(OrvoTempPath()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunning)
#include "tst_running.moc"
