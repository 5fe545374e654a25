#include "AlignmentForm.h"

#include <QDebug>
#include <QPixmap>

AlignmentForm::AlignmentForm(QWidget *parent) : BaseForm(parent)
{
    m_pLabelTitle->setText(tr("校准"));
    const int w = width();

    m_pLabelPrintHint = new QLabel(this);
    m_pLabelPrintHint->setGeometry(0, 75, w, 52);
    m_pLabelPrintHint->setAlignment(Qt::AlignCenter);
    m_pLabelPrintHint->setText(tr("校准前请确认打印机电源已打开并与计算机已连接，\r\n"
                                  "在纸盒放入A4或Letter尺寸的普通纸，然后单击“打印校准页”。"));
    m_pLabelChooseHint = new QLabel(this);
    m_pLabelChooseHint->setGeometry(0, 75, w, 26);
    m_pLabelChooseHint->setAlignment(Qt::AlignCenter);
    m_pLabelChooseHint->setText(tr("对照打印校准页面，选择校准样本中最符合图示图形的号码"));

    const int rowH = m_pLabelPrinter->height();
    for (int i = 0; i < c_iAlignmentRows; ++i) {
        const int n = i + 1;
        const int y = 106 + 35 * i;
        const QPixmap picture(QString(":/Resource/alignment_%1.png").arg(n));
        const int pictureW = 64;
        const int pictureH = picture.isNull() ? pictureW : pictureW * picture.height() / picture.width();
        const int x0 = (w - pictureW - 114) / 2;
        m_pLabelRow[i] = new QLabel(QString("#%1").arg(n), this);
        m_pLabelRow[i]->setGeometry(x0, y + 4, 28, rowH);
        m_pLabelPicture[i] = new QLabel(this);
        m_pLabelPicture[i]->setGeometry(x0 + 32, y + 2, pictureW, pictureH);
        m_pLabelPicture[i]->setPixmap(picture);
        m_pLabelPicture[i]->setScaledContents(true);
        m_pLabelPicture[i]->setAlignment(Qt::AlignCenter);
        m_pSpinBox[i] = new QSpinBox(this);
        m_pSpinBox[i]->setGeometry(x0 + pictureW + 64, y, 54, rowH + 8);
        m_pSpinBox[i]->setRange(AlignmentMin(n), AlignmentMax(n));
        m_pSpinBox[i]->setSingleStep(1);
        m_pSpinBox[i]->setObjectName(QString("spinBox_%1").arg(n));
    }

    const QSize button = m_pButtonBack->size();
    const int gap = (w - 2 * button.width()) / 3;
    m_pButtonBack->move(gap, m_pButtonBack->y());
    m_pButtonPrint = new QPushButton(tr("打印校准页"), this);
    m_pButtonFinish = new QPushButton(tr("完成校准"), this);
    for (QPushButton *b : {m_pButtonPrint, m_pButtonFinish})
        b->setGeometry(w - button.width() - gap, m_pButtonBack->y(), button.width(), button.height());
    m_pButtonPrint->setObjectName("buttonPrint");
    m_pButtonFinish->setObjectName("buttonFinish");
    connect(m_pButtonPrint, &QPushButton::clicked, this, &AlignmentForm::OnButtonPrintClicked);
    connect(m_pButtonFinish, &QPushButton::clicked, this, &AlignmentForm::OnButtonFinishClicked);
    SetAlignmentEnable(false);
}

void AlignmentForm::InitForm()
{
    RefreshDeviceCombobox();
    SetAlignmentEnable(false);
}

void AlignmentForm::OnComboBoxDeviceChanged(int)
{
    SetAlignmentEnable(false);
}

void AlignmentForm::SetAlignmentEnable(bool enable)
{
    for (int i = 0; i < c_iAlignmentRows; ++i) {
        m_pLabelRow[i]->setVisible(enable);
        m_pLabelPicture[i]->setVisible(enable);
        m_pSpinBox[i]->setVisible(enable);
        if (enable)
            m_pSpinBox[i]->setValue(0);
    }
    m_pComboBoxDevice->setEnabled(!enable);
    m_pLabelChooseHint->setVisible(enable);
    m_pButtonFinish->setVisible(enable);
    m_pLabelPrintHint->setVisible(!enable);
    m_pButtonPrint->setVisible(!enable);
}

void AlignmentForm::OnButtonPrintClicked()
{
    const stPrinterInfo *printer = ConfirmedPrinter(MM_ALIGN_CONFIRM);
    if (!printer)
        return;
    const enMaintMessage message = SendCommand(*printer, c_ucAlignmentPrint, c_iAlignmentPrintLen);
    ShowMessageBoxOk(MaintText(message == MM_NONE ? MM_ALIGN_SENT : message));
    if (message == MM_NONE)
        SetAlignmentEnable(true);
}

void AlignmentForm::OnButtonFinishClicked()
{
    const stPrinterInfo *printer = SelectedPrinter();
    if (!printer)
        return;
    int values[c_iAlignmentRows];
    for (int i = 0; i < c_iAlignmentRows; ++i) {
        values[i] = m_pSpinBox[i]->value();
        qDebug() << "result:" << uint32_t(AlignmentScaled(i + 1, values[i]));
        qDebug() << "m_pSpinBox[i]->value():" << values[i];
    }
    unsigned char command[c_iAlignmentFinishLen];
    BuildAlignmentFinish(values, command);
    const enMaintMessage message = SendCommand(*printer, command, c_iAlignmentFinishLen);
    ShowMessageBoxOk(MaintText(message == MM_NONE ? MM_ALIGN_DONE : message));
    if (message == MM_NONE)
        SetAlignmentEnable(false);
}
