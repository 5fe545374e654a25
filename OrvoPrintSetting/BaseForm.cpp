#include "BaseForm.h"

#include "SettingResource.h"
#include "orvo-msgbox.h"
#include "orvo-printerlist.h"

#include <QApplication>

namespace {
constexpr int c_iFormWidth = 400;
constexpr int c_iFormHeight = 455;
BaseForm::MessageBoxHook s_hookMessageBox;
}  // namespace

BaseForm::BaseForm(QWidget *parent) : QWidget(parent)
{
    InitSettingResource();
    resize(c_iFormWidth, c_iFormHeight);
    m_pLabelTitle = new QLabel(this);
    m_pLabelTitle->setGeometry(10, 10, c_iFormWidth - 20, 26);
    QFont titleFont = m_pLabelTitle->font();
    titleFont.setPointSize(15);
    m_pLabelTitle->setFont(titleFont);

    m_pLabelPrinter = new QLabel(tr("打印机名称"), this);
    m_pLabelPrinter->setGeometry(35, 50, 115, 18);
    m_pComboBoxDevice = new QComboBox(this);
    m_pComboBoxDevice->setGeometry(150, 50, 220, 20);
    m_pComboBoxDevice->setObjectName("comboBoxDevice");
    m_pComboBoxDevice->clear();
    connect(m_pComboBoxDevice, qOverload<int>(&QComboBox::currentIndexChanged), this, &BaseForm::OnComboBoxDeviceChanged);

    m_pButtonBack = new QPushButton(tr("返回"), this);
    m_pButtonBack->setGeometry((c_iFormWidth - 80) / 2, 415, 80, 26);
    m_pButtonBack->setObjectName("buttonBack");
    connect(m_pButtonBack, &QPushButton::clicked, this, &BaseForm::OnButtonBackClicked);
}

void BaseForm::OnButtonBackClicked()
{
    emit SgnChangeForm(0);
}

QList<stPrinterInfo> BaseForm::GetPrinterInfo()
{
    return ReadPrinterInfo();
}

void BaseForm::RefreshDeviceCombobox()
{
    m_listPrinterInfo = GetPrinterInfo();
    m_pComboBoxDevice->clear();
    for (const stPrinterInfo &info : m_listPrinterInfo)
        m_pComboBoxDevice->addItem(info.strPrinterName);
    if (!m_listPrinterInfo.isEmpty())
        m_pComboBoxDevice->setCurrentIndex(0);
}

const stPrinterInfo *BaseForm::SelectedPrinter()
{
    const int index = m_pComboBoxDevice->currentIndex();
    if (index < 0 || index >= m_listPrinterInfo.size()) {
        ShowMessageBoxOk(MaintText(MM_SELECT_PRINTER));
        return nullptr;
    }
    return &m_listPrinterInfo[index];
}

const stPrinterInfo *BaseForm::ConfirmedPrinter(enMaintMessage question)
{
    const stPrinterInfo *printer = SelectedPrinter();
    if (!printer || ShowMessageBoxOkCancel(MaintText(question)) != QMessageBox::Ok)
        return nullptr;
    return printer;
}

enMaintMessage BaseForm::Exchange(const stPrinterInfo &info, const unsigned char *send, int sendLen,
                                  unsigned char *recv, int recvCap, int &recvSize, bool bReplyNeeded)
{
    // The exchange blocks the window for up to a few seconds; the cursor says why.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const enMaintMessage result = MaintExchange(info, send, sendLen, recv, recvCap, recvSize, bReplyNeeded);
    QApplication::restoreOverrideCursor();
    return result;
}

enMaintMessage BaseForm::SendCommand(const stPrinterInfo &info, const unsigned char *send, int sendLen)
{
    unsigned char recv[1024] = {};
    int recvSize = 0;
    return Exchange(info, send, sendLen, recv, int(sizeof recv), recvSize, false);
}

void BaseForm::SetMessageBoxHook(MessageBoxHook hook)
{
    s_hookMessageBox = std::move(hook);
}

int BaseForm::ShowBox(const QString &text, bool bOkCancel)
{
    if (s_hookMessageBox)
        return s_hookMessageBox(text, bOkCancel);
    return ShowOrvoMessageBox(tr("Orvo喷墨打印工具"), text, bOkCancel,
                              bOkCancel ? QStringLiteral("QLabel{width:200px}") : QString());
}

int BaseForm::ShowMessageBoxOk(const QString &text)
{
    return ShowBox(text, false);
}

int BaseForm::ShowMessageBoxOkCancel(const QString &text)
{
    return ShowBox(text, true);
}
