// Page 1: two-step print-head alignment. Print the alignment page, then send the nine
// values the user read off it.
#pragma once
#include "BaseForm.h"
#include "orvo-maintcmd.h"

#include <QSpinBox>

class AlignmentForm : public BaseForm {
    Q_OBJECT
public:
    explicit AlignmentForm(QWidget *parent = nullptr);
    void InitForm() override;
    void SetAlignmentEnable(bool enable);

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnButtonPrintClicked();
    void OnButtonFinishClicked();

protected:
    QLabel *m_pLabelPrintHint;
    QLabel *m_pLabelChooseHint;
    QLabel *m_pLabelRow[c_iAlignmentRows];
    QLabel *m_pLabelPicture[c_iAlignmentRows];
    QSpinBox *m_pSpinBox[c_iAlignmentRows];
    QPushButton *m_pButtonPrint;
    QPushButton *m_pButtonFinish;
};
