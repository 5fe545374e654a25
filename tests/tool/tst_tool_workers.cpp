// The device-manager worker and the status workers against real files under the install root.
#include "ToolEntry.h"
#include "TrdDeviceManage.h"
#include "TrdStatusWatch.h"
#include "tool-fixture.h"
#include "ToolWake.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

class TstToolWorkers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void cleanup();
    void listFile();
    void deviceManagerCompare();
    void growth();
    void offlineAfterEleven();
    void offlineRow();
    void quietRowNotWoken();
    void sameBytesNewTime();
    void wakeEndsPause();
    void filesWatched();
};

// Wakes the device manager for one more reading; the readings finished so far.
static int WakeDeviceManager(TestToolWidget &w)
{
    w.DeviceManager()->Wake();
    return w.DeviceManager()->CycleCount();
}

void TstToolWorkers::cleanup()
{
    QDir(OrvoCfgPath()).removeRecursively();
}

void TstToolWorkers::listFile()
{
    TestToolWidget w;
    QSignalSpy spy(w.DeviceManager(), &TrdDeviceManage::SgnUpdatePrinterList);
    // A missing file leaves the table empty and emits nothing, reading after reading (each
    // wake starts one at once).
    QTRY_VERIFY_WITH_TIMEOUT(WakeDeviceManager(w) >= 3, 15000);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(w.DeviceTable()->rowCount(), 0);

    WritePrinterList({MakeInfo("Orvo-USB", CONNECT_USB, "Orvo/K20NW?serial=1"),
                      MakeInfo("Orvo-Net", CONNECT_NET, "127.0.0.9")});
    // The spy sees the signal in the worker's thread; the table follows through the queue.
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 2, 4000);
    QCOMPARE(spy.count(), 1);
    {
        QMutexLocker lock(&w.PrinterList().mutexList);
        QCOMPARE(w.PrinterList().listPrinter.size(), 2);
        for (const stPrinterManager &m : w.PrinterList().listPrinter)
            QCOMPARE(m.stState.enCurrentStatus, PS_OFFLINE);
    }
    QCOMPARE(CellText(w, 0, 0), QString("Orvo-USB"));
    QCOMPARE(CellText(w, 0, 1), QString("USB"));
    QCOMPARE(CellText(w, 1, 1), QString("网络(127.0.0.9)"));
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(CellText(w, r, 2), QString("青色：无   红色：无   黄色：无   黑色：无"));
        QCOMPARE(CellText(w, r, 3), QString("脱机"));
    }
    QCOMPARE(w.StatusWorkers().size(), 2);
    QCOMPARE(w.StatusWorkers().at(1)->Index(), 1);

    // The same file read again emits nothing: two finished readings after the one that
    // emitted (which may not have counted itself yet) include one that read it again.
    const int read = w.DeviceManager()->CycleCount();
    QTRY_VERIFY_WITH_TIMEOUT(WakeDeviceManager(w) >= read + 2, 15000);
    QCOMPARE(spy.count(), 1);
}

void TstToolWorkers::deviceManagerCompare()
{
    stToolPrinterList list;
    TrdDeviceManage dm;
    dm.Init(&list);
    QSignalSpy spy(&dm, &TrdDeviceManage::SgnUpdatePrinterList);
    QVERIFY(!dm.CheckPrinterList());

    QList<stPrinterInfo> infos = {MakeInfo("A", CONNECT_USB, "Orvo/K20NW?serial=1"),
                                  MakeInfo("B", CONNECT_NET, "127.0.0.2")};
    WritePrinterList(infos);
    QVERIFY(dm.CheckPrinterList());
    QVERIFY(!dm.CheckPrinterList());
    QCOMPARE(spy.count(), 1);

    // The record states live on between rebuilds only when nothing was rebuilt.
    list.listPrinter[0].stState.enCurrentStatus = PS_READY;
    infos[0].strDeviceURI = "usb://Orvo/K20NW?serial=1&interface=2";
    infos[1].strModelName = "Orvo K40NW";
    infos[1].iConnectType = CONNECT_USB;
    WritePrinterList(infos);
    QVERIFY(!dm.CheckPrinterList());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_READY);
    QCOMPARE(list.listPrinter[0].stInfo.strDeviceURI, QString("usb://Orvo/K20NW?serial=1"));

    infos[1].strPort = "127.0.0.3";
    WritePrinterList(infos);
    QVERIFY(dm.CheckPrinterList());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_OFFLINE);
    QCOMPARE(list.listPrinter[1].stInfo.strPort, QString("127.0.0.3"));

    infos[0].strPrinterName = "A2";
    WritePrinterList(infos);
    QVERIFY(dm.CheckPrinterList());
    QCOMPARE(list.listPrinter[0].stInfo.strPrinterName, QString("A2"));
    QCOMPARE(spy.count(), 3);
}

void TstToolWorkers::growth()
{
    const QList<stPrinterInfo> three = {MakeInfo("P0", CONNECT_USB, "Orvo/K20NW?serial=0"),
                                        MakeInfo("P1", CONNECT_USB, "Orvo/K20NW?serial=1"),
                                        MakeInfo("P2", CONNECT_NET, "127.0.0.4")};
    WritePrinterList(three.mid(0, 2));
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 2, 4000);
    QCOMPARE(w.StatusWorkers().size(), 2);

    WritePrinterList(three);
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 3, 4000);
    QCOMPARE(w.StatusWorkers().size(), 3);
    QCOMPARE(w.StatusThreads().size(), 3);

    WritePrinterList(three.mid(0, 1));
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 1, 4000);
    QCOMPARE(w.StatusWorkers().size(), 3);
    QCOMPARE(w.StatusWorkerCount(), 1);

    // Growing back, the idle workers serve their rows again: no thread is added.
    const QList<TrdGetPrinterStatus *> before = w.StatusWorkers();
    for (int round = 0; round < 2; ++round) {
        WritePrinterList(three.mid(0, 1));
        QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 1, 4000);
        WritePrinterList(three);
        QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 3, 4000);
    }
    QCOMPARE(w.StatusWorkers(), before);
    QCOMPARE(w.StatusThreads().size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(w.StatusWorkers().at(i)->Index(), i);
    for (QThread *t : w.StatusThreads())
        QVERIFY(t->isRunning());
    // The third row is served: its status file reaches it.
    stSimPrinter p;
    p.iBlack = 90;
    QVERIFY(WriteStatusFile("P2", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 2, 2), QString("青色：无   红色：无   黄色：无   黑色：高"), 5000);
}

// One worker driven cycle by cycle, against a real status file.
void TstToolWorkers::offlineAfterEleven()
{
    stToolPrinterList list;
    list.listPrinter = GetInitPrinterList({MakeInfo("Orvo-K20", CONNECT_USB, "Orvo/K20NW?serial=7")});
    TrdGetPrinterStatus worker;
    worker.Init(0, &list);
    QSignalSpy spy(&worker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus);

    stSimPrinter p;
    p.byStatus = 0x10;
    p.listError = {0x6100};
    p.listWarning = {0x6160};
    p.iBlack = 50;
    QVERIFY(WriteStatusFile("Orvo-K20", BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_PRINTING);
    QCOMPARE(list.listPrinter[0].stState.listError.size(), 1);
    QVERIFY(!worker.CheckPrinterStatusOnce());  // unchanged file: not parsed, nothing to tell

    QVERIFY(QFile::remove(StatusFilePath("Orvo-K20")));
    for (int cycle = 1; cycle <= 10; ++cycle) {
        QVERIFY2(!worker.CheckPrinterStatusOnce(), qPrintable(QString("cycle %1").arg(cycle)));
        QCOMPARE(list.listPrinter[0].stState.iFailCount, cycle);
        QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_PRINTING);
    }
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 2);
    const stPrinterState s = list.listPrinter[0].stState;
    QCOMPARE(s.enCurrentStatus, PS_OFFLINE);
    QVERIFY(s.listError.isEmpty());
    QVERIFY(s.listWarning.isEmpty());
    QCOMPARE(s.iFailCount, 0);
    for (int cycle = 12; cycle <= 30; ++cycle)
        QVERIFY(!worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 2);

    // A status file created for an off-line printer is parsed in the next cycle.
    p.listError.clear();
    QVERIFY(WriteStatusFile("Orvo-K20", BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_PRINTING);

    // A replaced list is not written to by a worker that still holds the old record.
    list.listPrinter = GetInitPrinterList({MakeInfo("Other", CONNECT_USB, "Orvo/K20NW?serial=8")});
    QVERIFY(!worker.CheckPrinterStatusOnce());
    list.listPrinter.clear();
    QVERIFY(!worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 3);
}

// The same in real time, as the table shows it.
void TstToolWorkers::offlineRow()
{
    stSimPrinter p;
    p.byStatus = 0x00;
    p.iBlue = 90;
    WriteStatusFile("Orvo-Row", BuildResponse(p));
    WritePrinterList({MakeInfo("Orvo-Row", CONNECT_NET, "127.0.0.6")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("就绪"), 5000);
    QCOMPARE(CellText(w, 0, 2), QString("青色：高   红色：无   黄色：无   黑色：无"));

    // Counted before the removal: every pass that can miss the file comes after this one, so
    // the eleventh miss is at least the eleventh pass from here.
    const TrdGetPrinterStatus *worker = w.StatusWorkers().at(0);
    const int before = worker->CycleCount();
    QVERIFY(QFile::remove(StatusFilePath("Orvo-Row")));
    // The row stays ready through ten missed cycles and goes off-line with the eleventh.
    QElapsedTimer clock;
    clock.start();
    while (CellText(w, 0, 3) != QString("脱机") && clock.elapsed() < 60000) {
        QCOMPARE(CellText(w, 0, 3), QString("就绪"));
        QTest::qWait(50);
    }
    QCOMPARE(CellText(w, 0, 3), QString("脱机"));
    const int passes = worker->CycleCount() - before;
    QVERIFY2(passes >= 11, qPrintable(QString("off-line after %1 passes").arg(passes)));
    // The ink cell keeps the last levels; only the status changes.
    QCOMPARE(CellText(w, 0, 2), QString("青色：高   红色：无   黄色：无   黑色：无"));
}

// The periodic check wakes a row only when its cycle can change something: an unchanged file
// read without failure costs the row no cycle, while a file that stops parsing still takes
// the printer off-line after eleven cycles.
void TstToolWorkers::quietRowNotWoken()
{
    stSimPrinter p;
    p.byStatus = 0x00;
    const QByteArray bytes = BuildResponse(p);
    QVERIFY(WriteStatusFile("Orvo-Quiet", bytes));
    WritePrinterList({MakeInfo("Orvo-Quiet", CONNECT_NET, "127.0.0.8")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("就绪"), 5000);
    const TrdGetPrinterStatus *worker = w.StatusWorkers().at(0);
    const TrdStatusWatch *watch = w.StatusWatch();
    // Two checks after the ready state was written: the later one saw nothing to do.
    int checks = watch->CheckCount();
    QTRY_VERIFY_WITH_TIMEOUT(watch->CheckCount() >= checks + 2, 10000);
    const int cycles = worker->CycleCount();
    checks = watch->CheckCount();
    QTRY_VERIFY_WITH_TIMEOUT(watch->CheckCount() >= checks + 3, 10000);
    QCOMPARE(worker->CycleCount(), cycles);

    QVERIFY(WriteStatusFile("Orvo-Quiet", bytes.left(20)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("脱机"), 60000);
    QVERIFY(worker->CycleCount() >= cycles + 11);
}

void TstToolWorkers::sameBytesNewTime()
{
    stToolPrinterList list;
    list.listPrinter = GetInitPrinterList({MakeInfo("Same", CONNECT_USB, "Orvo/K20NW?serial=5")});
    TrdGetPrinterStatus worker;
    worker.Init(0, &list);
    QSignalSpy spy(&worker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus);
    stSimPrinter p;
    p.iRed = 45;
    const QByteArray bytes = BuildResponse(p);
    QVERIFY(WriteStatusFile("Same", bytes));
    QCOMPARE(worker.GetPrinterStatusFile("Same", false), 0);
    QCOMPARE(worker.GetPrinterStatusFile("Same", false), 1);
    QCOMPARE(worker.GetPrinterStatusFile("Same", true), 0);
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 1);

    // Same bytes, new time: read and parsed again, nothing to tell.
    QVERIFY(WriteStatusFile("Same", bytes));
    QCOMPARE(worker.GetPrinterStatusFile("Same", false), 0);
    QVERIFY(WriteStatusFile("Same", bytes));
    QVERIFY(!worker.CheckPrinterStatusOnce());
    QCOMPARE(spy.count(), 1);

    // Unparsable bytes count as a failed cycle and keep the shown state, in every cycle
    // while the file stays as it is: after eleven the printer is off-line, as without a file.
    QVERIFY(WriteStatusFile("Same", bytes.left(20)));
    for (int cycle = 1; cycle <= 10; ++cycle) {
        QVERIFY(!worker.CheckPrinterStatusOnce());
        QCOMPARE(list.listPrinter[0].stState.iFailCount, cycle);
        QCOMPARE(list.listPrinter[0].stState.dwRedInkRemainer, uint64_t(45));
    }
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_OFFLINE);
    QCOMPARE(worker.GetPrinterStatusFile("Missing", false), -1);
    // Readable again: the next cycle shows it.
    QVERIFY(WriteStatusFile("Same", bytes));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_READY);
}

void TstToolWorkers::wakeEndsPause()
{
    ToolWake wake;
    std::atomic_bool quit{false};
    QElapsedTimer t;
    t.start();
    QVERIFY(!wake.Wait(50, quit));
    QVERIFY(t.elapsed() >= 50);
    // A wake given before the wait ends it at once, and is used up.
    wake.Wake();
    QVERIFY(wake.Wait(60000, quit));
    QVERIFY(!wake.Wait(0, quit));
    // A wake from another thread ends a long wait.
    QThread *waker = QThread::create([&wake] { QThread::msleep(100); wake.Wake(); });
    waker->start();
    t.restart();
    QVERIFY(wake.Wait(60000, quit));
    QVERIFY(t.elapsed() < 30000);
    waker->wait();
    delete waker;
    // Quit ends it too, without a wake.
    quit = true;
    QVERIFY(!wake.Wait(60000, quit));
}

// The window watches the status folder, the list file and every shown printer's status
// file; a file replaced by renaming a new one over it, as the service does, is watched again.
void TstToolWorkers::filesWatched()
{
    stSimPrinter p;
    p.iBlack = 90;
    QVERIFY(WriteStatusFile("Orvo-Watch", BuildResponse(p)));
    WritePrinterList({MakeInfo("Orvo-Watch", CONNECT_USB, "Orvo/K20NW?serial=9")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：无   红色：无   黄色：无   黑色：高"), 5000);
    const QString file = StatusFilePath("Orvo-Watch");
    QTRY_VERIFY_WITH_TIMEOUT(w.StatusWatch()->WatchedPaths().contains(file), 5000);
    QVERIFY(w.StatusWatch()->WatchedPaths().contains(PrinterListFilePath()));
    QVERIFY(w.StatusWatch()->WatchedPaths().contains(QDir::cleanPath(OrvoCfgPath())));

    p.iBlack = 5;
    QVERIFY(WriteStatusFile("Orvo-Watch.part", BuildResponse(p)));
    QVERIFY(::rename(QFile::encodeName(StatusFilePath("Orvo-Watch.part")).constData(), QFile::encodeName(file).constData()) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：无   红色：无   黄色：无   黑色：低"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(w.StatusWatch()->WatchedPaths().contains(file), 5000);
}

QTEST_MAIN(TstToolWorkers)
#include "tst_tool_workers.moc"
