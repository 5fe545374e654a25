// Rows and tray balloons follow the status files through the real workers: one balloon per
// visible change, none for counters the table does not show.
#include "ToolEntry.h"
#include "tool-fixture.h"

#include <QTableWidget>
#include <QtTest>

class TstToolBalloons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void errorBalloon();
    void warningWhilePrinting();
    void counterChangeIsSilent();
};

void TstToolBalloons::errorBalloon()
{
    WritePrinterList({MakeInfo("Orvo-A", CONNECT_USB, "Orvo/K20NW?serial=A"),
                      MakeInfo("Orvo-B", CONNECT_NET, "127.0.0.7")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 2, 4000);

    stSimPrinter p;
    p.byStatus = 0x10;
    p.listError = {0x6151, 0x6100};
    p.listWarning = {0x6160};
    p.iBlue = 80;
    p.iRed = 50;
    p.iYellow = 20;
    p.iBlack = 5;
    QVERIFY(WriteStatusFile("Orvo-B", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 1, 3000);
    const stBalloon b = w.listBalloon.first();
    QCOMPARE(b.strTitle, QString("Orvo-B"));
    // Both errors and the warning appeared: one line each, errors first.
    QVERIFY(b.strText.startsWith("彩色墨水已用完，请在打印机上操作\n"));
    QCOMPARE(b.strText.split('\n').size(), 3);
    QVERIFY(b.strText.endsWith("\n墨水量低"));
    QCOMPARE(b.enIcon, QSystemTrayIcon::Critical);
    QCOMPARE(b.iMs, 3000);
    QCOMPARE(CellText(w, 1, 3), QString("彩色墨水已用完，请在打印机上操作"));
    QCOMPARE(CellText(w, 1, 2), QString("青色：高   红色：中   黄色：较低   黑色：低"));
    QCOMPARE(CellText(w, 0, 3), QString("脱机"));

    // The errors stay while the inks change: the row follows, no second balloon.
    p.iBlack = 90;
    QVERIFY(WriteStatusFile("Orvo-B", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 1, 2), QString("青色：高   红色：中   黄色：较低   黑色：高"), 3000);
    QCOMPARE(w.listBalloon.size(), 1);
    // One error goes, the other stays: nothing new to announce. Waited for in the window, not
    // only in the list (the worker, woken at once, could take the next file before the window
    // saw this one): its row update is queued before this count's.
    int shown = 0;
    connect(
        w.StatusWorkers().at(1), &TrdGetPrinterStatus::SgnUpdatePrinterStatus, &w, [&shown] { ++shown; },
        Qt::QueuedConnection);
    p.listError = {0x6151};
    QVERIFY(WriteStatusFile("Orvo-B", BuildResponse(p)));
    const auto errors = [&w] {
        QMutexLocker lock(&w.PrinterList().mutexList);
        return w.PrinterList().listPrinter.at(1).stState.listError.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(errors() == 1 && shown > 0, 3000);
    QCOMPARE(w.listBalloon.size(), 1);
    // It comes back: announced again, alone.
    p.listError = {0x6151, 0x6100};
    QVERIFY(WriteStatusFile("Orvo-B", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 2, 3000);
    QCOMPARE(w.listBalloon.at(1).enIcon, QSystemTrayIcon::Critical);
    QVERIFY(!w.listBalloon.at(1).strText.contains('\n'));

    // A signal for a row that does not exist changes nothing.
    w.SlotUpdatePrinterStatus(5);
    w.SlotUpdatePrinterStatus(-1);
    QCOMPARE(w.listBalloon.size(), 2);
    QCOMPARE(w.DeviceTable()->rowCount(), 2);
}

void TstToolBalloons::warningWhilePrinting()
{
    WritePrinterList({MakeInfo("Orvo-W", CONNECT_USB, "Orvo/K20NW?serial=W")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 1, 4000);

    stSimPrinter p;
    p.byStatus = 0x10;
    p.listWarning = {0x6163};  // cyan low: no Chinese text
    p.iBlue = 10;
    QVERIFY(WriteStatusFile("Orvo-W", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 1, 3000);
    QCOMPARE(w.listBalloon.at(0).enIcon, QSystemTrayIcon::Warning);
    QCOMPARE(w.listBalloon.at(0).strText, QString());
    QCOMPARE(w.listBalloon.at(0).strTitle, QString("Orvo-W"));
    QCOMPARE(CellText(w, 0, 3), QString("正在打印()"));

    // A second warning appears before the first: only it is announced.
    p.listWarning = {0x6160, 0x6163};
    QVERIFY(WriteStatusFile("Orvo-W", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 2, 3000);
    QCOMPARE(w.listBalloon.at(1).strText, QString("墨水量低"));
    QCOMPARE(CellText(w, 0, 3), QString("正在打印(墨水量低)"));

    // Ready with the same warning: the status text alone, and no second balloon.
    p.byStatus = 0x00;
    QVERIFY(WriteStatusFile("Orvo-W", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("就绪"), 3000);
    QCOMPARE(w.listBalloon.size(), 2);

    // All clear: the row changes, no balloon.
    p.listWarning.clear();
    p.iBlue = 90;
    QVERIFY(WriteStatusFile("Orvo-W", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：高   红色：无   黄色：无   黑色：无"), 3000);
    QCOMPARE(w.listBalloon.size(), 2);

    // The warning appears again: announced again.
    p.listWarning = {0x6160};
    QVERIFY(WriteStatusFile("Orvo-W", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 3, 3000);
    QCOMPARE(w.listBalloon.at(2).strText, QString("墨水量低"));
    QCOMPARE(w.listBalloon.at(2).enIcon, QSystemTrayIcon::Warning);
}

void TstToolBalloons::counterChangeIsSilent()
{
    WritePrinterList({MakeInfo("Orvo-C", CONNECT_NET, "127.0.0.8")});
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 1, 4000);

    stSimPrinter p;
    p.byStatus = 0x00;
    p.listWarning = {0x6160};
    p.iBlack = 60;
    QVERIFY(WriteStatusFile("Orvo-C", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 1, 3000);

    // Waste toner and page counter only: nothing visible changed, no balloon.
    const auto pages = [&w] {
        QMutexLocker lock(&w.PrinterList().mutexList);
        return w.PrinterList().listPrinter.at(0).stState.dwNumberOfPages;
    };
    p.iWaste = 300;
    p.iPages = 1234;
    QVERIFY(WriteStatusFile("Orvo-C", BuildResponse(p)));
    // The file was read all the same.
    QTRY_COMPARE_WITH_TIMEOUT(pages(), uint64_t(1234), 3000);
    QCOMPARE(w.listBalloon.size(), 1);

    // An ink change with the warning still there: the row changes, no balloon.
    p.iBlack = 30;
    QVERIFY(WriteStatusFile("Orvo-C", BuildResponse(p)));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：无   红色：无   黄色：无   黑色：较低"), 3000);
    QCOMPARE(w.listBalloon.size(), 1);
}

QTEST_MAIN(TstToolBalloons)
#include "tst_tool_balloons.moc"
