// Page 0: the logo, the caption and one picture button per task page.
#pragma once
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class HomeForm : public QWidget {
    Q_OBJECT
public:
    explicit HomeForm(QWidget *parent = nullptr);

signals:
    void SgnChangeForm(int index);

public slots:
    void OnButtonNetFormClicked();
    void OnButtonCleanFormClicked();
    void OnButtonAlignmentFormClicked();

protected:
    QLabel *m_pLabelLogo;
    QLabel *m_pLabelCaption;
    QPushButton *m_pButtonNet;
    QPushButton *m_pButtonClean;
    QPushButton *m_pButtonAlignment;
};
