// The installed print service and the simulated printer feed the tool's row: new ink words,
// then an error text and one critical balloon.
#include "ToolEntry.h"
#include "tool-fixture.h"
#include "tool-sim.h"

#include <QtTest>

class TstToolEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterToolResources(); }
    void inkAndError();
};

void TstToolEndToEnd::inkAndError()
{
    TestToolWidget w;
    QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 1, 15000);
    QCOMPARE(CellText(w, 0, 0), QString("Orvo-USB"));
    QCOMPARE(CellText(w, 0, 1), QString("USB"));
    // The simulator's defaults: black 80, cyan 60, red 40, yellow 20, ready.
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("就绪"), 10000);
    QCOMPARE(CellText(w, 0, 2), QString("青色：中   红色：中   黄色：较低   黑色：高"));
    QVERIFY(w.listBalloon.isEmpty());

    QVERIFY(SimCtl({"set", "ink", "p1", "5", "90", "45", "20"}));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：高   红色：中   黄色：较低   黑色：低"), 5000);
    QCOMPARE(CellText(w, 0, 3), QString("就绪"));
    QVERIFY(w.listBalloon.isEmpty());

    QVERIFY(SimCtl({"set", "errors", "p1", "0x6151"}));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 3), QString("彩色墨水已用完，请在打印机上操作"), 5000);
    QCOMPARE(w.listBalloon.size(), 1);
    QCOMPARE(w.listBalloon.at(0).strTitle, QString("Orvo-USB"));
    QCOMPARE(w.listBalloon.at(0).strText, QString("彩色墨水已用完，请在打印机上操作"));
    QCOMPARE(w.listBalloon.at(0).enIcon, QSystemTrayIcon::Critical);
    // The error stays while another change reaches the row: no second balloon.
    QVERIFY(SimCtl({"set", "ink", "p1", "80", "90", "45", "20"}));
    QTRY_COMPARE_WITH_TIMEOUT(CellText(w, 0, 2), QString("青色：高   红色：中   黄色：较低   黑色：高"), 5000);
    QCOMPARE(CellText(w, 0, 3), QString("彩色墨水已用完，请在打印机上操作"));
    QCOMPARE(w.listBalloon.size(), 1);
}

QTEST_MAIN(TstToolEndToEnd)
#include "tst_tool_e2e.moc"
