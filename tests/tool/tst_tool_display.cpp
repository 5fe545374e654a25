// The printer table's set-up and texts, the window's shape, the tray menu, and how the
// window hides or exits.
#include "ToolEntry.h"
#include "ToolBalloon.h"
#include "orvo-statusview.h"
#include "orvo-statustext.h"
#include "tool-fixture.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QtTest>

class TstToolDisplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void tableSetup();
    void connectText();
    void inkWords_data();
    void inkWords();
    void inkLine();
    void statusCellError();
    void statusCellWarning();
    void statusCellReady();
    void windowAndMenu();
    void hideArgument();
    void closeWithAndWithoutTray();
    void updaterEntry();
};

void TstToolDisplay::tableSetup()
{
    TestToolWidget w;
    QTableWidget *t = w.DeviceTable();
    QCOMPARE(t->objectName(), QString("tableDeviceManage"));
    QCOMPARE(t->geometry(), QRect(20, 20, 820, 260));
    QCOMPARE(t->columnCount(), 4);
    const QStringList headers = {"打印机名称", "连接方式", "剩余墨水量", "状态"};
    for (int c = 0; c < 4; ++c)
        QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
    QCOMPARE(t->columnWidth(0), 120);
    QCOMPARE(t->columnWidth(1), 150);
    QCOMPARE(t->columnWidth(2), 345);
    QVERIFY(t->horizontalHeader()->stretchLastSection());
    QVERIFY(!t->horizontalHeader()->sectionsClickable());
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TstToolDisplay::connectText()
{
    QCOMPARE(GetConnectText(MakeInfo("a", CONNECT_USB, "Orvo/K20NW?serial=1")), QString("USB"));
    QCOMPARE(GetConnectText(MakeInfo("b", CONNECT_NET, "127.0.0.5")), QString("网络(127.0.0.5)"));
    QCOMPARE(GetConnectText(MakeInfo("c", CONNECT_NONE, "x")), QString("网络(x)"));
}

void TstToolDisplay::inkWords_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QString>("word");
    const uint values[] = {100, 70, 69, 40, 39, 16, 15, 1, 0, 101};
    const char *words[] = {"高", "高", "中", "中", "较低", "较低", "低", "低", "无", "无"};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("%u", values[i]) << values[i] << QString::fromUtf8(words[i]);
}

void TstToolDisplay::inkWords()
{
    QFETCH(uint, value);
    QFETCH(QString, word);
    QCOMPARE(GetRemainInkStr(value), word);
}

void TstToolDisplay::inkLine()
{
    stPrinterState s;
    QCOMPARE(GetInkLineText(s), QString("青色：无   红色：无   黄色：无   黑色：无"));
    s.dwBlueInkRemainer = 80;
    s.dwRedInkRemainer = 50;
    s.dwYellowInkRemainer = 20;
    s.dwBlackInkRemainer = 5;
    QCOMPARE(GetInkLineText(s), QString("青色：高   红色：中   黄色：较低   黑色：低"));
    // The value is taken as a 32-bit percentage.
    s.dwBlackInkRemainer = (uint64_t(1) << 32) + 75;
    QVERIFY(GetInkLineText(s).endsWith("黑色：高"));
}

void TstToolDisplay::statusCellError()
{
    stPrinterState s;
    s.enCurrentStatus = PS_PRINTING;
    s.listError = {enErrorStatus(32), enErrorStatus(45)};
    s.listWarning = {enErrorStatus(25)};
    QCOMPARE(GetStatusCellText(s, 1), QString("彩色墨水已用完，请在打印机上操作"));
    // Appearing together, each error and the warning get a line, errors first.
    stTrayBalloon b = GetStatusBalloon(s, {}, 1);
    QVERIFY(b.bShow);
    QCOMPARE(b.enIcon, QSystemTrayIcon::Critical);
    QCOMPARE(b.strText, GetErrorDescText(enErrorStatus(32), 1) + "\n" + GetErrorDescText(enErrorStatus(45), 1)
                            + "\n" + GetErrorDescText(enErrorStatus(25), 1));
    QVERIFY(b.strText.startsWith("彩色墨水已用完，请在打印机上操作\n"));

    // Announced once: the same errors and warning again, or fewer of them, say nothing.
    QVERIFY(!GetStatusBalloon(s, s, 1).bShow);
    stTrayBalloon fewer = GetStatusBalloon(stPrinterState(), s, 1);
    QVERIFY(!fewer.bShow);
    // A new error beside the ones that stay: only the new one.
    stPrinterState more = s;
    more.listError.prepend(enErrorStatus(33));
    b = GetStatusBalloon(more, s, 1);
    QCOMPARE(b.enIcon, QSystemTrayIcon::Critical);
    QCOMPARE(b.strText, GetErrorDescText(enErrorStatus(33), 1));
    // A new warning while the errors stay: a warning balloon with that warning alone.
    stPrinterState warned = s;
    warned.listWarning.append(enErrorStatus(31));
    b = GetStatusBalloon(warned, s, 1);
    QCOMPARE(b.enIcon, QSystemTrayIcon::Warning);
    QCOMPARE(b.strText, GetErrorDescText(enErrorStatus(31), 1));
}

void TstToolDisplay::statusCellWarning()
{
    stPrinterState s;
    s.enCurrentStatus = PS_PRINTING;
    s.listWarning = {enErrorStatus(25), enErrorStatus(31)};
    QCOMPARE(GetStatusCellText(s, 1), QString("正在打印(墨水量低)"));
    stTrayBalloon b = GetStatusBalloon(s, {}, 1);
    QCOMPARE(b.enIcon, QSystemTrayIcon::Warning);
    QCOMPARE(b.strText, "墨水量低\n" + GetErrorDescText(enErrorStatus(31), 1));

    // Cyan low has no Chinese text: the parentheses stay, the balloon is empty.
    s.listWarning = {enErrorStatus(28)};
    QCOMPARE(GetStatusCellText(s, 1), QString("正在打印()"));
    b = GetStatusBalloon(s, {}, 1);
    QVERIFY(b.bShow);
    QCOMPARE(b.strText, QString());

    s.enCurrentStatus = PS_READY;
    s.listWarning = {enErrorStatus(25)};
    QCOMPARE(GetStatusCellText(s, 1), QString("就绪"));
    b = GetStatusBalloon(s, {}, 1);
    QCOMPARE(b.enIcon, QSystemTrayIcon::Warning);
    QCOMPARE(b.strText, QString("墨水量低"));
}

void TstToolDisplay::statusCellReady()
{
    stPrinterState s;
    QCOMPARE(GetStatusCellText(s, 1), QString("脱机"));
    QVERIFY(!GetStatusBalloon(s, {}, 1).bShow);
    s.enCurrentStatus = PS_READY;
    QCOMPARE(GetStatusCellText(s, 1), QString("就绪"));
    QVERIFY(!GetStatusBalloon(s, {}, 1).bShow);
    s.enCurrentStatus = PS_SCAN_BACK;
    QCOMPARE(GetStatusCellText(s, 1), QString("打印机任务中"));
}

void TstToolDisplay::windowAndMenu()
{
    TestToolWidget w;
    QCOMPARE(w.objectName(), QString("OrvoPrinterToolWidget"));
    QCOMPARE(w.size(), QSize(860, 300));
    QCOMPARE(w.minimumSize(), QSize(860, 300));
    QCOMPARE(w.maximumSize(), QSize(860, 300));
    QVERIFY(w.windowFlags() & Qt::CustomizeWindowHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.windowTitle(), QString("Orvo喷墨打印机助手"));
    QVERIFY(!w.windowIcon().isNull());
    const QRect desk = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.pos(), QPoint((desk.width() - 860) / 2, (desk.height() - 300) / 2));

    QVERIFY(w.TrayIcon()->isVisible());
    QCOMPARE(w.TrayIcon()->toolTip(), QString("Orvo喷墨打印机助手"));
    QCOMPARE(w.TrayIcon()->contextMenu(), w.TrayMenu());
    QStringList entries;
    for (QAction *a : w.TrayMenu()->actions()) {
        QVERIFY(!a->isSeparator());
        entries << a->text();
    }
    QCOMPARE(entries, QStringList({"显示主界面", "打印机更新助手", "设置", "退出"}));

    // A single click shows the window; other activations do nothing.
    QVERIFY(!w.isVisible());
    w.SlotActivatedTrayIcon(QSystemTrayIcon::DoubleClick);
    QVERIFY(!w.isVisible());
    w.SlotActivatedTrayIcon(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    // Shown from the tray, the window keeps its title-bar buttons: no maximize.
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    w.hide();
    w.TrayMenu()->actions().at(0)->trigger();
    QVERIFY(w.isVisible());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    // The settings entry opens the dialog as a window of its own.
    w.TrayMenu()->actions().at(2)->trigger();
    QVERIFY(w.SettingDialog()->isVisible());
    QVERIFY(w.SettingDialog()->isWindow());
    w.SettingDialog()->close();
    QVERIFY(!w.SettingDialog()->isVisible());
    // No log file is written.
    QVERIFY(QDir(OrvoToolPath()).entryList({"log_tool*"}, QDir::Files).isEmpty());
}

void TstToolDisplay::hideArgument()
{
    char prog[] = "orvoK500Tool", hide[] = "-hide", mixed[] = "-HiDe", other[] = "-x";
    char *none[] = {prog};
    char *first[] = {prog, hide};
    char *later[] = {prog, other, mixed};
    char *wrong[] = {prog, other};
    QVERIFY(!CheckIsHide(1, none));
    QVERIFY(CheckIsHide(2, first));
    QVERIFY(CheckIsHide(3, later));
    QVERIFY(!CheckIsHide(2, wrong));
    QVERIFY(!ShowWindowAtStart(true, true));
    QVERIFY(ShowWindowAtStart(true, false));
    QVERIFY(ShowWindowAtStart(false, true));
}

void TstToolDisplay::closeWithAndWithoutTray()
{
    TestToolWidget tray(true);
    tray.show();
    QVERIFY(!tray.close());
    QVERIFY(!tray.isVisible());
    QVERIFY(tray.TrayIcon()->isVisible());
    QVERIFY(!tray.DeviceManager()->IsQuitRequested());

    // Without a tray host, closing is the way out: everything stops.
    TestToolWidget bare(false);
    bare.show();
    QVERIFY(bare.close());
    QVERIFY(!bare.TrayIcon()->isVisible());
    QVERIFY(bare.DeviceManager()->IsQuitRequested());
}

void TstToolDisplay::updaterEntry()
{
    TestToolWidget w;
    QAction *update = w.TrayMenu()->actions().at(1);
    // A missing updater is not reported (the sandbox's installed one is taken away).
    QFile::remove(OrvoBinPath() + "orvoK500FW");
    QVERIFY(!QFile::exists(OrvoBinPath() + "orvoK500FW"));
    // No window of any kind appears, modal or not.
    const auto shownWindows = [] {
        int n = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            n += top->isVisible() ? 1 : 0;
        return n;
    };
    const int before = shownWindows();
    update->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(shownWindows(), before);

    // A stand-in updater that records how it was started.
    const QString marker = OrvoToolPath() + "updater-ran";
    QDir().mkpath(OrvoBinPath());
    QDir().mkpath(OrvoToolPath());
    QFile script(OrvoBinPath() + "orvoK500FW");
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QString("#!/bin/sh\necho \"$# $PPID\" > '%1'\n").arg(marker).toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    update->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFileInfo(marker).size() > 0, 5000);
    QFile f(marker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = f.readAll().trimmed().split(' ');
    QCOMPARE(fields.value(0), QByteArray("0"));  // no arguments
    QVERIFY(fields.value(1).toLongLong() != QCoreApplication::applicationPid());  // detached
    QFile::remove(script.fileName());
}

QTEST_MAIN(TstToolDisplay)
#include "tst_tool_display.moc"
