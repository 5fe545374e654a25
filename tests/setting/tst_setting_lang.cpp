// The maintenance tool's language: under an English locale every text of the four pages and
// of its message boxes is English and fits its widget; under a Chinese one the texts are
// today's. The locale comes from the test's environment (one run of each).
#include "UtilLibusb.h"
#include "orvo-lang.h"
#include "orvo-msgbox.h"
#include "orvo-translate.h"
#include "setting-fixture.h"
#include "../harness/ui-text.h"

class TstSettingLang : public QObject {
    Q_OBJECT
    bool bEnglish = false;

private slots:
    void initTestCase()
    {
        SetUsbLogSource("OrvoPrintSetting/UtilLibusb");
        bEnglish = InstallOrvoTranslation();
        UseDesktopFont();
        SavePrinterInfo(SimPrinters(), true);
    }

    void pages()
    {
        Widget w;
        w.show();
        for (int page : {Widget::PAGE_NET, Widget::PAGE_CLEAN, Widget::PAGE_ALIGNMENT, Widget::PAGE_HOME})
            EnterPage(w, page);
        const QStringList texts = WidgetTexts(&w);
        QVERIFY(texts.contains("Orvo-USB1"));  // the printer chooser is filled
        const QImage net(":/Resource/button_net.png");
        const QString resource = qEnvironmentVariable("ORVO_SOURCE_DIR") + "/OrvoPrintSetting/Resource/";
        if (LocaleIsEnglish()) {
            QVERIFY(bEnglish);
            QVERIFY2(CjkTexts(texts).isEmpty(), qPrintable(CjkTexts(texts).join(" | ")));
            QVERIFY2(ClippedTexts(&w).isEmpty(), qPrintable(ClippedTexts(&w).join(" | ")));
            QVERIFY(texts.contains("Network Settings") && texts.contains("WINS server 2") && texts.contains("Clean"));
            QCOMPARE(net, QImage(resource + "button_net_en.png"));  // pictures with words follow
            QCOMPARE(QImage(":/Resource/clean_1.png"), QImage(resource + "clean_1_en.png"));
        } else {
            QVERIFY(!bEnglish);
            QCOMPARE(w.windowTitle(), QString("Orvo喷墨打印工具"));
            for (const char *zh : {"喷墨打印工具", "打印机名称", "返回", "网络配置", "IP获取方式", "静态", "IP地址",
                                   "辅助WINS服务器", "读取", "设置", "清洁模式", "清洗", "校准", "打印校准页", "完成校准",
                                   "对照打印校准页面，选择校准样本中最符合图示图形的号码"})
                QVERIFY2(texts.contains(QString::fromUtf8(zh)), zh);
            QCOMPARE(net, QImage(resource + "button_net.png"));
        }
    }

    // The boxes: their buttons and every message the pages can show.
    void messageBoxes()
    {
        const QStringList box = TextsOfModal([] { ShowOrvoMessageBox("t", "x", true); });
        const QStringList buttons = LocaleIsEnglish() ? QStringList{"OK", "Cancel"} : QStringList{"确  定", "取  消"};
        for (const QString &b : buttons)
            QVERIFY2(box.contains(b), qPrintable(box.join('|')));
        const QStringList page = TextsOfModal([] { BaseForm::ShowMessageBoxOk(MaintText(MM_NET_SET_DONE)); });
        QVERIFY2(page.contains(LocaleIsEnglish() ? "Orvo Inkjet Printer Tool" : "Orvo喷墨打印工具"), qPrintable(page.join('|')));
        for (int id = MM_SELECT_PRINTER; id <= MM_ALIGN_DONE; ++id) {
            const QString text = MaintText(enMaintMessage(id));
            QCOMPARE(HasCjk(text), !LocaleIsEnglish());
        }
        QVERIFY(page.contains(MaintText(MM_NET_SET_DONE)));
    }
};

QTEST_MAIN(TstSettingLang)
#include "tst_setting_lang.moc"
