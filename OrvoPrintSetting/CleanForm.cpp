#include "CleanForm.h"

#include "orvo-maintcmd.h"

#include <QPixmap>

CleanForm::CleanForm(QWidget *parent) : BaseForm(parent)
{
    m_pLabelTitle->setText(tr("清洁模式"));
    const QPixmap picture("://Resource/clean_1.png");
    const int pictureW = 270;
    const int pictureH = picture.isNull() ? pictureW : pictureW * picture.height() / picture.width();
    m_pLabelPicture = new QLabel(this);
    m_pLabelPicture->setGeometry((width() - pictureW) / 2, 70, pictureW, pictureH);
    m_pLabelPicture->setPixmap(picture);
    m_pLabelPicture->setScaledContents(true);
    m_pLabelPicture->setAlignment(Qt::AlignCenter);

    m_pLabelExplain = new QLabel(this);
    m_pLabelExplain->setGeometry(0, 70 + pictureH, width(), 3 * m_pLabelPrinter->height());
    m_pLabelExplain->setAlignment(Qt::AlignCenter);
    QFont font = m_pLabelExplain->font();
    font.setPointSize(10);
    m_pLabelExplain->setFont(font);
    m_pLabelExplain->setText(tr("点击“清洗”按钮，发送清洗任务。\r\n"
                                "若检测页面与此图页面更接近，图案较为完整，则清洁完成；\r\n"
                                "若图案出现残缺，请单击“重新清洗”，直至检测图案与此图页面相似。"));

    m_pButtonClean = new QPushButton(tr("清洗"), this);
    m_pButtonClean->setGeometry((width() - m_pButtonBack->width()) / 2, 325, m_pButtonBack->width(),
                                m_pButtonBack->height());
    m_pButtonClean->setObjectName("buttonClean");
    connect(m_pButtonClean, &QPushButton::clicked, this, &CleanForm::OnButtonCleanClicked);
}

void CleanForm::InitForm()
{
    RefreshDeviceCombobox();
}

void CleanForm::OnComboBoxDeviceChanged(int)
{
    m_pButtonClean->setText(tr("清洗"));
    m_bRepeat = false;
}

void CleanForm::OnButtonCleanClicked()
{
    const stPrinterInfo *printer = ConfirmedPrinter(MM_CLEAN_CONFIRM);
    if (!printer)
        return;
    const unsigned char *command = m_bRepeat ? c_ucCleanRepeat : c_ucCleanFirst;
    const int length = m_bRepeat ? c_iCleanRepeatLen : c_iCleanFirstLen;
    enMaintMessage message = SendCommand(*printer, command, length);
    if (message == MM_NONE) {
        m_bRepeat = true;
        m_pButtonClean->setText(tr("重新清洗"));
        message = MM_CLEAN_SENT;
    }
    ShowMessageBoxOk(MaintText(message));
}
