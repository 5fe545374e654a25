// Shared pieces of the tray tool tests: real printer list and status files under the
// install root, status responses laid out as a printer sends them, and a window whose
// tray notifications are recorded.
#pragma once
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "AppSetting.h"
#include "TrdDeviceManage.h"
#include "orvoprintertoolwidget.h"
#include "TrdGetPrinterStatus.h"
#include "mfpsim-statusreply.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSystemTrayIcon>
#include <QTableWidget>

struct stSimPrinter {
    unsigned char byStatus = 0x00;  // device status code: 0x00 ready, 0x03 cancelling, 0x10 printing
    QList<unsigned> listError;  // device error codes
    QList<unsigned> listWarning;
    unsigned iBlue = 0, iRed = 0, iYellow = 0, iBlack = 0;
    unsigned iWaste = 0;
    unsigned iPages = 0;
};

// A USB reply with the seven zero bytes in front, as the service stores it.
inline QByteArray BuildResponse(const stSimPrinter &p)
{
    stStatusReply r;
    r.strVendor = "Orvo";
    r.strProduct = "K20NW";
    r.strSerial = "SN0001";
    r.strFirmware = "V1.0";
    r.byStatus = p.byStatus;
    for (unsigned c : p.listError)
        r.listErrors.push_back(uint16_t(c));
    for (unsigned c : p.listWarning)
        r.listWarnings.push_back(uint16_t(c));
    r.listSupply = {SupplyNumber(c_wSupplyCyan, p.iBlue, 2), SupplyNumber(c_wSupplyRed, p.iRed, 2),
                    SupplyNumber(c_wSupplyYellow, p.iYellow, 2), SupplyNumber(c_wSupplyBlack, p.iBlack, 2),
                    SupplyNumber(c_wSupplyWaste, p.iWaste, 2), SupplyNumber(c_wSupplyPages, p.iPages, 4)};
    const StatusBytes b = EncodeUsbStatusReply(r);
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

// Every write gets a modification time later than the one before, whatever the clock says.
inline bool WriteStatusFile(const QString &printer, const QByteArray &bytes)
{
    static QDateTime last;
    QDir().mkpath(OrvoCfgPath());
    QFile f(StatusFilePath(printer));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        return false;
    QDateTime stamp = QDateTime::currentDateTime();
    if (last.isValid() && stamp <= last)
        stamp = last.addMSecs(1);
    last = stamp;
    return f.setFileTime(stamp, QFileDevice::FileModificationTime);
}

inline stPrinterInfo MakeInfo(const QString &name, int type, const QString &port)
{
    stPrinterInfo i;
    i.strPrinterName = name;
    i.strModelName = "Orvo K20NW";
    i.iConnectType = type;
    i.strPort = port;
    i.strDeviceURI = type == CONNECT_USB ? "usb://" + port : "socket://" + port + ":9100";
    return i;
}

inline void WritePrinterList(const QList<stPrinterInfo> &infos)
{
    SavePrinterInfo(infos, true);
}

struct stBalloon {
    QString strTitle;
    QString strText;
    QSystemTrayIcon::MessageIcon enIcon;
    int iMs;
};

class TestToolWidget : public OrvoPrinterToolWidget {
public:
    explicit TestToolWidget(bool trayAvailable = true) : bTray(trayAvailable) {}
    QList<stBalloon> listBalloon;
    bool bTray;

protected:
    void ShowTrayMessage(const QString &title, const QString &text, QSystemTrayIcon::MessageIcon icon,
                         int ms) override
    {
        listBalloon.append({title, text, icon, ms});
    }
    bool IsTrayAvailable() const override { return bTray; }
};

inline QString CellText(const OrvoPrinterToolWidget &w, int row, int col)
{
    const QTableWidgetItem *item = w.DeviceTable()->item(row, col);
    return item ? item->text() : QString();
}
