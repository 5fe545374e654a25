// The updater's window without a printer: its form, the printer table, the checks of
// "一键升级" up to the transfer, the file check and its bound, the result texts, the
// transfer lock and the progress dialog.
#include "FWUpdateAttempts.h"
#include "FWUpdateLock.h"
#include "FWUpdateResources.h"
#include "fw-fixture.h"
#include "widget.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>
#include <sys/file.h>
#include <unistd.h>

class TstFWWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void form();
    void onlyUsbPrintersListed();
    void connectionByStatusFile();
    void modelIgnoresCase();
    void checksBeforeTransfer_data();
    void checksBeforeTransfer();
    void confirmationCancelled();
    void refusedAfterConfirmation();
    void browse();
    void checkFWFile();
    void checkFWFileBound();
    void resultTexts();
    void lockExclusive();
    void lockReleasedWhenHolderDies();
    void lockUnusableDoesNotStopUpdate();
    void progressDialog();

private:
    QTemporaryDir tmp;
};

namespace {
QString Cell(QTableWidget *t, int row, int col)
{
    const QTableWidgetItem *item = t->item(row, col);
    return item ? item->text() : QString();
}
}  // namespace

void TstFWWindow::initTestCase()
{
    RegisterFWUpdateResources();
    QVERIFY(tmp.isValid());
    QDir().mkpath(OrvoCfgPath());
}

void TstFWWindow::form()
{
    WriteFWPrinterList({});
    Widget w;
    QCOMPARE(w.windowTitle(), QString("Orvo喷墨打印机升级助手"));
    QCOMPARE(w.size(), QSize(520, 400));
    QCOMPARE(w.minimumSize(), QSize(520, 400));
    QCOMPARE(w.maximumSize(), QSize(520, 400));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());
    const struct {
        const char *name;
        QRect geometry;
        const char *text;
    } expected[] = {
        {"label", QRect(20, 20, 200, 20), "选择您要升级的打印机："},
        {"tablePrinterList", QRect(20, 40, 480, 200), nullptr},
        {"buttonRefresh", QRect(420, 245, 80, 26), "刷新列表"},
        {"label_2", QRect(20, 280, 200, 20), "选择您要升级的固件："},
        {"lineFilePath", QRect(20, 300, 380, 26), nullptr},
        {"buttonBrowse", QRect(420, 300, 80, 26), "浏览"},
        {"buttonOK", QRect(420, 355, 80, 26), "一键升级"},
    };
    for (const auto &e : expected) {
        QWidget *child = w.findChild<QWidget *>(e.name);
        QVERIFY2(child, e.name);
        QCOMPARE(child->geometry(), e.geometry);
        if (e.text)
            QCOMPARE(child->property("text").toString(), QString::fromUtf8(e.text));
    }
    QVERIFY(w.findChild<QPushButton *>("buttonRefresh")->isDefault());
    auto *table = w.findChild<QTableWidget *>("tablePrinterList");
    QCOMPARE(table->columnCount(), 4);
    const QStringList heads{"打印机名称", "打印机型号", "连接方式", "连接状态"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(table->horizontalHeaderItem(i)->text(), heads[i]);
    QVERIFY(table->horizontalHeader()->stretchLastSection());
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
}

void TstFWWindow::onlyUsbPrintersListed()
{
    WriteFWPrinterList({MakeFWInfo("Net1", "Orvo K40N", CONNECT_NET, "127.0.0.2"),
                        MakeFWInfo("Usb1", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1"),
                        MakeFWInfo("Net2", "Orvo K20NW", CONNECT_NET, "127.0.0.3"),
                        MakeFWInfo("Usb2", "Orvo K20NW", CONNECT_USB, "Orvo/K20NW?serial=B2")});
    Widget w;
    auto *table = w.findChild<QTableWidget *>("tablePrinterList");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(Cell(table, 0, 0), QString("Usb1"));
    QCOMPARE(Cell(table, 0, 1), QString("Orvo K40N"));
    QCOMPARE(Cell(table, 0, 2), QString("USB"));
    QCOMPARE(Cell(table, 1, 0), QString("Usb2"));
    QCOMPARE(w.GetPrinterInfo().size(), 2);

    // Only network printers: an empty table, and the button asks for a printer.
    WriteFWPrinterList({MakeFWInfo("Net1", "Orvo K40N", CONNECT_NET, "127.0.0.2")});
    w.findChild<QPushButton *>("buttonRefresh")->click();
    QCOMPARE(table->rowCount(), 0);
    ModalHand hand;
    w.findChild<QPushButton *>("buttonOK")->click();
    QCOMPARE(hand.listMessages, QStringList{"请选择一个打印机进行操作！"});

    // A missing list file is an empty list.
    QVERIFY(QFile::remove(PrinterListFilePath()));
    w.RefreshDeviceTable();
    QCOMPARE(table->rowCount(), 0);
}

void TstFWWindow::connectionByStatusFile()
{
    WriteFWPrinterList({MakeFWInfo("On", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1"),
                        MakeFWInfo("Off", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A2"),
                        MakeFWInfo("Dir", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A3")});
    const QString cfg = OrvoCfgPath();
    QFile::remove(cfg + "Off.dat");
    QFile on(cfg + "On.dat");
    QVERIFY(on.open(QIODevice::WriteOnly | QIODevice::Truncate));  // empty: the content is not read
    on.close();
    QVERIFY(QDir().mkpath(cfg + "Dir.dat"));
    Widget w;
    auto *table = w.findChild<QTableWidget *>("tablePrinterList");
    QCOMPARE(Cell(table, 0, 3), QString("已连接"));
    QCOMPARE(Cell(table, 1, 3), QString("未连接"));
    QCOMPARE(Cell(table, 2, 3), QString("未连接"));

    // The table follows the file only on refresh.
    QVERIFY(QFile::rename(cfg + "On.dat", cfg + "Off.dat"));
    QCOMPARE(Cell(table, 0, 3), QString("已连接"));
    w.findChild<QPushButton *>("buttonRefresh")->click();
    QCOMPARE(Cell(table, 0, 3), QString("未连接"));
    QCOMPARE(Cell(table, 1, 3), QString("已连接"));
    QFile::remove(cfg + "Off.dat");
    QDir(cfg + "Dir.dat").removeRecursively();
}

void TstFWWindow::modelIgnoresCase()
{
    WriteFWPrinterList({});
    Widget w;
    int vid = 0, pid = 0;
    QVERIFY(w.GetPrinterVidPid("Orvo K40N", vid, pid));
    QCOMPARE(vid, 0x300E);
    QCOMPARE(pid, 0x2009);
    vid = pid = 0;
    QVERIFY(w.GetPrinterVidPid("oRVO k40n", vid, pid));
    QCOMPARE(pid, 0x2009);
    for (const char *model : {"Orvo K40NW", "Orvo K20NW", "K40N", "Orvo K40N ", ""}) {
        vid = pid = 7;
        QVERIFY2(!w.GetPrinterVidPid(model, vid, pid), model);
        QCOMPARE(vid, 7);
    }
}

void TstFWWindow::checksBeforeTransfer_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("path");  // "@" stands for the test's directory
    QTest::addColumn<QString>("shownPath");
    QTest::addColumn<QString>("message");
    QTest::newRow("directory") << "Orvo K40N"
                               << "@"
                               << "@"
                               << "请检查文件路径！";
    QTest::newRow("file url of a directory") << "Orvo K40N"
                                             << "file://@"
                                             << "@"
                                             << "请检查文件路径！";
    QTest::newRow("missing file") << "Orvo K40N"
                                  << "@/none.fls"
                                  << "@/none.fls"
                                  << "请检查文件路径！";
    QTest::newRow("empty path") << "Orvo K40N"
                                << ""
                                << ""
                                << "请检查文件路径！";
    QTest::newRow("prefix is case-sensitive") << "Orvo K40N"
                                              << "FILE://@/fw.fls"
                                              << "FILE://@/fw.fls"
                                              << "请检查文件路径！";
    QTest::newRow("unsupported model") << "Orvo K20NW"
                                       << "@/fw.fls"
                                       << "@/fw.fls"
                                       << "不支持该打印机型号！";
    QTest::newRow("file url, unsupported model")
        << "Orvo K40NW"
        << "file://@/fw.fls"
        << "@/fw.fls"
        << "不支持该打印机型号！";
    QTest::newRow("file url, model in other case")
        << "ORVO k40n"
        << "file://@/fw.fls"
        << "@/fw.fls"
        << "是否升级打印机 P ？";
}

// Each check stops with its message; the confirmation is answered with Cancel, so nothing
// goes further.
void TstFWWindow::checksBeforeTransfer()
{
    QFETCH(QString, model);
    QFETCH(QString, path);
    QFETCH(QString, shownPath);
    QFETCH(QString, message);
    MakeImageFile(tmp.filePath("fw.fls"), 100, 1);
    path.replace("@", tmp.path());
    shownPath.replace("@", tmp.path());
    WriteFWPrinterList({MakeFWInfo("P", model, CONNECT_USB, "Orvo/K40N?serial=A1")});
    Widget w;
    w.findChild<QTableWidget *>("tablePrinterList")->setCurrentCell(0, 0);
    auto *line = w.findChild<QLineEdit *>("lineFilePath");
    line->setText(path);
    ModalHand hand;
    hand.bConfirm = false;
    w.findChild<QPushButton *>("buttonOK")->click();
    QCOMPARE(hand.listMessages, QStringList{message});
    QCOMPARE(line->text(), shownPath);
}

void TstFWWindow::confirmationCancelled()
{
    WriteFWPrinterList({MakeFWInfo("Office", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1")});
    MakeImageFile(tmp.filePath("fw.fls"), 100, 1);
    Widget w;
    w.findChild<QTableWidget *>("tablePrinterList")->setCurrentCell(0, 0);
    w.findChild<QLineEdit *>("lineFilePath")->setText(tmp.filePath("fw.fls"));
    // Hold the transfer lock: a confirmed update would now be refused with a message.
    stFWUpdateLock held;
    QCOMPARE(TakeFWUpdateLock(held), int(FWLOCK_TAKEN));
    ModalHand hand;
    hand.bConfirm = false;
    w.findChild<QPushButton *>("buttonOK")->click();
    QCOMPARE(hand.listMessages, QStringList{"是否升级打印机 Office ？"});
    hand.bConfirm = true;
    w.findChild<QPushButton *>("buttonOK")->click();
    QCOMPARE(hand.listMessages.size(), 3);
    QCOMPARE(hand.listMessages.at(2), QString("打印机正在升级中，请等待当前升级完成后再试！"));
}

// An empty file and one beyond the size bound are refused once the user has confirmed, each
// with its message, before the printer is looked for. A queue name that looks like markup is
// shown as written, in the table, the boxes and the progress dialog.
void TstFWWindow::refusedAfterConfirmation()
{
    const QString name = "<b>Office</b> & <i>K40N</i>";
    WriteFWPrinterList({MakeFWInfo(name, "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1")});
    MakeImageFile(tmp.filePath("empty.fls"), 0, 0);
    QFile big(tmp.filePath("big.fls"));
    QVERIFY(big.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(big.resize(64LL * 1024 * 1024 + 1));  // sparse
    big.close();
    Widget w;
    auto *table = w.findChild<QTableWidget *>("tablePrinterList");
    QCOMPARE(Cell(table, 0, 0), name);
    table->setCurrentCell(0, 0);
    const QString confirm = "是否升级打印机 " + name + " ？";
    const struct {
        const char *file;
        const char *message;
    } cases[] = {{"empty.fls", "读取升级文件失败，请检查文件状态！"},
                 {"big.fls", "升级文件超过64 MiB，不是打印机的固件，请检查文件！"}};
    for (const auto &c : cases) {
        w.findChild<QLineEdit *>("lineFilePath")->setText(tmp.filePath(c.file));
        ModalHand hand;
        w.findChild<QPushButton *>("buttonOK")->click();
        QCOMPARE(hand.listMessages, (QStringList{confirm, QString::fromUtf8(c.message)}));
        QCOMPARE(hand.listFormats, (QList<Qt::TextFormat>{Qt::PlainText, Qt::PlainText}));
    }
    QFile::remove(tmp.filePath("big.fls"));
    FWProgressDialog dialog(name, 100, &w);
    auto *label = dialog.findChild<QLabel *>("labelProgress");
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->text().contains(name));
}

// The file dialog starts at the home directory, or at the path already there, shows the
// ".fls" filter, and replaces the path only when a file is chosen.
void TstFWWindow::browse()
{
    WriteFWPrinterList({});
    MakeImageFile(tmp.filePath("a.fls"), 10, 1);
    Widget w;
    auto *line = w.findChild<QLineEdit *>("lineFilePath");
    QStringList seen;
    QString choose;  // empty: cancel
    QTimer hand;
    hand.setInterval(10);
    connect(&hand, &QTimer::timeout, this, [&]() {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        seen << dialog->windowTitle() << dialog->directory().absolutePath() << dialog->nameFilters().join(';');
        if (choose.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(choose);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    hand.start();
    w.findChild<QPushButton *>("buttonBrowse")->click();
    QCOMPARE(seen, (QStringList{"选择您要升级的固件：", QDir::homePath(), "fls Files(*.fls)"}));
    QCOMPARE(line->text(), QString());

    choose = tmp.filePath("a.fls");
    seen.clear();
    line->setText(tmp.path());
    w.findChild<QPushButton *>("buttonBrowse")->click();
    QCOMPARE(seen.value(1), tmp.path());
    QCOMPARE(line->text(), tmp.filePath("a.fls"));

    choose.clear();
    w.findChild<QPushButton *>("buttonBrowse")->click();
    QCOMPARE(line->text(), tmp.filePath("a.fls"));
}

void TstFWWindow::checkFWFile()
{
    WriteFWPrinterList({});
    Widget w;
    const QByteArray data = MakeImageFile(tmp.filePath("img.fls"), 3 * 1024 * 1024 + 17, 7);
    unsigned char *buf = nullptr;
    int len = -1;
    QVERIFY(w.CheckFWFile(tmp.filePath("img.fls"), buf, len));
    QCOMPARE(len, data.size());
    QVERIFY(buf);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buf), len), data);
    free(buf);

    // An empty file passes, with length 0.
    MakeImageFile(tmp.filePath("empty.fls"), 0, 0);
    buf = nullptr;
    len = -1;
    QVERIFY(w.CheckFWFile(tmp.filePath("empty.fls"), buf, len));
    QCOMPARE(len, 0);
    free(buf);

    // Unreadable: no buffer.
    buf = nullptr;
    QVERIFY(!w.CheckFWFile(tmp.filePath("missing.fls"), buf, len));
    QVERIFY(!buf);

    // A non-ASCII path in the local 8-bit encoding.
    const QByteArray data2 = MakeImageFile(tmp.filePath("固件 v2.fls"), 4096, 9);
    buf = nullptr;
    QVERIFY(w.CheckFWFile(tmp.filePath("固件 v2.fls"), buf, len));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buf), len), data2);
    free(buf);
}

// Images up to 64 MiB are read; anything larger is refused before a buffer is allocated,
// also beyond what an int holds.
void TstFWWindow::checkFWFileBound()
{
    WriteFWPrinterList({});
    Widget w;
    const qint64 bound = 64LL * 1024 * 1024;
    for (qint64 size : {bound + 1, qint64(INT_MAX) + 1, 5LL * 1024 * 1024 * 1024}) {
        QFile f(tmp.filePath("big.fls"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(f.resize(size));  // sparse: no disk space needed
        f.close();
        unsigned char *buf = nullptr;
        int len = 0;
        QVERIFY2(!w.CheckFWFile(tmp.filePath("big.fls"), buf, len), qPrintable(QString::number(size)));
        QVERIFY(!buf);
    }
    QFile f(tmp.filePath("big.fls"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.resize(bound));
    f.close();
    unsigned char *buf = nullptr;
    int len = 0;
    QVERIFY(w.CheckFWFile(tmp.filePath("big.fls"), buf, len));
    QCOMPARE(qint64(len), bound);
    free(buf);
    QFile::remove(tmp.filePath("big.fls"));
}

void TstFWWindow::resultTexts()
{
    QCOMPARE(FWUpdateResultText(0), QString("操作成功，请等待打印机更新完成，更新过程中请勿断开电源。"));
    QCOMPARE(FWUpdateResultText(-7), QString("与打印机通信失败，请检查打印机状态并重新尝试更新！"));
    for (int r : {-2, -3, -4, -5})
        QCOMPARE(FWUpdateResultText(r), QString("连接打印机失败，请检查连接状态！"));
    QCOMPARE(FWUpdateResultText(-1), QString("设备接口初始化失败！"));
    for (int r : {-6, -8, 1, -100})
        QCOMPARE(FWUpdateResultText(r), QString("未知错误！"));
}

void TstFWWindow::lockExclusive()
{
    {
        stFWUpdateLock first, second;
        QCOMPARE(TakeFWUpdateLock(first), int(FWLOCK_TAKEN));
        QCOMPARE(TakeFWUpdateLock(second), int(FWLOCK_BUSY));
        QCOMPARE(second.iFd, -1);
    }
    stFWUpdateLock again;
    QCOMPARE(TakeFWUpdateLock(again), int(FWLOCK_TAKEN));
    QVERIFY(FWUpdateLockPath().startsWith(OrvoTempPath()));
}

// Another process holds the lock: refused; once that process is killed, taken.
void TstFWWindow::lockReleasedWhenHolderDies()
{
    // The shell itself holds the lock and becomes the sleeping process, so killing it frees it.
    QProcess holder;
    holder.start("bash", {"-c", "exec 9<\"$0\" && flock 9 && echo held && exec sleep 600", FWUpdateLockPath()});
    QVERIFY(holder.waitForReadyRead(20000));
    QCOMPARE(holder.readAll(), QByteArray("held\n"));
    stFWUpdateLock lock;
    QCOMPARE(TakeFWUpdateLock(lock), int(FWLOCK_BUSY));
    holder.kill();
    QVERIFY(holder.waitForFinished(20000));
    QCOMPARE(TakeFWUpdateLock(lock), int(FWLOCK_TAKEN));
}

// A lock file that can be neither opened nor made leaves the update unguarded rather than
// impossible: the transfer runs (and, with no printer on this bus, fails to connect).
void TstFWWindow::lockUnusableDoesNotStopUpdate()
{
    const QString lockPath = FWUpdateLockPath();
    QFile::remove(lockPath);
    QVERIFY(QFile::link(tmp.filePath("no-such-dir/lock"), lockPath));
    stFWUpdateLock lock;
    QCOMPARE(TakeFWUpdateLock(lock), int(FWLOCK_UNAVAILABLE));

    WriteFWPrinterList({MakeFWInfo("Office", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1")});
    MakeImageFile(tmp.filePath("fw.fls"), 100, 1);
    Widget w;
    w.findChild<QTableWidget *>("tablePrinterList")->setCurrentCell(0, 0);
    w.findChild<QLineEdit *>("lineFilePath")->setText(tmp.filePath("fw.fls"));
    ModalHand hand;
    w.findChild<QPushButton *>("buttonOK")->click();
    QCOMPARE(hand.listMessages, (QStringList{"是否升级打印机 Office ？", "连接打印机失败，请检查连接状态！"}));
    QVERIFY(QFile::remove(lockPath));
}

void TstFWWindow::progressDialog()
{
    QWidget parent;
    FWProgressDialog dialog("Office", 3 * 1048576, &parent);
    QVERIFY(dialog.isModal() || dialog.windowModality() == Qt::ApplicationModal);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(dialog.findChildren<QPushButton *>().isEmpty());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *label = dialog.findChild<QLabel *>("labelProgress");
    auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    QVERIFY(label->text().contains("Office"));
    QVERIFY(!label->text().contains("尝试"));
    QCOMPARE(bar->value(), 0);
    dialog.SetProgress(1, 1048576);
    QCOMPARE(bar->value(), 33);
    dialog.SetProgress(2, 0);
    QVERIFY(label->text().startsWith("第 2 次尝试："));
    QCOMPARE(bar->value(), 0);
    dialog.SetProgress(3, 3 * 1048576);
    QVERIFY(label->text().startsWith("第 3 次尝试："));
    QCOMPARE(bar->value(), 100);
    // Neither Esc nor closing the window ends it.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    dialog.accept();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TstFWWindow)
#include "tst_fw_window.moc"
