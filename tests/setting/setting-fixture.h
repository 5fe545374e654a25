// The maintenance tool's window against the simulator: a printer list under the install
// root naming the simulated printers, message boxes recorded instead of shown.
#pragma once
#include "AlignmentForm.h"
#include "BaseForm.h"
#include "CleanForm.h"
#include "NetForm.h"
#include "Widget.h"
#include "orvo-printerlist.h"
#include "setting-sim.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

// Simulator: p1 K20NW AB1234, p2 K20NW CD5678, p3 K40N SN40N0001, n1 K40N on 127.0.0.21.
enum { ROW_USB1,
       ROW_USB2,
       ROW_K40N,
       ROW_NET,
       ROW_UNKNOWN_MODEL,
       ROW_HOST_NAME,
       ROW_COUNT };

inline stPrinterInfo Printer(const QString &name, int type, const QString &port)
{
    stPrinterInfo info;
    info.strPrinterName = name;
    info.strModelName = "Orvo K20NW";
    info.iConnectType = type;
    info.strPort = port;
    info.strDeviceURI = (type == CONNECT_USB ? "usb://" : "socket://") + port;
    return info;
}

inline QList<stPrinterInfo> SimPrinters()
{
    return {Printer("Orvo-USB1", CONNECT_USB, "Orvo/K20NW?serial=AB1234"),
            Printer("Orvo-USB2", CONNECT_USB, "Orvo/K20NW?serial=CD5678"),
            Printer("Orvo-K40N", CONNECT_USB, "Orvo/K40N?serial=SN40N0001"),
            Printer("Orvo-Net", CONNECT_NET, "127.0.0.21"),
            Printer("Orvo-Other", CONNECT_USB, "Orvo/K99?serial=1"),
            Printer("Orvo-Named", CONNECT_NET, "printer.local")};
}

// Records every message box; answers OK/Cancel boxes with the queued answers (OK when none).
struct stMessageLog {
    QStringList listText;
    QList<int> listAnswer;
    void Install()
    {
        BaseForm::SetMessageBoxHook([this](const QString &text, bool okCancel) {
            listText << text;
            return okCancel && !listAnswer.isEmpty() ? listAnswer.takeFirst() : int(QMessageBox::Ok);
        });
    }
    QStringList Take()
    {
        QStringList l = listText;
        listText.clear();
        return l;
    }
};

inline QStringList Ctl(const QString &command)
{
    bool ok = false;
    const QStringList lines = SimCtl(command, &ok);
    if (!ok)
        qWarning("simulator refused: %s", qPrintable(command));
    return lines;
}

// Frames the printer interface received since the last call.
inline QStringList Frames(const QString &id)
{
    return Ctl("maint " + id + " frames clear");
}

inline QStringList Datagrams(const QString &id)
{
    return Ctl("get " + id + " netrx clear");
}

inline BaseForm *EnterPage(Widget &w, int index)
{
    w.SlotChangeForm(index);
    auto *stack = w.findChild<QStackedWidget *>("stackedWidget");
    return stack ? qobject_cast<BaseForm *>(stack->currentWidget()) : nullptr;
}

inline void Choose(BaseForm *form, int row)
{
    form->findChild<QComboBox *>("comboBoxDevice")->setCurrentIndex(row);
}

inline void Click(QWidget *form, const char *name)
{
    auto *button = form->findChild<QPushButton *>(name);
    QVERIFY2(button, name);
    button->click();
}

const QString c_strFirstClean = "A5000750E02E02010101";
const QString c_strRepeatClean = "A5000850E02E0201011202";
const QString c_strAlignPrint = "A5000750E02E02010152";
