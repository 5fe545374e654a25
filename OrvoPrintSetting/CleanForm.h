// Page 2: sends a head cleaning; after one was sent, the next press cleans again with the
// stronger repeated-cleaning command.
#pragma once
#include "BaseForm.h"

class CleanForm : public BaseForm {
    Q_OBJECT
public:
    explicit CleanForm(QWidget *parent = nullptr);
    void InitForm() override;

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnButtonCleanClicked();

protected:
    QLabel *m_pLabelPicture;
    QLabel *m_pLabelExplain;
    QPushButton *m_pButtonClean;
    bool m_bRepeat = false;
};
