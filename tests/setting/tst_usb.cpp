// The USB exchange against the simulated printers (run by with-sim.sh): the search by
// model and serial, the interface choice, one write and one read, and the result codes.
#include "UtilLibusb.h"
#include "orvo-log.h"
#include "setting-sim.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString c_strSerial63 = "S" + QString(61, 'x') + "Z";  // 63 characters, the most a device reports
// A frame the simulated printer does not answer by itself: the tests queue its replies.
const unsigned char c_ucCommand[10] = {0xA5, 0x00, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
const QString c_strCommandHex = "A5000701020304050607";

struct stExchange {
    int iResult;
    int iRecvSize;
    QByteArray reply;
};

stExchange Send(int pid, const QString &uri)
{
    unsigned char cmd[sizeof c_ucCommand];
    memcpy(cmd, c_ucCommand, sizeof cmd);
    unsigned char recv[1024] = {};
    int size = 0;
    const int r = USBSendRecvData(0x300E, pid, uri, cmd, int(sizeof cmd), recv, int(sizeof recv), size);
    return {r, size, QByteArray(reinterpret_cast<const char *>(recv), size)};
}

QString BulkOut(const QString &id)
{
    bool ok = false;
    const QStringList lines = SimCtl("get " + id + " bulkout 0x01 clear", &ok);
    return ok ? lines.value(0) : QString("<sim error>");
}
}  // namespace

class TstUsb : public QObject {
    Q_OBJECT
    QTemporaryDir m_logDir;

    QString Log() const
    {
        QFile f(CurrentLogFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        SetUsbLogSource("OrvoPrintSetting/UtilLibusb");
        QVERIFY(!qEnvironmentVariableIsEmpty("ORVO_SIM_SOCK"));
        SetLogTarget(m_logDir.path(), "usb");
    }

    void init()
    {
        SetLogEnable(false);
        SetLogEnable(true);
        QFile::remove(CurrentLogFile());  // a fresh log per case, also within one second
        for (const char *id : {"p1", "p2", "p3"}) {
            bool ok = false;
            SimCtl(QString("clear ") + id, &ok);
            QVERIFY(ok);
        }
    }

    // The second of two printers of one model is reached by its serial, and only it gets
    // the command; a first exchange also has to take the interface from the kernel driver.
    void secondPrinterOfSameModel()
    {
        bool ok = false;
        SimCtl("queue p2 bulkin 0102030405", &ok);
        QVERIFY(ok);
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=CD5678");
        QCOMPARE(ex.iResult, 0);
        QCOMPARE(ex.iRecvSize, 5);
        QCOMPARE(ex.reply.toHex().toUpper(), QByteArray("0102030405"));
        QCOMPARE(BulkOut("p2"), c_strCommandHex);
        QCOMPARE(BulkOut("p1"), QString());
        const QString log = Log();
        QVERIFY2(log.contains("(OrvoPrintSetting/UtilLibusb@"), qPrintable(log));
        QVERIFY(log.contains("USBSendRecvData) *** iRecvSize = 5"));
        QVERIFY(log.contains("USBSendRecvData) *** success!"));
        QVERIFY(!log.contains("*** error="));
    }

    void serialTest_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("target");  // the device that gets the command; empty: -2
        QTest::newRow("no serial item: one printer of the model") << "Orvo/K20NW?foo=1"
                                                                  << "p1|p2";
        // One of these two is the second of its model in the bus order.
        QTest::newRow("exact serial, first printer") << "Orvo/K20NW?serial=AB1234"
                                                     << "p1";
        QTest::newRow("exact serial, other printer") << "Orvo/K20NW?serial=CD5678"
                                                     << "p2";
        QTest::newRow("prefix ignoring case") << "Orvo/K20NW?serial=ab12"
                                              << "p1";
        QTest::newRow("longer than the device's serial") << "Orvo/K20NW?serial=AB12345"
                                                         << "";
        QTest::newRow("no such serial") << "Orvo/K20NW?serial=ZZ"
                                        << "";
        QTest::newRow("63 characters") << QString("Orvo/K40N?serial=" + c_strSerial63) << "p3";
        QTest::newRow("63 characters, last one differs") << QString("Orvo/K40N?serial=" + c_strSerial63.left(62) + "Y") << "";
        QTest::newRow("model without a printer") << "Orvo/K20W?serial=AB1234"
                                                 << "";
    }
    void serialTest()
    {
        QFETCH(QString, uri);
        QFETCH(QString, target);
        const QStringList targets = target.split('|', Qt::SkipEmptyParts);
        for (const QString &id : targets)
            SimCtl("queue " + id + " bulkin 00");
        const int pid = uri.contains("K40N?") ? 0x2009 : uri.contains("K20W?") ? 0x2007
                                                                               : 0x2005;
        const stExchange ex = Send(pid, uri);
        QString sent;  // all that was written, to whichever device
        for (const char *id : {"p1", "p2", "p3"}) {
            const QString out = BulkOut(id);
            QVERIFY2(out.isEmpty() || targets.contains(id), id);
            sent += out;
        }
        QCOMPARE(sent, targets.isEmpty() ? QString() : c_strCommandHex);
        if (target.isEmpty()) {
            QCOMPARE(ex.iResult, -2);
            const QString log = Log();
            QVERIFY2(log.contains("USBSendRecvData) *** get_device_descriptor failed!"), qPrintable(log));
            QVERIFY(log.contains("*** error=LIBUSB_ERROR_INVALID_PARAM"));
            QVERIFY(log.contains("*** success!"));
        } else {
            QCOMPARE(ex.iResult, 0);
            QCOMPARE(ex.iRecvSize, 1);
        }
    }

    void emptyReply()
    {
        bool ok = false;
        SimCtl("queue p1 bulkin", &ok);
        QVERIFY(ok);  // an empty HEX is a zero-length reply
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=AB1234");
        QCOMPARE(ex.iResult, 0);
        QCOMPARE(ex.iRecvSize, 0);
        QVERIFY(Log().contains("*** iRecvSize = 0"));
    }

    void noReply()
    {
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=AB1234");
        QCOMPARE(ex.iResult, -7);
        QCOMPARE(BulkOut("p1"), c_strCommandHex);  // the command itself went out
        const QString log = Log();
        QVERIFY(log.contains("*** bulk_transfer failed!"));
        QVERIFY(log.contains("*** error=LIBUSB_ERROR_TIMEOUT"));
    }

    void partialWrite()
    {
        bool ok = false;
        SimCtl("maint p1 partial 4", &ok);
        QVERIFY(ok);
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=AB1234");
        QCOMPARE(ex.iResult, -6);
        QCOMPARE(BulkOut("p1"), c_strCommandHex.left(8));
        const QString log = Log();
        QVERIFY(log.contains("USBSendRecvData) *** bulk_transfer failed!"));
        QVERIFY2(!log.contains("*** error="), qPrintable(log));  // a short write has no error name
    }

    // A printer interface whose bulk OUT is not 0x01 is never chosen.
    void otherOutEndpoint()
    {
        for (const char *command : {"stream p1 endpoint 2", "unplug p1", "plug p1"}) {
            bool ok = false;
            SimCtl(command, &ok);
            QVERIFY2(ok, command);
        }
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=AB1234");
        for (const char *command : {"stream p1 endpoint 1", "unplug p1", "plug p1"})
            SimCtl(command);
        QCOMPARE(ex.iResult, -3);
        QVERIFY(Log().contains("*** get_device_endpoint failed! rv:-2"));
    }

    // An interface another program holds cannot be claimed, also after the kernel driver
    // (bound again by the replug) was detached: -5.
    void interfaceHeld()
    {
        bool ok = false;
        for (const char *command : {"unplug p2", "plug p2", "stream p2 busy on"}) {
            SimCtl(command, &ok);
            QVERIFY2(ok, command);
        }
        const stExchange ex = Send(0x2005, "Orvo/K20NW?serial=CD5678");
        SimCtl("stream p2 busy off", &ok);
        QCOMPARE(ex.iResult, -5);
        QCOMPARE(BulkOut("p2"), QString());
        const QString log = Log();
        QVERIFY2(log.contains("*** libusb_claim_interface failed! rv-6"), qPrintable(log));
        QVERIFY(log.contains("*** error=LIBUSB_ERROR_BUSY"));
    }

    void unplugged()
    {
        bool ok = false;
        SimCtl("unplug p3", &ok);
        QVERIFY(ok);
        const stExchange ex = Send(0x2009, "Orvo/K40N?serial=" + c_strSerial63);
        SimCtl("plug p3", &ok);
        QVERIFY(ok);
        QCOMPARE(ex.iResult, -2);
    }
};

QTEST_GUILESS_MAIN(TstUsb)
#include "tst_usb.moc"
