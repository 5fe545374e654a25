// A second start next to a running tool, and the exit through the tray menu.
#include "AppSetting.h"
#include "ToolEntry.h"
#include "orvo-running.h"
#include "tool-fixture.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <sys/prctl.h>

class TstToolInstance : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void secondStart();
    void exitTiming();
};

namespace {
struct stSeenBox {
    QString strTitle, strText;
    QStringList listButtons;
    QMessageBox::Icon enIcon = QMessageBox::NoIcon;
    bool bToolWindow = false;
    int iSeen = 0;
};

// A thread of the process carries the default name of a started QThread.
bool HasWorkerThread(qint64 pid)
{
    const QString dir = QString("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(dir + "/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "QThread")
            return true;
    }
    return false;
}

// Closes every modal box as it appears and remembers the first one.
void WatchModalBoxes(QTimer &timer, stSeenBox &seen)
{
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (seen.iSeen++ == 0) {
            seen.strTitle = box->windowTitle();
            seen.strText = box->text();
            seen.enIcon = box->icon();
            for (QAbstractButton *b : box->buttons())
                seen.listButtons << b->text();
            for (QWidget *top : QApplication::topLevelWidgets())
                seen.bToolWindow |= qobject_cast<OrvoPrinterToolWidget *>(top) != nullptr;
        }
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    timer.start(10);
}
}  // namespace

void TstToolInstance::secondStart()
{
    const QString name = "orvoK500Tool";
    stRunningCheck anyCopy = ToolSelfCheck(name);
    anyCopy.iThreshold = 0;
    QVERIFY(!CheckIsRunning(anyCopy));

    // The installed tool starts as the only instance.
    QProcess first;
    first.start(OrvoBinPath() + name, {"-hide"});
    QVERIFY(first.waitForStarted(5000));
    // Its device-manager thread exists once its own start-up check is over; before that, this
    // process taking the tool's name below could make the first start refuse itself.
    QTRY_VERIFY_WITH_TIMEOUT(HasWorkerThread(first.processId()), 10000);
    QVERIFY(CheckIsRunning(anyCopy));
    QVERIFY(!CheckIsRunning(name));

    // From here on this process is the second start, under the tool's own command name.
    QCOMPARE(prctl(PR_SET_NAME, "orvoK500Tool", 0, 0, 0), 0);
    QVERIFY(CheckIsRunning(name));

    stSeenBox seen;
    QTimer timer;
    WatchModalBoxes(timer, seen);
    char prog[] = "orvoK500Tool";
    char *argv[] = {prog};
    QElapsedTimer clock;
    clock.start();
    const int rc = RunToolApplication(*qApp, 1, argv, name);
    timer.stop();
    QCOMPARE(rc, 0);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(seen.iSeen, 1);
    QCOMPARE(seen.strTitle, QString("Orvo喷墨打印机助手"));
    QCOMPARE(seen.strText, QString("Orvo喷墨打印机助手已经处于运行中！"));
    QCOMPARE(seen.listButtons, QStringList({"确  定"}));
    QCOMPARE(seen.enIcon, QMessageBox::Information);
    QVERIFY(!seen.bToolWindow);
    // The running instance is not disturbed.
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    QVERIFY(first.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!CheckIsRunning(name), 5000);
    QVERIFY(CheckIsRunning(anyCopy));  // this process alone
}

void TstToolInstance::exitTiming()
{
    QList<stPrinterInfo> infos;
    for (int i = 0; i < 4; ++i)
        infos << MakeInfo(QString("Orvo-%1").arg(i), CONNECT_NET, QString("127.0.0.%1").arg(20 + i));
    WritePrinterList(infos);
    auto *w = new TestToolWidget(true);
    w->show();
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusWorkers().size(), 4, 4000);
    w->TrayMenu()->actions().at(2)->trigger();
    QVERIFY(w->SettingDialog()->isVisible());
    // Let every loop settle into its wait: each has finished a pass.
    const auto settled = [w] {
        for (const TrdGetPrinterStatus *worker : w->StatusWorkers())
            if (worker->CycleCount() < 1)
                return false;
        return w->DeviceManager()->CycleCount() >= 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 15000);

    QElapsedTimer clock;
    QAction *exitAction = w->TrayMenu()->actions().at(3);
    QCOMPARE(exitAction->text(), QString("退出"));
    QTimer::singleShot(0, [&] {
        clock.start();
        exitAction->trigger();
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!w->isVisible());
    QVERIFY(!w->TrayIcon()->isVisible());
    QVERIFY(!w->SettingDialog()->isVisible());
    QVERIFY(w->DeviceManager()->IsQuitRequested());
    for (TrdGetPrinterStatus *worker : w->StatusWorkers())
        QVERIFY(worker->IsQuitRequested());
    QList<QThread *> threads = w->StatusThreads();
    threads << w->DeviceManagerThread();
    QList<QSignalSpy *> finished;
    for (QThread *t : threads)
        finished << new QSignalSpy(t, &QThread::finished);
    delete w;
    const qint64 ms = clock.elapsed();
    // Every loop left within one 500 ms step of its wait, so every thread ended.
    for (QSignalSpy *spy : finished)
        QCOMPARE(spy->count(), 1);
    qDeleteAll(finished);
    qInfo("exit with %d worker threads took %lld ms", int(threads.size()), ms);
    QVERIFY2(ms < 1000 * threads.size(), qPrintable(QString::number(ms)));
    QVERIFY2(ms < 1500, qPrintable(QString::number(ms)));
}

QTEST_MAIN(TstToolInstance)
#include "tst_tool_instance.moc"
