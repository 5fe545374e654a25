#include "widget.h"
#include "ui_widget.h"

#include "FWProgressDialog.h"
#include "FWUpdateAttempts.h"
#include "FWUpdateLock.h"
#include "FWUpdateTask.h"
#include "orvo-log.h"
#include "orvo-models.h"
#include "orvo-msgbox.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

#include <climits>
#include <cstdio>
#include <cstdlib>

#define FW_LOG(fn, ...) WriteStringLog("OrvoFWUpdate/widget", __LINE__, fn, __VA_ARGS__)

namespace {
// The one model whose firmware this updater sends.
const char *const c_szFWModelShortName = "K40N";

// Firmware images are a few MiB; a file beyond this is not an image and is refused before
// anything is allocated.
constexpr long c_lFWFileMaxSize = 64L * 1024 * 1024;
static_assert(c_lFWFileMaxSize <= INT_MAX, "the image length is kept in an int");

const char *const c_szTitle = QT_TRANSLATE_NOOP("Widget", "Orvo喷墨打印机升级助手");
}  // namespace

Widget::Widget(QWidget *parent) : QWidget(parent), uiChunkTimeoutMs(c_uiFWChunkTimeoutMs), ui(new Ui::Widget)
{
    ui->setupUi(this);
    InitUI();
    InitDeviceTable();
    RefreshDeviceTable();
}

Widget::~Widget()
{
    delete ui;
}

void Widget::InitUI()
{
    setWindowIcon(QIcon(":/logo.png"));
    RemoveMaximizeButton(this);
    setFixedSize(size());
    CentreOnDesktop(this);
    setWindowTitle(tr(c_szTitle));
    ui->label->setText(tr("选择您要升级的打印机："));
    ui->label_2->setText(tr("选择您要升级的固件："));
    ui->buttonRefresh->setText(tr("刷新列表"));
    ui->buttonBrowse->setText(tr("浏览"));
    ui->buttonOK->setText(tr("一键升级"));
}

void Widget::InitDeviceTable()
{
    QTableWidget *table = ui->tablePrinterList;
    table->setColumnCount(4);
    table->setHorizontalHeaderLabels({tr("打印机名称"), tr("打印机型号"),
                                      tr("连接方式"), tr("连接状态")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
}

QList<stPrinterInfo> Widget::GetPrinterInfo()
{
    QList<stPrinterInfo> list;
    for (const stPrinterInfo &info : ReadPrinterInfo())
        if (info.iConnectType == CONNECT_USB)
            list.append(info);
    return list;
}

void Widget::RefreshDeviceTable()
{
    listPrinterInfo = GetPrinterInfo();
    QTableWidget *table = ui->tablePrinterList;
    table->clearContents();
    table->setRowCount(listPrinterInfo.size());
    for (int i = 0; i < listPrinterInfo.size(); ++i) {
        const stPrinterInfo &info = listPrinterInfo.at(i);
        // Only the status file's existence counts: the service deletes it when the printer goes.
        const bool bConnected = QFileInfo(StatusFilePath(info.strPrinterName)).isFile();
        table->setItem(i, 0, new QTableWidgetItem(info.strPrinterName));
        table->setItem(i, 1, new QTableWidgetItem(info.strModelName));
        table->setItem(i, 2, new QTableWidgetItem(QStringLiteral("USB")));
        table->setItem(i, 3, new QTableWidgetItem(bConnected ? tr("已连接") : tr("未连接")));
    }
}

bool Widget::GetPrinterVidPid(const QString &strModelName, int &iVendorID, int &iProductID)
{
    const stModelInfo *model = FindModelByShortName(c_szFWModelShortName);
    if (!model || strModelName.compare(model->strModelName, Qt::CaseInsensitive) != 0)
        return false;
    iVendorID = model->iVendorID;
    iProductID = model->iProductID;
    return true;
}

bool Widget::CheckFWFile(const QString &strFilePath, unsigned char *&pBuffer, int &iLength)
{
    const QByteArray path = strFilePath.toLocal8Bit();
    FILE *fp = fopen(path.constData(), "rb");
    if (!fp)
        return false;
    FW_LOG("CheckFWFile", "open %s success\n", path.constData());
    const bool bSized = fseeko(fp, 0, SEEK_END) == 0;
    const off_t size = bSized ? ftello(fp) : -1;
    if (size < 0 || size > c_lFWFileMaxSize || fseeko(fp, 0, SEEK_SET) != 0) {
        FW_LOG("CheckFWFile", "len=%lld refused\n", static_cast<long long>(size));
        fclose(fp);
        return false;
    }
    iLength = static_cast<int>(size);
    pBuffer = static_cast<unsigned char *>(malloc(size_t(iLength)));
    const size_t got = (pBuffer && iLength > 0) ? fread(pBuffer, 1, size_t(iLength), fp) : 0;
    fclose(fp);
    FW_LOG("CheckFWFile", "len=%d\n", iLength);
    return (pBuffer || iLength == 0) && got == size_t(iLength);
}

int Widget::ShowMessageBoxOk(const QString &strText)
{
    return ShowOrvoMessageBox(tr(c_szTitle), strText, false);
}

int Widget::ShowMessageBoxOkCancel(const QString &strText)
{
    return ShowOrvoMessageBox(tr(c_szTitle), strText, true);
}

void Widget::on_buttonRefresh_clicked()
{
    RefreshDeviceTable();
}

void Widget::on_buttonBrowse_clicked()
{
    const QString start = ui->lineFilePath->text().isEmpty() ? QDir::homePath() : ui->lineFilePath->text();
    const QString path = QFileDialog::getOpenFileName(this, tr("选择您要升级的固件："), start,
                                                      tr("fls Files(*.fls)"));
    if (!path.isEmpty())
        ui->lineFilePath->setText(path);
}

void Widget::on_buttonOK_clicked()
{
    const int row = ui->tablePrinterList->currentRow();
    if (row < 0 || row >= listPrinterInfo.size()) {
        ShowMessageBoxOk(tr("请选择一个打印机进行操作！"));
        return;
    }
    // A path pasted from a file manager comes as a file URL, percent-encoded: it is decoded
    // as one. Anything else is a path as typed.
    QString path = ui->lineFilePath->text();
    if (path.startsWith("file://")) {
        path = QUrl(path).toLocalFile();
        ui->lineFilePath->setText(path);
    }
    if (!QFileInfo(path).isFile()) {
        ShowMessageBoxOk(tr("请检查文件路径！"));
        return;
    }
    const stPrinterInfo printer = listPrinterInfo.at(row);
    int iVendorID = 0, iProductID = 0;
    if (!GetPrinterVidPid(printer.strModelName, iVendorID, iProductID)) {
        ShowMessageBoxOk(tr("不支持该打印机型号！"));
        return;
    }
    if (ShowMessageBoxOkCancel(tr("是否升级打印机 %1 ？").arg(printer.strPrinterName))
        != QMessageBox::Ok)
        return;
    if (QFileInfo(path).size() > c_lFWFileMaxSize) {
        ShowMessageBoxOk(tr("升级文件超过64 MiB，不是打印机的固件，请检查文件！"));
        return;
    }
    unsigned char *pImage = nullptr;
    int iLength = 0;
    // An empty file is no firmware: the printer is not touched.
    if (!CheckFWFile(path, pImage, iLength) || iLength == 0) {
        free(pImage);
        ShowMessageBoxOk(tr("读取升级文件失败，请检查文件状态！"));
        return;
    }

    int iResult;
    {
        stFWUpdateLock lock;
        const int iLock = TakeFWUpdateLock(lock);
        if (iLock == FWLOCK_BUSY) {
            free(pImage);
            ShowMessageBoxOk(tr("打印机正在升级中，请等待当前升级完成后再试！"));
            return;
        }
        if (iLock != FWLOCK_TAKEN)
            FW_LOG("on_buttonOK_clicked", "lock file %s unusable, transfer runs unguarded\n",
                   FWUpdateLockPath().toLocal8Bit().constData());
        iResult = RunTransfer(iVendorID, iProductID, printer, pImage, iLength);
    }
    free(pImage);
    ShowMessageBoxOk(FWUpdateResultText(iResult));
}

int Widget::RunTransfer(int iVendorID, int iProductID, const stPrinterInfo &printer, const unsigned char *pImage,
                        int iLength)
{
    FWProgressDialog dialog(printer.strPrinterName, iLength, this);
    const unsigned int uiTimeout = uiChunkTimeoutMs;
    int iResult = 0;
    // The window keeps painting while the worker streams; progress comes back queued.
    QThread *worker = QThread::create([&]() {
        iResult = RunFWUpdateAttempts(iVendorID, iProductID, printer.strPort, pImage, iLength, uiTimeout,
                                      [&dialog](int iAttempt, int iSent) {
                                          QMetaObject::invokeMethod(
                                              &dialog, [&dialog, iAttempt, iSent]() { dialog.SetProgress(iAttempt, iSent); },
                                              Qt::QueuedConnection);
                                      });
    });
    connect(worker, &QThread::finished, &dialog, &QDialog::accept, Qt::QueuedConnection);
    worker->start();
    dialog.exec();
    worker->wait();
    delete worker;
    return iResult;
}
