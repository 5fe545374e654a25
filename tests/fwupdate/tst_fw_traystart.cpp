// The tray tool's menu entry starts the installed updater as a process of its own: not a
// child of the tool, in a session of its own, and still running after the tool is gone.
#include "ToolEntry.h"
#include "orvo-paths.h"
#include "orvoprintertoolwidget.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class TstFWTrayStart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void menuStartsUpdater();
};

namespace {
// Processes whose command name is the updater's.
QList<pid_t> UpdaterProcesses()
{
    QList<pid_t> list;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = pid_t(entry.toInt(&ok));
        QFile comm("/proc/" + entry + "/comm");
        if (ok && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "orvoK500FW")
            list.append(pid);
    }
    return list;
}

// The fields of /proc/PID/stat after the command name: [0] state, [1] parent, [3] session.
QList<QByteArray> StatFields(pid_t pid)
{
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ');
}

bool Ended(pid_t pid)
{
    const QList<QByteArray> fields = StatFields(pid);
    return fields.isEmpty() || fields.at(0) == "Z";
}
}  // namespace

void TstFWTrayStart::menuStartsUpdater()
{
    QVERIFY(QFile::exists(OrvoBinPath() + "orvoK500FW"));
    QVERIFY(UpdaterProcesses().isEmpty());
    pid_t updater = 0;
    {
        OrvoPrinterToolWidget tool;
        QAction *entry = nullptr;
        for (QAction *a : tool.findChildren<QAction *>())
            if (a->text() == "打印机更新助手")
                entry = a;
        QVERIFY(entry);
        entry->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(UpdaterProcesses().size(), 1, 20000);
        updater = UpdaterProcesses().first();
        const QList<QByteArray> fields = StatFields(updater);
        QVERIFY(fields.size() > 3);
        QVERIFY(fields.at(1).toLong() != long(getpid()));
        QVERIFY(fields.at(3).toLong() != long(getsid(0)));
    }
    // The tool's window is gone; the updater keeps running.
    QVERIFY(!Ended(updater));
    QCOMPARE(kill(updater, SIGTERM), 0);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(updater), 20000);
}

QTEST_MAIN(TstFWTrayStart)
#include "tst_fw_traystart.moc"
