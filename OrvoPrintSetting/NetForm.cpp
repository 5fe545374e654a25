#include "NetForm.h"

#include "orvo-models.h"

#include <QIntValidator>

NetForm::NetForm(QWidget *parent) : BaseForm(parent)
{
    m_pLabelTitle->setText(tr("网络配置"));
    const QRect printer = m_pLabelPrinter->geometry();
    const int x = m_pComboBoxDevice->x();
    int y = printer.y() + 30;

    auto *labelSource = new QLabel(tr("IP获取方式"), this);
    labelSource->setGeometry(printer.x(), y, printer.width(), printer.height());
    m_pComboBoxSource = new QComboBox(this);
    m_pComboBoxSource->setGeometry(x, y, 120, 20);
    m_pComboBoxSource->setObjectName("comboBoxSource");
    m_pComboBoxSource->addItem(QStringLiteral("DHCP"));
    m_pComboBoxSource->addItem(tr("静态"));
    m_pComboBoxSource->setCurrentIndex(0);
    connect(m_pComboBoxSource, qOverload<int>(&QComboBox::currentIndexChanged), this, &NetForm::OnComboBoxSourceChanged);

    static const char *const rowNames[c_iIPAddressCount] = {
        QT_TR_NOOP("IP地址"), QT_TR_NOOP("子网掩码"), QT_TR_NOOP("网关地址"), QT_TR_NOOP("主DNS服务器"),
        QT_TR_NOOP("辅助DNS服务器"), QT_TR_NOOP("主WINS服务器"), QT_TR_NOOP("辅助WINS服务器")};
    for (int row = 0; row < c_iIPAddressCount; ++row) {
        y += 30;
        auto *label = new QLabel(tr(rowNames[row]), this);
        label->setGeometry(printer.x(), y, printer.width(), printer.height());
        for (int k = 0; k < 4; ++k) {
            QLineEdit *edit = new QLineEdit(this);
            edit->setGeometry(x + 50 * k, y, 40, 20);
            edit->setObjectName(QString("edit_%1_%2").arg(row).arg(k));
            edit->setValidator(new QIntValidator(0, 255, edit));
            m_pEdit[row][k] = edit;
            if (k < 3) {
                auto *dot = new QLabel(".", this);
                dot->setGeometry(x + 50 * k + 43, y, 10, 18);
            }
        }
    }

    const QSize button = m_pButtonBack->size();
    const int gap = (width() - 2 * button.width()) / 3;
    const int buttonY = printer.y() + 270;
    m_pButtonGet = new QPushButton(tr("读取"), this);
    m_pButtonGet->setGeometry(gap, buttonY, button.width(), button.height());
    m_pButtonSet = new QPushButton(tr("设置"), this);
    m_pButtonSet->setGeometry(2 * gap + button.width(), buttonY, button.width(), button.height());
    m_pButtonGet->setObjectName("buttonGet");
    m_pButtonSet->setObjectName("buttonSet");
    connect(m_pButtonGet, &QPushButton::clicked, this, &NetForm::OnButtonGetClicked);
    connect(m_pButtonSet, &QPushButton::clicked, this, &NetForm::OnButtonSetClicked);
    InitEdit();
}

void NetForm::InitForm()
{
    RefreshDeviceCombobox();
    InitEdit();
}

void NetForm::OnComboBoxDeviceChanged(int)
{
    InitEdit();
}

void NetForm::InitEdit()
{
    for (auto &row : m_pEdit)
        for (QLineEdit *edit : row)
            edit->setText("0");
    m_pComboBoxSource->setCurrentIndex(0);
    OnComboBoxSourceChanged(0);  // also when the index was 0 already
}

void NetForm::OnComboBoxSourceChanged(int index)
{
    for (auto &row : m_pEdit)
        for (QLineEdit *edit : row)
            edit->setEnabled(index != 0);
}

bool NetForm::SetIPToEdit(const QString &text, QLineEdit *const edits[4])
{
    QStringList octets;
    if (!SplitIPAddress(text, octets))
        return false;
    for (int k = 0; k < 4; ++k)
        edits[k]->setText(octets[k]);
    return true;
}

bool NetForm::GetIPFromEdit(QString &text, QLineEdit *const edits[4])
{
    const QString joined =
        edits[0]->text() + "." + edits[1]->text() + "." + edits[2]->text() + "." + edits[3]->text();
    if (!IsIPValid(joined))
        return false;
    text = joined;
    return true;
}

void NetForm::SetSheetInfo(const stIPInfo &info)
{
    // A reply without the source item leaves the chooser as it is.
    if (info.iIPSource == 0 || info.iIPSource == 1)
        m_pComboBoxSource->setCurrentIndex(info.iIPSource);
    for (int row = 0; row < c_iIPAddressCount; ++row)
        SetIPToEdit(IPInfoAddress(info, row), m_pEdit[row]);
}

bool NetForm::GetSheetInfo(stIPInfo &info)
{
    info.iIPSource = m_pComboBoxSource->currentIndex();
    bool ok = true;
    for (int row = 0; row < c_iIPAddressCount; ++row)
        ok = GetIPFromEdit(IPInfoAddress(info, row), m_pEdit[row]) && ok;
    return ok;
}

const stPrinterInfo *NetForm::SelectedUsbPrinter()
{
    const stPrinterInfo *printer = SelectedPrinter();
    if (!printer)
        return nullptr;
    if (printer->iConnectType != CONNECT_USB) {
        ShowMessageBoxOk(MaintText(MM_USB_ONLY));
        return nullptr;
    }
    int vid = 0, pid = 0;
    if (!GetPrinterVidPid(printer->strPort, vid, pid)) {
        ShowMessageBoxOk(MaintText(MM_UNSUPPORTED_MODEL));
        return nullptr;
    }
    return printer;
}

void NetForm::OnButtonGetClicked()
{
    const stPrinterInfo *printer = SelectedUsbPrinter();
    if (!printer)
        return;
    unsigned char recv[c_iIPReplyMax] = {};
    int recvSize = 0;
    enMaintMessage message =
        Exchange(*printer, c_ucIPReadRequest, c_iIPReadRequestLen, recv, int(sizeof recv), recvSize, true);
    if (message == MM_NONE) {
        stIPInfo info;
        if (!ParseRecvData(recv, recvSize, info))
            message = MM_READ_FAILED;
        else
            SetSheetInfo(info);
    }
    if (message != MM_NONE)
        ShowMessageBoxOk(MaintText(message));
}

void NetForm::OnButtonSetClicked()
{
    const stPrinterInfo *printer = SelectedUsbPrinter();
    if (!printer)
        return;
    stIPInfo info;
    unsigned char request[c_iIPWriteRequestLen];
    int requestLen = 0;
    if (!GetSheetInfo(info) || !WriteSendData(info, request, requestLen)) {
        ShowMessageBoxOk(MaintText(MM_BAD_ADDRESS));
        return;
    }
    unsigned char recv[c_iIPReplyMax] = {};
    int recvSize = 0;
    const enMaintMessage message = Exchange(*printer, request, requestLen, recv, int(sizeof recv), recvSize, true);
    ShowMessageBoxOk(MaintText(message == MM_NONE ? MM_NET_SET_DONE : message));
}
