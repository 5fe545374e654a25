// Page 3: reads and writes the IPv4 configuration of a USB printer.
#pragma once
#include "BaseForm.h"
#include "orvo-ipconfig.h"

#include <QLineEdit>

class NetForm : public BaseForm {
    Q_OBJECT
public:
    explicit NetForm(QWidget *parent = nullptr);

    void InitForm() override;
    void InitEdit();
    bool SetIPToEdit(const QString &text, QLineEdit *const edits[4]);
    bool GetIPFromEdit(QString &text, QLineEdit *const edits[4]);
    void SetSheetInfo(const stIPInfo &info);
    bool GetSheetInfo(stIPInfo &info);

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnComboBoxSourceChanged(int index);
    void OnButtonGetClicked();
    void OnButtonSetClicked();

protected:
    // The USB printer chosen for a read or write, or null after its message was shown.
    const stPrinterInfo *SelectedUsbPrinter();

    QComboBox *m_pComboBoxSource;
    QLineEdit *m_pEdit[c_iIPAddressCount][4];
    QPushButton *m_pButtonGet;
    QPushButton *m_pButtonSet;
};
