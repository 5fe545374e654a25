// The print service's decisions and the status worker's cycle steps, driven directly: no
// threads, no waits, no devices. Scheduling, the off-line rules with their status files, the
// job monitor's carried list and the write-back into the shared list. Runs in the sandbox:
// the status files live under the install root.
#include "TrdDeviceManage.h"
#include "TrdGetPrinterStatus.h"
#include "TrdGetPrinterStatusRules.h"

#include "mfpsim-statusreply.h"
#include "orvo-paths.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTest>

#include <sys/stat.h>

// Qt 5 registers only declared types for data-driven test columns.
Q_DECLARE_METATYPE(stPrinterInfo)

namespace {
// A K40N's reply: ready without errors, or printing with error 0x6151.
QByteArray Reply(bool printingWithError)
{
    stStatusReply r;
    r.strVendor = "Orvo";
    r.strProduct = "K40N";
    r.strSerial = "NETn1";
    r.strFirmware = "V1.00.00";
    if (printingWithError) {
        r.byStatus = 16;
        r.listErrors = {0x6151};
    }
    SetInks(r, 80, 60, 40, 20);
    const StatusBytes bytes = EncodeUsbStatusReply(r);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

int Store(TrdGetPrinterStatus &worker, const QByteArray &reply)
{
    return worker.CheckPrinterStatus(reinterpret_cast<const unsigned char *>(reply.constData()),
                                     static_cast<unsigned long>(reply.size()));
}

// The inode tells a rewrite: the status file is always replaced by rename.
ino_t Inode(const QString &path)
{
    struct stat st;
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

stPrinterManager Printer(const QString &name, int connectType, const QString &port)
{
    stPrinterManager m;
    m.stInfo.strPrinterName = name;
    m.stInfo.strModelName = "Orvo K40N";
    m.stInfo.iConnectType = connectType;
    m.stInfo.strPort = port;
    m.stInfo.strDeviceURI = connectType == CONNECT_USB ? "usb://" + port : "socket://" + port + ":9100";
    m.bInfoReady = true;
    return m;
}

stCupsJob Job(int id, const QStringList &reasons)
{
    stCupsJob j;
    j.iJobId = id;
    j.bHasReasons = true;
    j.listReasons = reasons;
    return j;
}

const QStringList c_printing{"job-printing"};
const QStringList c_cancelled{"job-canceled-by-user"};
}  // namespace

class TstService : public QObject {
    Q_OBJECT
private slots:
    // The status files go below the install root: never the machine's own.
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("ORVO_HARNESS"), "run it inside tests/harness/orvo-sandbox");
    }

    void init()
    {
        QDir(OrvoCfgPath()).removeRecursively();
    }

    // Which printers are asked in a cycle, how long the cycle is, and that only a ready
    // network printer costs a request to the scheduler.
    void needStatus_data()
    {
        QTest::addColumn<int>("connect");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sending");
        QTest::addColumn<bool>("query");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("schedulerAsked");
        QTest::newRow("USB off-line") << int(CONNECT_USB) << int(PS_OFFLINE) << false << true << 1500 << false;
        QTest::newRow("USB ready, CUPS idle") << int(CONNECT_USB) << int(PS_READY) << false << true << 1500 << false;
        QTest::newRow("USB printing") << int(CONNECT_USB) << int(PS_PRINTING) << true << true << 1500 << false;
        QTest::newRow("network off-line") << int(CONNECT_NET) << int(PS_OFFLINE) << false << true << 10000 << false;
        QTest::newRow("network ready, CUPS idle") << int(CONNECT_NET) << int(PS_READY) << false << false << 100 << true;
        QTest::newRow("network ready, CUPS sends a job") << int(CONNECT_NET) << int(PS_READY) << true << true << 1000 << true;
        QTest::newRow("network printing") << int(CONNECT_NET) << int(PS_PRINTING) << false << true << 1000 << false;
        QTest::newRow("network in error") << int(CONNECT_NET) << int(PS_ERROR) << false << true << 1000 << false;
        QTest::newRow("connection not set, busy") << int(CONNECT_NONE) << int(PS_BUSY) << false << true << 1000 << false;
    }

    void needStatus()
    {
        QFETCH(int, connect);
        QFETCH(int, status);
        QFETCH(bool, sending);
        int asked = 0;
        int interval = -1;
        const bool query = DecideNeedStatus(
            connect, status, [&] { ++asked; return sending; }, interval);
        QTEST(query, "query");
        QTEST(interval, "interval");
        QTEST(asked == 1, "schedulerAsked");
        QVERIFY(asked <= 1);
    }

    // The ten job checks of a cycle end on the interval however long each check takes, and
    // a cycle whose checks outlast the interval has no pause at all.
    void jobCheckPacing_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<QVector<int>>("checkCosts");
        QTest::addColumn<int>("cycleMs");
        QTest::newRow("USB, free checks") << 1500 << QVector<int>(10, 0) << 1500;
        QTest::newRow("USB, 40 ms checks") << 1500 << QVector<int>(10, 40) << 1500;
        QTest::newRow("network, one slow check") << 1000 << QVector<int>{5, 5, 700, 5, 5, 5, 5, 5, 5, 5} << 1000;
        QTest::newRow("scheduler hung: 300 ms each") << 1000 << QVector<int>(10, 300) << 3000;
        QTest::newRow("idle network, 100 ms") << 100 << QVector<int>(10, 2) << 100;
    }

    void jobCheckPacing()
    {
        QFETCH(int, interval);
        QFETCH(QVector<int>, checkCosts);
        qint64 clock = 0;
        for (int i = 0; i < 10; ++i) {
            clock += checkCosts.at(i);
            const int pause = JobCheckPauseMs(interval, i, clock);
            QVERIFY2(pause >= 0, qPrintable(QString("check %1: pause %2").arg(i).arg(pause)));
            clock += pause;
        }
        QTEST(int(clock), "cycleMs");
    }

    // Where the scheduler's events stop serving within a cycle, the timed checks go on from
    // the next tenth of the interval, and the cycle still ends on the interval.
    void jobChecksAfterEventsStop_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("eventsMs");
        QTest::addColumn<int>("timedChecks");
        QTest::newRow("from the start") << 1500 << 0 << 10;
        QTest::newRow("within the third tenth") << 1500 << 449 << 8;
        QTest::newRow("on a tenth") << 1000 << 600 << 4;
        QTest::newRow("in the last tenth") << 1500 << 1499 << 1;
        QTest::newRow("at the end") << 1000 << 1000 << 0;
        QTest::newRow("idle network") << 100 << 35 << 7;
    }

    void jobChecksAfterEventsStop()
    {
        QFETCH(int, interval);
        QFETCH(int, eventsMs);
        qint64 clock = eventsMs;
        int checks = 0;
        for (int i = JobCheckIndex(interval, clock); i < 10; ++i, ++checks)
            clock += JobCheckPauseMs(interval, i, clock);
        QTEST(checks, "timedChecks");
        QCOMPARE(int(clock), qMax(interval, eventsMs));
    }

    // One printer cancel per printing -> cancelled transition, however many checks see the
    // job cancelled afterwards.
    void jobMonitorOneCancelPerTransition()
    {
        QList<stJobState> carried;
        const QList<stCupsJob> printing{Job(7, c_printing)};
        const QList<stCupsJob> cancelled{Job(7, c_cancelled)};
        QVERIFY(StepJobMonitor("Q", &printing, carried).isEmpty());
        QVERIFY(StepJobMonitor("Q", &printing, carried).isEmpty());
        QCOMPARE(carried.size(), 1);
        QCOMPARE(StepJobMonitor("Q", &cancelled, carried), QStringList{"Q-7"});
        QVERIFY(carried.isEmpty());
        for (int i = 0; i < 10; ++i)
            QVERIFY(StepJobMonitor("Q", &cancelled, carried).isEmpty());
    }

    // Failed listings between "printing" and "cancelled" keep the carried list, so the
    // cancel still reaches the printer after a scheduler outage.
    void jobMonitorFailedListingKeepsCarried()
    {
        QList<stJobState> carried;
        const QList<stCupsJob> printing{Job(3, c_printing), Job(4, {"none"})};
        QVERIFY(StepJobMonitor("Q", &printing, carried).isEmpty());
        for (int i = 0; i < 25; ++i)
            QVERIFY(StepJobMonitor("Q", nullptr, carried).isEmpty());
        QCOMPARE(carried.size(), 1);
        QCOMPARE(carried.first().strJobID, QString("Q-3"));
        const QList<stCupsJob> cancelled{Job(3, c_cancelled)};
        QCOMPARE(StepJobMonitor("Q", &cancelled, carried), QStringList{"Q-3"});

        // An empty listing that succeeded is an answer, not a failure: the list empties.
        QList<stJobState> other;
        QVERIFY(StepJobMonitor("Q", &printing, other).isEmpty());
        const QList<stCupsJob> none;
        QVERIFY(StepJobMonitor("Q", &none, other).isEmpty());
        QVERIFY(other.isEmpty());
        QVERIFY(StepJobMonitor("Q", &cancelled, other).isEmpty());
    }

    // Of two printing jobs only the cancelled one is cancelled in the printer; a job that
    // never printed (held, then cancelled) causes nothing.
    void jobMonitorOnlyThePrintingJob()
    {
        QList<stJobState> carried;
        const QList<stCupsJob> two{Job(1, c_printing), Job(2, c_printing), Job(5, {"job-hold-until-specified"})};
        QVERIFY(StepJobMonitor("Q", &two, carried).isEmpty());
        const QList<stCupsJob> oneCancelled{Job(1, c_printing), Job(2, c_cancelled), Job(5, c_cancelled)};
        QCOMPARE(StepJobMonitor("Q", &oneCancelled, carried), QStringList{"Q-2"});
        QCOMPARE(carried.size(), 1);
        QCOMPARE(carried.first().strJobID, QString("Q-1"));
    }

    // Status file of a network printer: written on a changed reply or when missing, left
    // alone otherwise; an unparsable reply is stored but changes no state; five failed
    // queries in a row keep the file, the sixth deletes it and the printer is off-line.
    void networkPrinterFilesAndOffline()
    {
        QList<stPrinterManager> list{Printer("NET_A", CONNECT_NET, "127.0.0.9")};
        QMutex lock;
        TrdGetPrinterStatus worker;
        worker.Init(0, &list, &lock);
        const QString path = StatusFilePath("NET_A");
        QVERIFY(worker.TakeElement());

        QCOMPARE(Store(worker, Reply(false)), 0);
        QCOMPARE(Contents(path), Reply(false));
        const ino_t first = Inode(path);
        QCOMPARE(Store(worker, Reply(false)), 0);
        QCOMPARE(Inode(path), first);
        QVERIFY(QFile::remove(path));
        QCOMPARE(Store(worker, Reply(false)), 0);
        QCOMPARE(Contents(path), Reply(false));

        QCOMPARE(Store(worker, Reply(true)), 0);
        QCOMPARE(Contents(path), Reply(true));
        worker.WriteBack();
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_PRINTING));
        QCOMPARE(list.at(0).stState.listError.size(), 1);

        const QByteArray bad = QByteArray(7, '\0') + QByteArray::fromHex("ab");
        QCOMPARE(Store(worker, bad), -1);
        QCOMPARE(Contents(path), bad);
        worker.WriteBack();
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_PRINTING));

        for (int i = 0; i < 5; ++i)
            worker.HandleQueryFailure(-5);
        QVERIFY(QFile::exists(path));
        worker.WriteBack();
        QCOMPARE(list.at(0).stState.iFailCount, 5);
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_PRINTING));

        // An answer in between starts the count again.
        QCOMPARE(Store(worker, Reply(true)), 0);
        for (int i = 0; i < 5; ++i)
            worker.HandleQueryFailure(-2);
        QVERIFY(QFile::exists(path));
        worker.HandleQueryFailure(-5);
        QVERIFY(!QFile::exists(path));
        worker.WriteBack();
        const stPrinterState &state = list.at(0).stState;
        QCOMPARE(int(state.enCurrentStatus), int(PS_OFFLINE));
        QVERIFY(state.listError.isEmpty());
        QVERIFY(state.listWarning.isEmpty());
        QCOMPARE(state.iFailCount, 0);
        QCOMPARE(state.strPrinterSerialNumber, QString("NETn1"));  // the rest stays as it was
    }

    // A USB printer goes off-line at the first "not found" (-5) only; other failures keep
    // its state and its file.
    void usbPrinterOffline()
    {
        QList<stPrinterManager> list{Printer("USB_A", CONNECT_USB, "Orvo/K20NW?serial=AB12")};
        QMutex lock;
        TrdGetPrinterStatus worker;
        worker.Init(0, &list, &lock);
        const QString path = StatusFilePath("USB_A");
        QVERIFY(worker.TakeElement());
        QCOMPARE(Store(worker, Reply(true)), 0);
        for (int ret : {-1, -2, -3, -4, -6, -1, -2, -3, -4, -6})
            worker.HandleQueryFailure(ret);
        QVERIFY(QFile::exists(path));
        worker.WriteBack();
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_PRINTING));
        QCOMPARE(list.at(0).stState.listError.size(), 1);

        worker.HandleQueryFailure(-5);
        QVERIFY(!QFile::exists(path));
        worker.WriteBack();
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_OFFLINE));
        QVERIFY(list.at(0).stState.listError.isEmpty());
    }

    // The write-back never puts one printer's results into another printer's element and
    // never undoes the device manager's ready mark.
    void writeBack()
    {
        QList<stPrinterManager> list{Printer("A", CONNECT_NET, "127.0.0.9")};
        list[0].bInfoReady = false;
        QMutex lock;
        TrdGetPrinterStatus worker;
        worker.Init(0, &list, &lock);
        QVERIFY(worker.TakeElement());
        QCOMPARE(Store(worker, Reply(true)), 0);

        // Marked ready during the cycle: the mark stays, the results arrive.
        list[0].bInfoReady = true;
        worker.WriteBack();
        QVERIFY(list.at(0).bInfoReady);
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_PRINTING));

        // Rebuilt for another printer (same port, other queue name; then other URI): dropped.
        QVERIFY(worker.TakeElement());
        list[0] = Printer("B", CONNECT_NET, "127.0.0.9");
        worker.WriteBack();
        QCOMPARE(list.at(0).stInfo.strPrinterName, QString("B"));
        QCOMPARE(int(list.at(0).stState.enCurrentStatus), int(PS_OFFLINE));
        QVERIFY(worker.TakeElement());
        list[0] = Printer("B", CONNECT_NET, "127.0.0.10");
        worker.WriteBack();
        QCOMPARE(list.at(0).stInfo.strPort, QString("127.0.0.10"));

        // Shrunk below the worker's position: nothing to write, nothing to take.
        list.clear();
        worker.WriteBack();
        QVERIFY(list.isEmpty());
        QVERIFY(!worker.TakeElement());
    }

    // What counts as a change of the printer set.
    void listEqual_data()
    {
        QTest::addColumn<QList<stPrinterInfo>>("found");
        QTest::addColumn<bool>("equal");
        const stPrinterInfo a = Printer("A", CONNECT_USB, "Orvo/K20NW?serial=AB12").stInfo;
        const stPrinterInfo b = Printer("B", CONNECT_NET, "127.0.0.2").stInfo;
        stPrinterInfo model = b;
        model.strModelName = "Orvo K40NW";
        model.iConnectType = CONNECT_NONE;
        stPrinterInfo renamed = b;
        renamed.strPrinterName = "B2";
        stPrinterInfo port = b;
        port.strPort = "127.0.0.3";
        stPrinterInfo uri = b;
        uri.strDeviceURI = "socket://127.0.0.2:9101";
        stPrinterInfo caseOnly = b;
        caseOnly.strPrinterName = "b";
        QTest::newRow("same") << QList<stPrinterInfo>{a, b} << true;
        QTest::newRow("model and type only") << QList<stPrinterInfo>{a, model} << true;
        QTest::newRow("renamed") << QList<stPrinterInfo>{a, renamed} << false;
        QTest::newRow("name differs in case") << QList<stPrinterInfo>{a, caseOnly} << false;
        QTest::newRow("port") << QList<stPrinterInfo>{a, port} << false;
        QTest::newRow("device URI") << QList<stPrinterInfo>{a, uri} << false;
        QTest::newRow("order") << QList<stPrinterInfo>{b, a} << false;
        QTest::newRow("one more") << QList<stPrinterInfo>{a, b, b} << false;
        QTest::newRow("one less") << QList<stPrinterInfo>{a} << false;
        QTest::newRow("none") << QList<stPrinterInfo>{} << false;
    }

    void listEqual()
    {
        QFETCH(QList<stPrinterInfo>, found);
        const QList<stPrinterManager> list{Printer("A", CONNECT_USB, "Orvo/K20NW?serial=AB12"),
                                           Printer("B", CONNECT_NET, "127.0.0.2")};
        QTEST(PrinterListEqual(list, found), "equal");
        QVERIFY(PrinterListEqual({}, {}));
    }
};

QTEST_GUILESS_MAIN(TstService)
#include "tst_service.moc"
