// The firmware updater's window: USB printers of the printer list, a firmware file, one button.
#pragma once
#include "orvo-records.h"

#include <QList>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class Widget;
}
QT_END_NAMESPACE

class Widget : public QWidget {
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    QList<stPrinterInfo> GetPrinterInfo();
    void RefreshDeviceTable();
    void InitDeviceTable();
    void InitUI();
    bool GetPrinterVidPid(const QString &strModelName, int &iVendorID, int &iProductID);
    // Reads the whole file into a buffer allocated with malloc; the caller frees it with free,
    // on success and on failure.
    bool CheckFWFile(const QString &strFilePath, unsigned char *&pBuffer, int &iLength);
    int ShowMessageBoxOk(const QString &strText);
    int ShowMessageBoxOkCancel(const QString &strText);

private slots:
    void on_buttonOK_clicked();
    void on_buttonBrowse_clicked();
    void on_buttonRefresh_clicked();

protected:
    // How long one chunk's bulk write may wait for the printer.
    unsigned int uiChunkTimeoutMs;

private:
    // Streams the image on a worker thread behind a modal progress dialog; the last result.
    int RunTransfer(int iVendorID, int iProductID, const stPrinterInfo &printer, const unsigned char *pImage,
                    int iLength);

    Ui::Widget *ui;
    QList<stPrinterInfo> listPrinterInfo;
};
