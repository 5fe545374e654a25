// Base of the three task pages: printer chooser, title, back button, the message boxes
// and the exchange with the chosen printer.
#pragma once
#include "orvo-maint.h"
#include "orvo-records.h"

#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <functional>

class BaseForm : public QWidget {
    Q_OBJECT
public:
    explicit BaseForm(QWidget *parent = nullptr);

    virtual void InitForm() = 0;

    static QList<stPrinterInfo> GetPrinterInfo();
    void RefreshDeviceCombobox();

    // Both run modally and return the standard button pressed.
    static int ShowMessageBoxOk(const QString &text);
    static int ShowMessageBoxOkCancel(const QString &text);

    // Tests record the message boxes instead of showing them: the hook gets the text and
    // whether the box asks OK/Cancel, and answers with the button "pressed".
    using MessageBoxHook = std::function<int(const QString &text, bool bOkCancel)>;
    static void SetMessageBoxHook(MessageBoxHook hook);

signals:
    void SgnChangeForm(int index);

public slots:
    virtual void OnComboBoxDeviceChanged(int index) = 0;
    void OnButtonBackClicked();

protected:
    // The chosen printer, or null after "请选择一个打印机进行操作！" was shown.
    const stPrinterInfo *SelectedPrinter();
    // The chosen printer once the user has answered the question with OK; null otherwise.
    const stPrinterInfo *ConfirmedPrinter(enMaintMessage question);
    // One exchange with the printer; the window shows the wait cursor meanwhile.
    enMaintMessage Exchange(const stPrinterInfo &info, const unsigned char *send, int sendLen, unsigned char *recv,
                            int recvCap, int &recvSize, bool bReplyNeeded);
    // One command whose reply is not looked at.
    enMaintMessage SendCommand(const stPrinterInfo &info, const unsigned char *send, int sendLen);

    QLabel *m_pLabelTitle;
    QLabel *m_pLabelPrinter;
    QComboBox *m_pComboBoxDevice;
    QPushButton *m_pButtonBack;
    QList<stPrinterInfo> m_listPrinterInfo;

private:
    static int ShowBox(const QString &text, bool bOkCancel);
};
