// The single-instance check against real processes in the sandbox's own PID namespace,
// side by side with the count a "ps -A" listing gives.
#include "orvo-paths.h"
#include "orvo-running.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The reference: the lines of a process listing ("PID TTY TIME CMD") whose fourth column
// equals name ignoring case, as the check counted them when it read the listing.
int CountListingMatches(const QByteArray &listing, const QString &name)
{
    int count = 0;
    for (const QByteArray &raw : listing.split('\n')) {
        const QByteArray line = raw.left(raw.indexOf('\0') < 0 ? raw.size() : raw.indexOf('\0'));
        const QStringList fields = QString::fromLocal8Bit(line).split(' ', Qt::SkipEmptyParts);
        if (fields.size() < 4)
            continue;
        if (fields.at(3).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count;
}

int ListingCount(const QString &name)
{
    QProcess ps;
    ps.start("ps", {"-A"});
    if (!ps.waitForFinished())
        return -1;
    return CountListingMatches(ps.readAllStandardOutput(), name.left(15));
}

// The count the check sees, found from the thresholds at which it changes its answer.
int CheckCount(const QString &name)
{
    stRunningCheck c = WatchdogServiceCheck();
    c.strProcessName = name;
    for (c.iThreshold = 0; c.iThreshold < 10; ++c.iThreshold) {
        if (!CheckIsRunning(c))
            return c.iThreshold;
    }
    return -1;
}
}  // namespace

class TestRunning : public QObject {
    Q_OBJECT
    QTemporaryDir bin;
    QList<QProcess *> running;

    // Starts a copy of sleep under the given executable name, as another user when asked.
    void Start(const QString &name, bool asNobody = false)
    {
        const QString path = bin.path() + "/" + name;
        if (!QFile::exists(path))
            QVERIFY(QFile::copy("/bin/sleep", path));
        auto *p = new QProcess(this);
        if (asNobody) {
            QFile(bin.path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
            p->start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", path, "60"});
        } else {
            p->start(path, {"60"});
        }
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

    // Zero, one and two processes, another letter case, and longer names that share the
    // first 15 letters: the process table gives the counts the listing gave.
    void sameCountsAsListing()
    {
        const QString name = ServiceExecutableName();
        const auto same = [](const QString &n) {
            const int listed = ListingCount(n);
            QVERIFY(listed >= 0);
            QCOMPARE(CheckCount(n), listed);
        };
        same(name);
        QCOMPARE(CheckCount(name), 0);
        Start(name);
        same(name);
        QCOMPARE(CheckCount(name), 1);
        Start(name);
        same(name);
        QCOMPARE(CheckCount(name), 2);
        StopAll();
        Start("ORVOk500service");
        same(name);
        same("ORVOK500SERVICE");
        QCOMPARE(CheckCount(name), 1);
        Start("orvoK500ServiceTwo");
        Start("orvoK500ServiceThree");
        same(name);
        same("orvoK500ServiceTwo");
        QCOMPARE(CheckCount(name), 3);
        Start("orvoK500Servic");
        same("orvoK500Servic");
        QCOMPARE(CheckCount("orvoK500Servic"), 1);
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
    }

    // A copy run by another user counts as well: the check looks at every process.
    void otherUsersCount()
    {
        stRunningCheck anyCopy = ToolSelfCheck("orvoK500Tool");
        anyCopy.iThreshold = 0;
        Start("orvoK500Tool", true);
        // setpriv first runs under its own name, then becomes the copy.
        QTRY_VERIFY_WITH_TIMEOUT(CheckIsRunning(anyCopy), 3000);
        QVERIFY(!CheckIsRunning(ToolSelfCheck("orvoK500Tool")));
        Start("orvoK500Tool");
        QVERIFY(CheckIsRunning(ToolSelfCheck("orvoK500Tool")));
        QFile status(QString("/proc/%1/status").arg(running.first()->processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        QVERIFY(status.readAll().contains("\nUid:\t65534\t"));
    }

    // The check runs no listing tool: it finds the service with no program to run.
    void needsNoListingTool()
    {
        Start("orvoK500Service");
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const bool found = CheckIsRunning(WatchdogServiceCheck());
        qputenv("PATH", path);
        QVERIFY(found);
        QVERIFY(Captures(OrvoTempPath()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRunning)
#include "tst_running.moc"
