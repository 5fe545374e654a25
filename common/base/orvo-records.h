// Plain value records shared by every program that knows printers.
#pragma once
#include <QList>
#include <QString>
#include <cstdint>

// Printer status; device codes are mapped to these by GetPrinterStatusEnum.
enum enPrinterStatus : int {
    PS_UNKNOWN = 0,
    PS_VERSION_MISMATCH = 1,
    PS_OFFLINE = 2,
    PS_READY = 3,
    PS_INITIALIZE = 4,
    PS_BUSY = 5,
    PS_CANCELING_JOB = 6,
    PS_ERROR = 7,
    PS_PRINTING = 8,
    PS_SCANNING = 9,
    PS_COPYING = 10,
    PS_REPORTING = 11,
    PS_CLEANING = 12,
    PS_ALIGNMENT = 13,
    PS_SCAN_BACK = 14,
    PS_DEBUG = 15,
};

// Error and warning values 1..45 (0: a code the suite does not know); see GetErrorStatusEnum.
enum enErrorStatus : int { ES_UNKNOWN = 0,
                           ES_LAST = 45 };

// One CUPS queue.
struct stPrinterInfo {
    QString strPrinterName;
    QString strModelName;
    int iConnectType = 0;  // 0 not set, 1 USB, 2 network
    QString strPort;  // USB: URI without "usb://"; network: host
    QString strDeviceURI;
};

enum { CONNECT_NONE = 0,
       CONNECT_USB = 1,
       CONNECT_NET = 2 };

// One printer's last parsed status.
struct stPrinterState {
    QString strPrinterSerialNumber;
    enPrinterStatus enCurrentStatus = PS_OFFLINE;
    QString strFWVersion;
    QString strVenderName;
    QString strProductName;
    QList<enErrorStatus> listError;
    QList<enErrorStatus> listWarning;
    QString strSupplySerialNumber;
    int enSpplyType = 0;
    uint64_t dwRemainingToner = 0;
    uint64_t dwWasteToner = 0;
    uint64_t dwBlackInkRemainer = 0;
    uint64_t dwBlueInkRemainer = 0;
    uint64_t dwRedInkRemainer = 0;
    uint64_t dwYellowInkRemainer = 0;
    uint64_t dwOPCRotation = 0;
    uint64_t dwNumberOfPages = 0;
    uint64_t dwNumberOfPrint = 0;
    uint64_t dwPrintDotsCount = 0;
    uint64_t dwPrinterNumOfPages = 0;
    uint64_t dwPrinterNumOfPrint = 0;
    int iFailCount = 0;
};

// Job states as the job monitor derives them.
enum { JOB_NO_ALERTS = 0,
       JOB_PRINTING = 1,
       JOB_OTHER_ALERT = 2,
       JOB_CANCELED_BY_USER = 3,
       JOB_LISTED = 4 };

struct stJobState {
    QString strJobID;  // queue name, dash, job number
    int32_t iJobState = JOB_LISTED;
};

// One element of a program's shared printer list. The tray tool uses only stInfo and stState.
struct stPrinterManager {
    stPrinterInfo stInfo;
    stPrinterState stState;
    QList<stJobState> listJobState;
    bool bInfoReady = false;
};

// Whether two queue records name the same printer: the same queue name, port and device URI
// (exact, case-sensitive); the model and the connection type do not count.
bool IsSamePrinter(const stPrinterInfo &element, const stPrinterInfo &working);
// Whether the queues are the printers the list holds, position by position (IsSamePrinter).
bool PrinterListEqual(const QList<stPrinterManager> &list, const QList<stPrinterInfo> &infos);

void InitStPrinterInfo(stPrinterInfo &info);
void InitStPrinterState(stPrinterState &state);
// A printer that stopped answering, as the service and the tray tool declare it: off-line,
// without errors and warnings, failure count 0; the other fields keep their last values.
void SetPrinterOffline(stPrinterState &state);
QList<stPrinterManager> GetInitPrinterList(const QList<stPrinterInfo> &infos);
