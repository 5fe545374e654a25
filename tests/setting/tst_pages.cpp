// The maintenance tool's pages driven as a user would, against the simulated printers (run
// by with-sim.sh inside the sandbox): frames as the printer receives them, every message box.
#include "UtilLibusb.h"
#include "setting-fixture.h"

#include <QApplication>
#include <QCursor>

#include <atomic>
#include <thread>

namespace {

// The same message n times (Qt 5's QStringList has no fill constructor).
QStringList Times(int n, const QString &text)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << text;
    return list;
}
const QString c_strSelect = "请选择一个打印机进行操作！";
const QString c_strUsbOnly = "请选择通过USB连接的打印机进行操作！";
const QString c_strUnsupported = "不支持该打印机型号！";
const QString c_strConnect = "连接打印机失败，请检查连接状态！";
const QString c_strComm = "与打印机通信失败，请检查打印机状态并重新尝试！";
const QString c_strReadFailed = "获取数据失败，请稍后重试！";
const QString c_strBadAddress = "不正确的地址格式！";
const QString c_strSetDone = "设置成功，请等待打印机完成重连！";
const QString c_strCleanConfirm = "清洁前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸";
const QString c_strCleanSent = "清洁任务已发送，请查看打印机，在清洁完成前，请勿执行其他动作。";
const QString c_strAlignConfirm = "校准前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸";
const QString c_strAlignSent = "校准任务已发送，请查看打印机，在校准完成前，请勿执行其他动作。";
const QString c_strAlignDone = "已完成校准。";

QStringList EditRow(QWidget *form, int row)
{
    QStringList l;
    for (int k = 0; k < 4; ++k)
        l << form->findChild<QLineEdit *>(QString("edit_%1_%2").arg(row).arg(k))->text();
    return l;
}

void SetRow(QWidget *form, int row, const QString &address)
{
    const QStringList parts = address.split('.');
    for (int k = 0; k < 4; ++k)
        form->findChild<QLineEdit *>(QString("edit_%1_%2").arg(row).arg(k))->setText(parts.value(k));
}

QComboBox *Source(QWidget *form)
{
    return form->findChild<QComboBox *>("comboBoxSource");
}
}  // namespace

class TstPages : public QObject {
    Q_OBJECT
    stMessageLog m_log;
    Widget *m_pWidget = nullptr;

private slots:
    void initTestCase()
    {
        SetUsbLogSource("OrvoPrintSetting/UtilLibusb");
        QVERIFY(!qEnvironmentVariableIsEmpty("ORVO_SIM_SOCK"));
        SavePrinterInfo(SimPrinters(), true);
        m_log.Install();
        m_pWidget = new Widget;
    }

    void init()
    {
        for (const char *id : {"p1", "p2", "p3", "n1"})
            Ctl(QString("clear ") + id);
        m_log.Take();
        m_log.listAnswer.clear();
    }

    void cleanupTestCase()
    {
        delete m_pWidget;
        BaseForm::SetMessageBoxHook(nullptr);
    }

    // ---- window and home page
    void windowAndNavigation()
    {
        QCOMPARE(m_pWidget->windowTitle(), QString("Orvo喷墨打印工具"));
        QCOMPARE(m_pWidget->size(), QSize(400, 455));
        QCOMPARE(m_pWidget->minimumSize(), m_pWidget->maximumSize());
        QVERIFY(!(m_pWidget->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!m_pWidget->windowIcon().isNull());
        auto *stack = m_pWidget->findChild<QStackedWidget *>("stackedWidget");
        const struct {
            const char *button;
            int page;
        } routes[] = {
            {"button_net", 3}, {"button_clean", 2}, {"button_alignment", 1}};
        for (const auto &r : routes) {
            m_pWidget->SlotChangeForm(0);
            auto *button = stack->widget(0)->findChild<QPushButton *>(r.button);
            QVERIFY(button);
            QVERIFY(button->height() > 0 && button->height() < 80);  // the picture's proportions
            button->click();
            QCOMPARE(stack->currentIndex(), r.page);
            auto *form = qobject_cast<BaseForm *>(stack->currentWidget());
            QCOMPARE(form->findChild<QComboBox *>("comboBoxDevice")->count(), int(ROW_COUNT));
            Click(form, "buttonBack");
            QCOMPARE(stack->currentIndex(), 0);
        }
        m_pWidget->SlotChangeForm(4);
        m_pWidget->SlotChangeForm(-1);
        QCOMPARE(stack->currentIndex(), 0);

        // A printer added to the list shows on the next entry.
        QList<stPrinterInfo> more = SimPrinters();
        more << Printer("Orvo-Later", CONNECT_USB, "Orvo/K20N?serial=9");
        SavePrinterInfo(more, true);
        auto *combo = EnterPage(*m_pWidget, 2)->findChild<QComboBox *>("comboBoxDevice");
        QCOMPARE(combo->itemText(ROW_COUNT), QString("Orvo-Later"));
        QCOMPARE(combo->currentIndex(), 0);
        SavePrinterInfo(SimPrinters(), true);
        QVERIFY(m_log.Take().isEmpty());
    }

    void pictures()
    {
        // Every picture the pages name is compiled in.
        for (const char *name : {"logo", "orvo", "button_net", "button_clean", "button_alignment", "clean_1"})
            QVERIFY2(!QPixmap(QString("://Resource/%1.png").arg(name)).isNull(), name);
        for (int n = 1; n <= 9; ++n)
            QVERIFY(!QPixmap(QString(":/Resource/alignment_%1.png").arg(n)).isNull());
    }

    void emptyList()
    {
        SavePrinterInfo({}, true);
        for (int page : {1, 2, 3}) {
            BaseForm *form = EnterPage(*m_pWidget, page);
            for (const char *button : {"buttonGet", "buttonSet", "buttonClean", "buttonPrint"})
                if (auto *b = form->findChild<QPushButton *>(button))
                    b->click();
        }
        SavePrinterInfo(SimPrinters(), true);
        QCOMPARE(m_log.Take(), Times(4, c_strSelect));
        QCOMPARE(Frames("p1"), QStringList());
    }

    // ---- network settings
    void netReadWriteRead()
    {
        Ctl("maint p1 ipconfig static 192.168.100.123 255.255.255.0 192.168.100.254 202.96.134.133 "
            "202.96.128.166 192.168.100.250 192.168.100.251");
        BaseForm *form = EnterPage(*m_pWidget, 3);
        QCOMPARE(Source(form)->currentIndex(), 0);
        QVERIFY(!form->findChild<QLineEdit *>("edit_0_0")->isEnabled());
        Click(form, "buttonGet");
        QCOMPARE(m_log.Take(), QStringList());
        QCOMPARE(Frames("p1"), QStringList{"A5001950E0B20200000100084010401140124013401440154016"
                                           "4017"});
        QCOMPARE(Source(form)->currentIndex(), 1);
        QVERIFY(form->findChild<QLineEdit *>("edit_0_0")->isEnabled());
        QCOMPARE(EditRow(form, 0), QString("192.168.100.123").split('.'));
        QCOMPARE(EditRow(form, 3), QString("202.96.134.133").split('.'));
        QCOMPARE(EditRow(form, 6), QString("192.168.100.251").split('.'));

        SetRow(form, 0, "10.20.30.40");
        SetRow(form, 2, "10.20.30.1");
        Source(form)->setCurrentIndex(0);  // DHCP: the fields keep their values and go out too
        Click(form, "buttonSet");
        QCOMPARE(m_log.Take(), QStringList{c_strSetDone});
        QCOMPARE(Frames("p1"), QStringList{"A5004850E0B2030009"
                                           "4010000100"
                                           "401100040A141E28"
                                           "40120004FFFFFF00"
                                           "401300040A141E01"
                                           "40140004CA608685"
                                           "40150004CA6080A6"
                                           "40160004C0A864FA"
                                           "40170004C0A864FB"
                                           "401F000100"});
        QCOMPARE(Ctl("maint p1 ipconfig"),
                 QStringList{"dhcp 10.20.30.40 255.255.255.0 10.20.30.1 202.96.134.133 202.96.128.166 "
                             "192.168.100.250 192.168.100.251"});

        form = EnterPage(*m_pWidget, 3);  // entry resets the fields
        QCOMPARE(EditRow(form, 0), QString("0.0.0.0").split('.'));
        Source(form)->setCurrentIndex(1);
        Click(form, "buttonGet");
        QCOMPARE(m_log.Take(), QStringList());
        QCOMPARE(Source(form)->currentIndex(), 0);
        QCOMPARE(EditRow(form, 0), QString("10.20.30.40").split('.'));
        QCOMPARE(EditRow(form, 2), QString("10.20.30.1").split('.'));
        QVERIFY(!form->findChild<QLineEdit *>("edit_0_0")->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);  // the wait cursor is gone again
    }

    void netBadReply_data()
    {
        QTest::addColumn<QString>("shape");
        for (const char *s : {"key", "lowercase", "truncated", "overrun", "long", "badaddr"})
            QTest::newRow(s) << s;
    }
    void netBadReply()
    {
        QFETCH(QString, shape);
        BaseForm *form = EnterPage(*m_pWidget, 3);
        Ctl("maint p1 malformed " + shape);
        Click(form, "buttonGet");
        QCOMPARE(m_log.Take(), QStringList{c_strReadFailed});
        QCOMPARE(Source(form)->currentIndex(), 0);  // nothing of the reply reaches the form
        for (int row = 0; row < 7; ++row)
            QCOMPARE(EditRow(form, row), QString("0.0.0.0").split('.'));
    }

    void netRefusals()
    {
        BaseForm *form = EnterPage(*m_pWidget, 3);
        for (int row : {int(ROW_NET), int(ROW_HOST_NAME)}) {
            Choose(form, row);
            Click(form, "buttonGet");
            Click(form, "buttonSet");
        }
        QCOMPARE(m_log.Take(), Times(4, c_strUsbOnly));
        Choose(form, ROW_UNKNOWN_MODEL);
        Click(form, "buttonGet");
        Click(form, "buttonSet");
        QCOMPARE(m_log.Take(), Times(2, c_strUnsupported));
        QCOMPARE(Datagrams("n1"), QStringList());

        Choose(form, ROW_USB1);
        Source(form)->setCurrentIndex(1);
        form->findChild<QLineEdit *>("edit_4_2")->clear();  // one empty octet
        Click(form, "buttonSet");
        QCOMPARE(m_log.Take(), QStringList{c_strBadAddress});
        QCOMPARE(Frames("p1"), QStringList());
    }

    void netDeviceFailures()
    {
        BaseForm *form = EnterPage(*m_pWidget, 3);
        const QString before = Ctl("maint p1 ipconfig").value(0);
        Ctl("maint p1 partial 20");  // -6
        Click(form, "buttonSet");
        QCOMPARE(m_log.Take(), QStringList{c_strComm});
        QCOMPARE(Ctl("maint p1 ipconfig").value(0), before);
        Ctl("maint p1 silent on");  // -7: the page needs the answer
        Click(form, "buttonGet");
        Ctl("maint p1 silent off");
        QCOMPARE(m_log.Take(), QStringList{c_strComm});
        Ctl("unplug p1");  // -2
        Click(form, "buttonGet");
        Ctl("plug p1");
        QCOMPARE(m_log.Take(), QStringList{c_strConnect});
        // A printer interface without bulk OUT 0x01 is never used: -3.
        Ctl("stream p1 endpoint 3");
        Ctl("unplug p1");
        Ctl("plug p1");
        Click(form, "buttonGet");
        Ctl("stream p1 endpoint 1");
        Ctl("unplug p1");
        Ctl("plug p1");
        QCOMPARE(m_log.Take(), QStringList{c_strConnect});
        Ctl("stream p1 busy on");  // -5: another program holds the interface
        Click(form, "buttonGet");
        Ctl("stream p1 busy off");
        QCOMPARE(m_log.Take(), QStringList{c_strConnect});
        Click(form, "buttonGet");
        QCOMPARE(m_log.Take(), QStringList());
    }

    // The window shows the wait cursor while an exchange blocks it.
    void waitCursor()
    {
        BaseForm *form = EnterPage(*m_pWidget, 3);
        Ctl("maint p1 silent on");
        std::atomic<bool> stop{false}, seen{false};
        std::thread watcher([&] {
            while (!stop && !seen)
                seen = QGuiApplication::overrideCursor() != nullptr
                       && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        Click(form, "buttonGet");
        stop = true;
        watcher.join();
        Ctl("maint p1 silent off");
        QVERIFY(seen);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(m_log.Take(), QStringList{c_strComm});
    }

    // ---- head cleaning
    void cleanUsb()
    {
        BaseForm *form = EnterPage(*m_pWidget, 2);
        auto *button = form->findChild<QPushButton *>("buttonClean");
        QCOMPARE(button->text(), QString("清洗"));
        m_log.listAnswer << QMessageBox::Cancel;
        button->click();
        QCOMPARE(m_log.Take(), QStringList{c_strCleanConfirm});
        QCOMPARE(Frames("p1"), QStringList());

        button->click();
        button->click();
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strCleanSent, c_strCleanConfirm, c_strCleanSent}));
        QCOMPARE(Frames("p1"), (QStringList{c_strFirstClean, c_strRepeatClean}));
        QCOMPARE(button->text(), QString("重新清洗"));

        Ctl("maint p1 partial 3");  // a failed send keeps the state
        button->click();
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strComm}));
        Ctl("maint p1 silent on");  // no answer: still sent
        button->click();
        Ctl("maint p1 silent off");
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strCleanSent}));
        QCOMPARE(Frames("p1"), (QStringList{"A50008", c_strRepeatClean}));

        // The second printer of the model; another printer starts with the first command.
        Choose(form, ROW_USB2);
        QCOMPARE(button->text(), QString("清洗"));
        button->click();
        QCOMPARE(Frames("p2"), QStringList{c_strFirstClean});
        QCOMPARE(Frames("p1"), QStringList());
        Choose(form, ROW_UNKNOWN_MODEL);
        button->click();
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strCleanSent, c_strCleanConfirm, c_strUnsupported}));
        Ctl("unplug p3");
        Choose(form, ROW_K40N);
        button->click();
        Ctl("plug p3");
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strConnect}));
        QCOMPARE(button->text(), QString("清洗"));
    }

    void cleanNetwork()
    {
        BaseForm *form = EnterPage(*m_pWidget, 2);
        Choose(form, ROW_NET);
        Ctl("queue n1 netreply A5000550E02E0200");
        Click(form, "buttonClean");
        Click(form, "buttonClean");  // no answer this time: success all the same
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strCleanSent, c_strCleanConfirm, c_strCleanSent}));
        QCOMPARE(Datagrams("n1"), (QStringList{c_strFirstClean, c_strRepeatClean}));
        Choose(form, ROW_HOST_NAME);  // not an address: nothing is sent
        Click(form, "buttonClean");
        QCOMPARE(m_log.Take(), (QStringList{c_strCleanConfirm, c_strConnect}));
    }

    // ---- alignment
    void alignmentUsb()
    {
        BaseForm *form = EnterPage(*m_pWidget, 1);
        Choose(form, ROW_K40N);  // K40N, product id 0x2009, not K40NW
        auto *combo = form->findChild<QComboBox *>("comboBoxDevice");
        auto spin = [form](int n) { return form->findChild<QSpinBox *>(QString("spinBox_%1").arg(n)); };
        QVERIFY(spin(1)->isHidden());
        QVERIFY(form->findChild<QPushButton *>("buttonFinish")->isHidden());
        m_log.listAnswer << QMessageBox::Cancel;
        Click(form, "buttonPrint");
        QCOMPARE(Frames("p3"), QStringList());
        Click(form, "buttonPrint");
        QCOMPARE(m_log.Take(), (QStringList{c_strAlignConfirm, c_strAlignConfirm, c_strAlignSent}));
        QCOMPARE(Frames("p3"), QStringList{c_strAlignPrint});
        QVERIFY(!spin(1)->isHidden() && !spin(9)->isHidden());
        QVERIFY(!combo->isEnabled());
        QVERIFY(form->findChild<QPushButton *>("buttonPrint")->isHidden());
        QCOMPARE(spin(1)->minimum(), -12);
        QCOMPARE(spin(1)->maximum(), 12);
        QCOMPARE(spin(5)->minimum(), -6);
        QCOMPARE(spin(5)->maximum(), 6);

        const int values[9] = {-12, 3, -6, 0, 6, -1, 2, -2, 1};
        for (int n = 1; n <= 9; ++n)
            spin(n)->setValue(values[n - 1]);
        spin(2)->setValue(9);  // beyond its range: held at 6
        Click(form, "buttonFinish");
        QCOMPARE(m_log.Take(), QStringList{c_strAlignDone});
        QCOMPARE(Frames("p3"), QStringList{"A5002C50E02E110000000D"
                                           "FFFFFFA0"
                                           "00000030"
                                           "FFFFFFD0"
                                           "00000000"
                                           "00000030"
                                           "FFFFFFF8"
                                           "00000200"
                                           "00000010"
                                           "FFFFFFF0"});
        QVERIFY(spin(1)->isHidden());
        QVERIFY(combo->isEnabled());

        // Printing again shows the values reset; a failed finish keeps them for a retry.
        Click(form, "buttonPrint");
        QCOMPARE(spin(1)->value(), 0);
        spin(4)->setValue(-3);
        Ctl("maint p3 partial 1");
        Click(form, "buttonFinish");
        QCOMPARE(m_log.Take(), (QStringList{c_strAlignConfirm, c_strAlignSent, c_strComm}));
        QVERIFY(!spin(4)->isHidden());
        QCOMPARE(spin(4)->value(), -3);
        Ctl("maint p3 silent on");  // sent but not answered: done
        Click(form, "buttonFinish");
        Ctl("maint p3 silent off");
        QCOMPARE(m_log.Take(), QStringList{c_strAlignDone});
        QCOMPARE(Frames("p3").value(2), QString("A5002C50E02E110000000D"
                                                "00000000"
                                                "00000000"
                                                "00000000"
                                                "FFFFFFE8")
                                            + QString(40, '0'));
    }

    void alignmentNetwork()
    {
        BaseForm *form = EnterPage(*m_pWidget, 1);
        Choose(form, ROW_NET);
        Ctl("queue n1 netreply A5000550E02E0200");
        Click(form, "buttonPrint");
        form->findChild<QSpinBox *>("spinBox_9")->setValue(-1);
        Ctl("queue n1 netreply A5000550E02E1100");
        Click(form, "buttonFinish");
        QCOMPARE(m_log.Take(), (QStringList{c_strAlignConfirm, c_strAlignSent, c_strAlignDone}));
        QCOMPARE(Datagrams("n1"), (QStringList{c_strAlignPrint, "A5002C50E02E110000000D" + QString(48, '0')
                                                                    + "FFFFFE00" + QString(16, '0')}));
    }

    // The boxes themselves, once, as the user sees them.
    void realMessageBoxes()
    {
        BaseForm::SetMessageBoxHook(nullptr);
        BaseForm *form = EnterPage(*m_pWidget, 2);
        Choose(form, ROW_USB1);
        QString seen;
        QTimer::singleShot(0, this, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                seen = "no modal box";
                return;
            }
            QStringList buttons;
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
            buttons.sort();
            seen = box->windowTitle() + "|" + box->text() + "|" + buttons.join(",") + "|"
                   + box->defaultButton()->text() + "|" + QString::number(box->icon());
            box->defaultButton()->click();
        });
        Click(form, "buttonClean");
        m_log.Install();
        QCOMPARE(seen, "Orvo喷墨打印工具|" + c_strCleanConfirm + "|取  消,确  定|取  消|"
                           + QString::number(QMessageBox::Information));
        QCOMPARE(Frames("p1"), QStringList());  // Cancel is the default and sends nothing

        BaseForm::SetMessageBoxHook(nullptr);
        form = EnterPage(*m_pWidget, 3);
        Choose(form, ROW_NET);
        QTimer::singleShot(0, this, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            seen = box ? box->text() + "|" + box->buttons().value(0)->text() + "|"
                             + QString::number(box->buttons().size())
                       : "no modal box";
            if (box)
                box->buttons().value(0)->click();
        });
        Click(form, "buttonGet");
        m_log.Install();
        QCOMPARE(seen, c_strUsbOnly + "|确  定|1");
    }
};

QTEST_MAIN(TstPages)
#include "tst_pages.moc"
