// The updater's language: under an English locale the window, its table, its message boxes,
// the progress dialog and the result texts are English and fit; under a Chinese one they
// are today's. The locale comes from the test's environment (one run of each).
#include "FWUpdateAttempts.h"
#include "FWUpdateResources.h"
#include "fw-fixture.h"
#include "orvo-lang.h"
#include "orvo-translate.h"
#include "widget.h"
#include "../harness/ui-text.h"

#include <QTableWidget>
#include <QtTest>

class TstFWLang : public QObject {
    Q_OBJECT
    bool bEnglish = false;

    // The words to look for: English under an English locale, else Chinese.
    static QString Say(const char *en, const char *zh) { return QString::fromUtf8(LocaleIsEnglish() ? en : zh); }

    // Every text the window, its boxes and its progress dialog show, with the window to check.
    static void Check(const QStringList &texts, QWidget *w)
    {
        if (LocaleIsEnglish()) {
            QVERIFY2(CjkTexts(texts).isEmpty(), qPrintable(CjkTexts(texts).join(" | ")));
            QVERIFY2(ClippedTexts(w).isEmpty(), qPrintable(ClippedTexts(w).join(" | ")));
        }
    }

private slots:
    void initTestCase()
    {
        RegisterFWUpdateResources();
        bEnglish = InstallOrvoTranslation();
        UseDesktopFont();
        QCOMPARE(bEnglish, LocaleIsEnglish());
        QDir().mkpath(OrvoCfgPath());
        WriteFWPrinterList({MakeFWInfo("Office", "Orvo K40N", CONNECT_USB, "Orvo/K40N?serial=A1"),
                            MakeFWInfo("Lab", "Orvo K20NW", CONNECT_USB, "Orvo/K20NW?serial=B2")});
        QFile status(StatusFilePath("Office"));
        QVERIFY(status.open(QIODevice::WriteOnly));
    }

    void window()
    {
        Widget w;
        w.show();
        QStringList texts = WidgetTexts(&w);
        for (const QString &t : {Say("Orvo Printer Firmware Updater", "Orvo喷墨打印机升级助手"), Say("Update", "一键升级"),
                                 Say("Connected", "已连接"), Say("Not connected", "未连接"), Say("State", "连接状态")})
            QVERIFY2(texts.contains(t), qPrintable(t));
        // The checks' boxes: no printer chosen, then no such file.
        const QStringList choose = TextsOfModal([&w] { w.findChild<QPushButton *>("buttonOK")->click(); });
        QVERIFY2(choose.contains(Say("Please choose a printer.", "请选择一个打印机进行操作！")), qPrintable(choose.join('|')));
        w.findChild<QTableWidget *>()->selectRow(0);
        const QStringList path = TextsOfModal([&w] { w.findChild<QPushButton *>("buttonOK")->click(); });
        QVERIFY2(path.contains(Say("Please check the file path.", "请检查文件路径！")), qPrintable(path.join('|')));
        Check(texts + choose + path, &w);
    }

    void progressAndResults()
    {
        QWidget parent;
        FWProgressDialog dialog("Office", 100, &parent);
        dialog.SetProgress(2, 50);
        QStringList texts = WidgetTexts(&dialog);
        QVERIFY2(texts.contains(Say("Attempt 2: Updating the printer Office; do not disconnect it or switch it off…",
                                    "第 2 次尝试：正在升级打印机 Office，请勿断开连接或关闭电源……")),
                 qPrintable(texts.join('|')));
        for (int result : {0, -1, -2, -7, -99})
            texts << FWUpdateResultText(result);
        Check(texts, &dialog);
    }
};

QTEST_MAIN(TstFWLang)
#include "tst_fw_lang.moc"
