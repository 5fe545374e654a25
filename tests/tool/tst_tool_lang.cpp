// The tray tool's language: under an English locale the window, its table (headers, rows
// of USB and network printers through the real workers, the longest status texts among
// them), the tray menu and tooltip, the balloons, the settings dialog and the "already
// running" box are English and fit, also when the window is shown only after its table was
// filled; under a Chinese one they are today's. The locale comes from the test's environment.
#include "ToolEntry.h"
#include "UtilPrinterStatus.h"
#include "orvo-lang.h"
#include "orvo-statustext.h"
#include "orvo-statusview.h"
#include "orvo-translate.h"
#include "tool-fixture.h"
#include "../harness/ui-text.h"

#include <QHeaderView>
#include <QSet>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

class TstToolLang : public QObject {
    Q_OBJECT
    static QString Say(const char *en, const char *zh) { return QString::fromUtf8(LocaleIsEnglish() ? en : zh); }
    static int LanguageIndex() { return LocaleIsEnglish() ? c_iLanguageEnglish : c_iLanguageChinese; }
    static constexpr unsigned c_wLongestError = 0x7200;
    static constexpr int c_iLongestInkLevel = 10;  // 低, Very low

    // The height of a status text in the table's status column at the given width, as the
    // table's delegate lays it out.
    static int StatusHeight(const QTableWidget *t, const QString &text, int width)
    {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), text);
        QStyleOptionViewItem option;
        option.initFrom(t->viewport());
        option.font = t->font();
        option.features |= QStyleOptionViewItem::WrapText;
        option.rect = QRect(0, 0, width, 1000);
        return t->itemDelegate()->sizeHint(option, model.index(0, 0)).height();
    }

private slots:
    void initTestCase()
    {
        RegisterToolResources();
        QCOMPARE(InstallOrvoTranslation(), LocaleIsEnglish());
        UseDesktopFont(9);  // the table's columns hold the Chinese connection text at 9 points only
    }

    // The error the window tests with is the one with the widest English text, its ink level
    // the one with the widest English word.
    void longestError()
    {
        const QFontMetrics metrics(QApplication::font());
        const int longest = metrics.horizontalAdvance(GetErrorDescText(GetErrorStatusEnum(c_wLongestError), c_iLanguageEnglish));
        for (int e = 0; e < c_iErrorTextRows; ++e)
            QVERIFY2(metrics.horizontalAdvance(GetErrorDescText(e, c_iLanguageEnglish)) <= longest,
                     qPrintable(GetErrorDescText(e, c_iLanguageEnglish)));
        if (!LocaleIsEnglish())
            return;  // the ink words are English with the English catalogue only
        const int widestWord = metrics.horizontalAdvance(GetRemainInkStr(uint32_t(c_iLongestInkLevel), c_iLanguageEnglish));
        for (uint32_t level : {100u, 50u, 20u, 10u, 0u})
            QVERIFY2(metrics.horizontalAdvance(GetRemainInkStr(level, c_iLanguageEnglish)) <= widestWord,
                     qPrintable(GetRemainInkStr(level, c_iLanguageEnglish)));
    }

    void window()
    {
        WritePrinterList({MakeInfo("Orvo-A", CONNECT_USB, "Orvo/K20NW?serial=A"),
                          MakeInfo("Orvo-B", CONNECT_NET, "192.168.100.123"),
                          MakeInfo("Orvo-C", CONNECT_USB, "Orvo/K20NW?serial=C"),
                          MakeInfo("Orvo-D", CONNECT_USB, "Orvo/K20NW?serial=D")});
        TestToolWidget w;
        w.show();
        QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 4, 4000);
        stSimPrinter p;  // the longest ink words, a warning while printing
        p.byStatus = 0x10;
        p.listWarning = {0x6160};
        p.iBlue = p.iRed = p.iYellow = p.iBlack = c_iLongestInkLevel;
        QVERIFY(WriteStatusFile("Orvo-B", BuildResponse(p)));
        // The longest texts the status column shows: the longest error, and the same text as
        // a warning while printing.
        stSimPrinter error;
        error.listError = {c_wLongestError};
        QVERIFY(WriteStatusFile("Orvo-C", BuildResponse(error)));
        p.listWarning = {c_wLongestError};
        QVERIFY(WriteStatusFile("Orvo-D", BuildResponse(p)));
        QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 3, 3000);
        QCOMPARE(CellText(w, 2, 3), GetErrorDescText(GetErrorStatusEnum(c_wLongestError), LanguageIndex()));
        // One window size in both languages. An English row holds two lines of ink words
        // (whether they fit is measured below), the longest status texts (rows 2 and 3) three;
        // a Chinese row keeps one line.
        QCOMPARE(w.size(), QSize(860, 300));
        QCOMPARE(w.DeviceTable()->geometry(), QRect(20, 20, 820, 260));
        const int rowHeight = w.DeviceTable()->rowHeight(0);
        QCOMPARE(w.DeviceTable()->rowHeight(1), rowHeight);
        QCOMPARE(w.DeviceTable()->rowHeight(2) > rowHeight, LocaleIsEnglish());
        QCOMPARE(w.DeviceTable()->rowHeight(3) > rowHeight, LocaleIsEnglish());
        QCOMPARE(CellText(w, 1, 2), Say("Cyan: Very low  Red: Very low\nYellow: Very low  Black: Very low",
                                        "青色：低   红色：低   黄色：低   黑色：低"));
        QCOMPARE(CellText(w, 1, 1), Say("Network(192.168.100.123)", "网络(192.168.100.123)"));
        QCOMPARE(w.DeviceTable()->item(1, 3)->toolTip(), CellText(w, 1, 3));  // a cut status is whole in its tip
        QCOMPARE(w.TrayIcon()->toolTip(), Say("Orvo Inkjet Printer Assistant", "Orvo喷墨打印机助手"));
        QStringList texts = WidgetTexts(&w) + WidgetTexts(w.TrayMenu()) + WidgetTexts(w.SettingDialog())
                            << w.TrayIcon()->toolTip() << w.listBalloon.first().strText;
        for (const QString &t : {Say("Ink left", "剩余墨水量"), Say("Firmware updater", "打印机更新助手"),
                                 Say("Start at login", "开机启动"), Say("Off-line", "脱机")})
            QVERIFY2(texts.contains(t), qPrintable(t));
        texts += TextsOfModal([] { ShowAlreadyRunningBox(); });
        QVERIFY2(texts.contains(Say("Orvo Inkjet Printer Assistant is already running.", "Orvo喷墨打印机助手已经处于运行中！")),
                 qPrintable(texts.join('|')));
        if (LocaleIsEnglish()) {
            QVERIFY2(CjkTexts(texts).isEmpty(), qPrintable(CjkTexts(texts).join(" | ")));
            for (const QWidget *root : {static_cast<QWidget *>(&w), static_cast<QWidget *>(w.SettingDialog())})
                QVERIFY2(ClippedTexts(root).isEmpty(), qPrintable(ClippedTexts(root).join(" | ")));
        }
    }

    // Started with "-hide", the window fills its table unseen: once shown, its rows fit as well.
    void hiddenStart()
    {
        if (!LocaleIsEnglish())
            QSKIP("the rows of a Chinese table keep one height");
        TestToolWidget w;  // the printer list and status files of window()
        QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 3, 5000);
        w.SlotTrayActionShow();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(860, 300));
        QVERIFY2(ClippedTexts(&w).isEmpty(), qPrintable(ClippedTexts(&w).join(" | ")));
    }

    // More printers than the window holds: the scroll bar that comes with the rows' growth
    // narrows the status column, and the rows fitted before it take their texts' new height.
    void manyPrinters()
    {
        if (!LocaleIsEnglish())
            QSKIP("the rows of a Chinese table keep one height");
        QList<stPrinterInfo> infos;
        for (int i = 0; i < 6; ++i)
            infos << MakeInfo(QString("Orvo-%1").arg(i), CONNECT_USB, QString("Orvo/K20NW?serial=%1").arg(i));
        WritePrinterList(infos);
        TestToolWidget w;
        w.show();
        QTRY_COMPARE_WITH_TIMEOUT(w.DeviceTable()->rowCount(), 6, 4000);
        // An error whose text outgrows its row once the scroll bar has taken its width, if the
        // font makes one (else the longest).
        const QTableWidget *t = w.DeviceTable();
        const QRect cell = t->visualItemRect(t->item(0, 3));
        const int narrow = cell.width() - t->verticalScrollBar()->sizeHint().width();
        unsigned code = c_wLongestError;
        QSet<QString> seen;
        for (unsigned c = 0x5000; c <= 0x7fff && code == c_wLongestError; ++c) {
            const QString text = GetErrorDescText(GetErrorStatusEnum(c), c_iLanguageEnglish);
            if (!seen.contains(text)
                && StatusHeight(t, text, narrow) > qMax(cell.height(), StatusHeight(t, text, cell.width())))
                code = c;
            seen.insert(text);
        }
        stSimPrinter error;
        error.listError = {code};
        QVERIFY(WriteStatusFile("Orvo-0", BuildResponse(error)));
        QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 1, 4000);
        QVERIFY(!w.DeviceTable()->verticalScrollBar()->isVisible());
        stSimPrinter printing;  // the longest status text, three lines each
        printing.byStatus = 0x10;
        printing.listWarning = {c_wLongestError};
        for (int i = 1; i < 6; ++i)
            QVERIFY(WriteStatusFile(QString("Orvo-%1").arg(i), BuildResponse(printing)));
        QTRY_COMPARE_WITH_TIMEOUT(w.listBalloon.size(), 6, 8000);
        QTRY_VERIFY(w.DeviceTable()->verticalScrollBar()->isVisible());
        QTRY_VERIFY2(ClippedTexts(&w).isEmpty(), qPrintable(ClippedTexts(&w).join(" | ")));  // fitted after the layout
    }
};

QTEST_MAIN(TstToolLang)
#include "tst_tool_lang.moc"
