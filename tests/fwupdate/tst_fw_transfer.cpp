// The firmware stream against the simulated printer (real libusb over the emulated bus):
// how an image is cut into writes, what arrives, the result codes and log lines of each
// failure, and the three attempts.
#include "FWUpdateAttempts.h"
#include "FWUpdateTask.h"
#include "fw-fixture.h"
#include "orvo-log.h"

#include <QtTest>

class TstFWTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void chunking_data();
    void chunking();
    void noSuchPrinter_data();
    void noSuchPrinter();
    void interfaceHeld();
    void noPrinterInterface();
    void printerStopsTakingData();
    void partialWrite();
    void unplugMidStream();
    void retryResendsWholeImage();
    void threeAttemptsWhenUnplugged();

private:
    QString NewLog();
    QTemporaryDir tmp;
    qint64 llLogOffset = 0;
};

namespace {
constexpr int c_iVid = 0x300E;
constexpr int c_iPid = 0x2009;

int Send(const QByteArray &image, unsigned int timeoutMs = c_uiFWChunkTimeoutMs, QList<int> *progress = nullptr,
         const QString &port = c_strSimPort, int pid = c_iPid)
{
    return FWUpdateTask(c_iVid, pid, port, reinterpret_cast<const unsigned char *>(image.constData()),
                        image.size(), timeoutMs, [progress](int sent) {
                            if (progress)
                                progress->append(sent);
                        });
}

QByteArray Image(int n, quint32 seed)
{
    QByteArray data(n, '\0');
    QRandomGenerator gen(seed);
    for (int i = 0; i < n; ++i)
        data[i] = char(gen.generate() & 0xFF);
    return data;
}
}  // namespace

void TstFWTransfer::initTestCase()
{
    QVERIFY(tmp.isValid());
    QVERIFY(SimCtl({"list"}));
    SetLogTarget(tmp.path(), "log_fwupdate");
    SetLogEnable(true);
}

void TstFWTransfer::init()
{
    // A fresh plug with the printer interface's usual endpoints.
    QVERIFY(SimCtl({"stream", c_strSimId, "endpoint", "0x01"}));
    QVERIFY(SimCtl({"unplug", c_strSimId}));
    QVERIFY(SimCtl({"plug", c_strSimId}));
    QVERIFY(SimCtl({"clear", c_strSimId}));
    for (const char *mode : {"hold", "partial", "unplug"})
        QVERIFY(SimCtl({"stream", c_strSimId, mode, "off"}));
    QVERIFY(SimCtl({"stream", c_strSimId, "busy", "off"}));
    NewLog();
}

// The log lines written since the last call.
QString TstFWTransfer::NewLog()
{
    QFile f(CurrentLogFile());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    if (f.size() < llLogOffset)
        llLogOffset = 0;
    f.seek(llLogOffset);
    const QByteArray text = f.readAll();
    llLogOffset += text.size();
    return QString::fromLocal8Bit(text);
}

void TstFWTransfer::chunking_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<qint64>>("writes");
    QTest::newRow("empty") << 0 << QList<qint64>{};
    QTest::newRow("one byte") << 1 << QList<qint64>{1};
    QTest::newRow("1 MiB") << 1048576 << QList<qint64>{1048576};
    QTest::newRow("1 MiB + 1") << 1048577 << QList<qint64>{1048576, 1};
    QTest::newRow("5 MiB") << 5 * 1048576 << QList<qint64>{1048576, 1048576, 1048576, 1048576, 1048576};
    QTest::newRow("3 MiB + 5") << 3 * 1048576 + 5 << QList<qint64>{1048576, 1048576, 1048576, 5};
}

// The printer sees one bulk transfer per chunk, byte-exact, and nothing for an empty image.
void TstFWTransfer::chunking()
{
    QFETCH(int, size);
    QFETCH(QList<qint64>, writes);
    const QByteArray image = Image(size, quint32(size));
    QList<int> progress;
    QCOMPARE(Send(image, c_uiFWChunkTimeoutMs, &progress), 0);
    const QList<stSimAttempt> attempts = SimAttempts();
    if (writes.isEmpty()) {
        QCOMPARE(attempts.size(), 0);
        QCOMPARE(SimQuery({"get", c_strSimId, "bulkoutlen"}).value(1), QString("0 0"));
    } else {
        QCOMPARE(attempts.size(), 1);
        QCOMPARE(attempts[0].llBytes, qint64(size));
        QCOMPARE(attempts[0].iTransfers, writes.size());
        QCOMPARE(attempts[0].listSizes, writes);
        QCOMPARE(attempts[0].strSha256, Sha256Hex(image));
    }
    QList<int> expected;
    qint64 sum = 0;
    for (qint64 w : writes)
        expected.append(int(sum += w));
    QCOMPARE(progress, expected);
    const QString log = NewLog();
    QVERIFY2(log.contains(QString("*** length = %1 \n").arg(writes.isEmpty() ? 0 : writes.last())), qPrintable(log));
    QVERIFY(log.contains("*** success! \n"));
    QVERIFY(!log.contains("*** error="));
}

void TstFWTransfer::noSuchPrinter_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("unplugged");
    QTest::newRow("other serial") << "Orvo/K40N?serial=FW0002" << c_iPid << false;
    QTest::newRow("longer serial") << "Orvo/K40N?serial=FW00011" << c_iPid << false;
    QTest::newRow("other model") << c_strSimPort << 0x2008 << false;
    QTest::newRow("unplugged") << c_strSimPort << c_iPid << true;
}

void TstFWTransfer::noSuchPrinter()
{
    QFETCH(QString, port);
    QFETCH(int, pid);
    QFETCH(bool, unplugged);
    if (unplugged)
        QVERIFY(SimCtl({"unplug", c_strSimId}));
    QCOMPARE(Send(Image(1000, 1), c_uiFWChunkTimeoutMs, nullptr, port, pid), -2);
    const QString log = NewLog();
    QVERIFY(log.contains("*** get_device_descriptor failed! \n"));
    QVERIFY(log.contains("*** error="));  // the search's own code, named as libusb's
    QVERIFY(log.contains("*** success! \n"));
    QCOMPARE(SimAttempts().size(), 0);
}

// Another program holds the printer interface: the claim fails also after the detach.
void TstFWTransfer::interfaceHeld()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "busy", "on"}));
    QCOMPARE(Send(Image(1000, 1)), -5);
    const QString log = NewLog();
    QVERIFY2(log.contains("*** libusb_claim_interface failed! rv-6\n"), qPrintable(log));
    QVERIFY(log.contains("*** error=LIBUSB_ERROR_BUSY"));
    QCOMPARE(SimAttempts().size(), 0);
}

// The printer's printer-class interface has its bulk OUT endpoint elsewhere than 0x01.
void TstFWTransfer::noPrinterInterface()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "endpoint", "0x03"}));
    QVERIFY(SimCtl({"unplug", c_strSimId}));
    QVERIFY(SimCtl({"plug", c_strSimId}));
    QCOMPARE(Send(Image(1000, 1)), -3);
    const QString log = NewLog();
    QVERIFY2(log.contains("*** get_device_endpoint failed! rv:-2 \n"), qPrintable(log));
    QVERIFY(log.contains("*** error="));
    QCOMPARE(SimQuery({"get", c_strSimId, "bulkoutlen"}).value(1), QString("0 0"));
}

// The printer takes 300000 bytes and then nothing: the chunk's bounded wait ends the attempt.
void TstFWTransfer::printerStopsTakingData()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "hold", "300000"}));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Send(Image(2 * 1048576, 3), 400), -7);
    QVERIFY(clock.elapsed() >= 400);
    const QString log = NewLog();
    QVERIFY(log.contains("*** bulk_transfer failed! \n"));
    QVERIFY2(log.contains("*** length = 300000 \n"), qPrintable(log));
    QVERIFY(log.contains("*** error=LIBUSB_ERROR_TIMEOUT"));
    const QList<stSimAttempt> attempts = SimAttempts();
    QCOMPARE(attempts.size(), 1);
    QCOMPARE(attempts[0].llBytes, 300000);
}

// A write the printer takes only partly: -7 without an error name, and no further chunk.
void TstFWTransfer::partialWrite()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "partial", "1500000"}));
    const QByteArray image = Image(3 * 1048576, 4);
    QCOMPARE(Send(image), -7);
    const QString log = NewLog();
    QVERIFY(log.contains("*** bulk_transfer failed! \n"));
    QVERIFY2(log.contains(QString("*** length = %1 \n").arg(1500000 - 1048576)), qPrintable(log));
    QVERIFY(!log.contains("*** error="));
    const QList<stSimAttempt> attempts = SimAttempts();
    QCOMPARE(attempts.size(), 1);
    QCOMPARE(attempts[0].llBytes, 1500000);
    QCOMPARE(attempts[0].iTransfers, 2);
    QCOMPARE(attempts[0].strSha256, Sha256Hex(image.left(1500000)));
}

// Unplugged half-way: that write fails with the device gone; the next call finds no printer.
void TstFWTransfer::unplugMidStream()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "unplug", "600000"}));
    QCOMPARE(Send(Image(2 * 1048576, 5)), -7);
    const QString log = NewLog();
    // libusb names the loss by how it noticed it: the device gone, or its reap failing.
    QVERIFY2(log.contains("*** error=LIBUSB_ERROR_NO_DEVICE") || log.contains("*** error=LIBUSB_ERROR_IO"),
             qPrintable(log));
    QCOMPARE(SimQuery({"get", c_strSimId, "plugged"}).value(1), QString("no"));
    QCOMPARE(Send(Image(1000, 1)), -2);
    QCOMPARE(SimAttempts().size(), 1);
    QCOMPARE(SimAttempts()[0].llBytes, 600000);
}

// The second attempt starts over from the first byte and completes.
void TstFWTransfer::retryResendsWholeImage()
{
    QVERIFY(SimCtl({"stream", c_strSimId, "partial", "700000"}));
    const QByteArray image = Image(1048576 + 4096, 6);
    QList<QPair<int, int>> progress;
    const int result = RunFWUpdateAttempts(c_iVid, c_iPid, c_strSimPort,
                                           reinterpret_cast<const unsigned char *>(image.constData()), image.size(),
                                           c_uiFWChunkTimeoutMs,
                                           [&](int attempt, int sent) { progress.append({attempt, sent}); });
    QCOMPARE(result, 0);
    const QList<stSimAttempt> attempts = SimAttempts();
    QCOMPARE(attempts.size(), 2);
    QCOMPARE(attempts[0].llBytes, 700000);
    QCOMPARE(attempts[1].llBytes, qint64(image.size()));
    QCOMPARE(attempts[1].strSha256, Sha256Hex(image));
    QCOMPARE(attempts[1].listSizes, (QList<qint64>{1048576, 4096}));
    const QList<QPair<int, int>> expected{{1, 0}, {2, 0}, {2, 1048576}, {2, image.size()}};
    QCOMPARE(progress, expected);
}

void TstFWTransfer::threeAttemptsWhenUnplugged()
{
    QVERIFY(SimCtl({"unplug", c_strSimId}));
    const QByteArray image = Image(5000, 7);
    QElapsedTimer clock;
    clock.start();
    const int result = RunFWUpdateAttempts(c_iVid, c_iPid, c_strSimPort,
                                           reinterpret_cast<const unsigned char *>(image.constData()), image.size(),
                                           c_uiFWChunkTimeoutMs);
    QCOMPARE(result, -2);
    QVERIFY(clock.elapsed() >= 3 * c_iFWRetryPauseMs);  // a pause after every attempt, the last one too
    QCOMPARE(NewLog().count("*** get_device_descriptor failed! \n"), 3);
}

QTEST_MAIN(TstFWTransfer)
#include "tst_fw_transfer.moc"
