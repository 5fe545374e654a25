// The updater's window end to end against the simulated printer: images arrive byte-exact,
// an unplugged printer is tried three times, a printer that stops taking data ends each
// attempt at the bound while the window keeps running, and a second upload is refused.
#include "FWUpdateAttempts.h"
#include "FWUpdateResources.h"
#include "FWUpdateTask.h"
#include "fw-fixture.h"
#include "orvo-log.h"
#include "widget.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>

class TestWidget : public Widget {
public:
    explicit TestWidget(unsigned int timeoutMs = c_uiFWChunkTimeoutMs) { uiChunkTimeoutMs = timeoutMs; }
};

class TstFWEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void sizes();
    void unplugged();
    void stallAndSecondUpload();

private:
    QTemporaryDir tmp;
};

namespace {
const QString c_strConfirm = "是否升级打印机 Office_K40N ？";
const QString c_strSuccess = "操作成功，请等待打印机更新完成，更新过程中请勿断开电源。";

// Selects the printer, names the file and presses "一键升级"; returns when the click's
// handler has ended (the hand answers the boxes meanwhile).
void Upload(Widget &w, const QString &path)
{
    w.findChild<QTableWidget *>("tablePrinterList")->setCurrentCell(0, 0);
    w.findChild<QLineEdit *>("lineFilePath")->setText(path);
    w.findChild<QPushButton *>("buttonOK")->click();
}

int LogCount(const QString &line)
{
    QFile f(CurrentLogFile());  // not made before the first line
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()).count(line) : 0;
}
}  // namespace

void TstFWEndToEnd::initTestCase()
{
    RegisterFWUpdateResources();
    QVERIFY(tmp.isValid());
    WriteFWPrinterList({MakeFWInfo("Office_K40N", "Orvo K40N", CONNECT_USB, c_strSimPort)});
    SetLogTarget(tmp.filePath("log"), "log_fwupdate");
    SetLogEnable(true);
}

void TstFWEndToEnd::init()
{
    QVERIFY(SimCtl({"plug", c_strSimId}));
    QVERIFY(SimCtl({"clear", c_strSimId}));
}

void TstFWEndToEnd::sizes()
{
    TestWidget w;
    const struct {
        qint64 size;
        const char *prefix;
    } cases[] = {{0, ""}, {1048576, "file://"}, {1048577, ""}, {5 * 1048576, "url"}};
    for (const auto &c : cases) {
        // The URL case as a file manager pastes it: percent-encoded, blanks and Chinese included.
        const QString path = tmp.filePath(QString("固件 v2 %1.fls").arg(c.size));
        const QByteArray image = MakeImageFile(path, c.size, quint32(c.size) + 11);
        QVERIFY(SimCtl({"stream", c_strSimId, "clear"}));
        ModalHand hand;
        const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
        QVERIFY(url.contains("%E5%9B%BA%E4%BB%B6%20v2%20"));
        Upload(w, QString(c.prefix) == "url" ? url : c.prefix + path);
        // An empty file is no firmware: refused after the confirmation, nothing written.
        QCOMPARE(hand.listMessages,
                 (QStringList{c_strConfirm, c.size == 0 ? "读取升级文件失败，请检查文件状态！" : c_strSuccess}));
        QCOMPARE(w.findChild<QLineEdit *>("lineFilePath")->text(), path);
        const QList<stSimAttempt> attempts = SimAttempts();
        if (c.size == 0) {
            QCOMPARE(attempts.size(), 0);
            continue;
        }
        QCOMPARE(attempts.size(), 1);
        QCOMPARE(attempts[0].llBytes, c.size);
        QCOMPARE(attempts[0].strSha256, Sha256Hex(image));
        QCOMPARE(attempts[0].iTransfers, int((c.size + c_iFWChunkSize - 1) / c_iFWChunkSize));
    }
}

void TstFWEndToEnd::unplugged()
{
    QVERIFY(SimCtl({"unplug", c_strSimId}));
    const QString path = tmp.filePath("fw.fls");
    MakeImageFile(path, 1048576, 3);
    const int before = LogCount("*** get_device_descriptor failed! \n");
    TestWidget w;
    ModalHand hand;
    QElapsedTimer clock;
    clock.start();
    Upload(w, path);
    QCOMPARE(hand.listMessages, (QStringList{c_strConfirm, "连接打印机失败，请检查连接状态！"}));
    QCOMPARE(LogCount("*** get_device_descriptor failed! \n") - before, 3);
    QVERIFY(clock.elapsed() >= 3 * c_iFWRetryPauseMs);
    QCOMPARE(SimAttempts().size(), 0);
}

// The printer takes 512 KiB of each attempt and then nothing. Each attempt ends at the
// bound, three in all, and the window's event loop keeps running: the progress dialog
// shows the attempts, and a second window's upload is refused meanwhile. Afterwards the
// lock is free again.
void TstFWEndToEnd::stallAndSecondUpload()
{
    const unsigned int bound = 2000;
    QVERIFY(SimCtl({"stream", c_strSimId, "hold", "524288"}));
    const QString path = tmp.filePath("fw.fls");
    MakeImageFile(path, 3 * 1048576, 5);
    TestWidget first(bound), second(bound);
    first.show();
    second.show();
    ModalHand hand;
    bool transferRanMeanwhile = false;
    hand.fnDuringTransfer = [&]() {
        Upload(second, path);
        transferRanMeanwhile = first.findChild<FWProgressDialog *>() != nullptr;
    };
    QElapsedTimer clock;
    clock.start();
    Upload(first, path);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(hand.listMessages, (QStringList{c_strConfirm, c_strConfirm, "打印机正在升级中，请等待当前升级完成后再试！",
                                             "与打印机通信失败，请检查打印机状态并重新尝试更新！"}));
    QVERIFY(transferRanMeanwhile);
    const QList<stSimAttempt> attempts = SimAttempts();
    QCOMPARE(attempts.size(), 3);  // the refused upload sent nothing
    for (const stSimAttempt &a : attempts)
        QCOMPARE(a.llBytes, 524288);
    QVERIFY2(elapsed >= 3 * bound, qPrintable(QString::number(elapsed)));
    // A window blocked by the transfer would not have ticked for a whole attempt.
    QVERIFY2(hand.llMaxGapMs < bound, qPrintable(QString::number(hand.llMaxGapMs)));
    QVERIFY(hand.iTicksDuringTransfer >= 20);
    QVERIFY(hand.listProgress.first().contains("Office_K40N"));
    QVERIFY(!hand.listProgress.first().contains("尝试"));
    bool second2 = false, third = false;
    for (const QString &t : hand.listProgress) {
        second2 = second2 || t.startsWith("第 2 次尝试：");
        third = third || t.startsWith("第 3 次尝试：");
    }
    QVERIFY2(second2 && third, qPrintable(hand.listProgress.join('\n')));

    QVERIFY(SimCtl({"stream", c_strSimId, "hold", "off"}));
    QVERIFY(SimCtl({"stream", c_strSimId, "clear"}));
    hand.listMessages.clear();
    hand.fnDuringTransfer = nullptr;
    Upload(second, path);
    QCOMPARE(hand.listMessages, (QStringList{c_strConfirm, c_strSuccess}));
    QCOMPARE(SimAttempts().size(), 1);
}

QTEST_MAIN(TstFWEndToEnd)
#include "tst_fw_e2e.moc"
