// Parser of one printer status response (USB reply behind seven zero bytes, or a UDP reply),
// the mappings of its device codes, and the record built from it.
#pragma once
#include "orvo-records.h"
#include <QList>
#include <QString>
#include <cstdint>

// Capacities of the parser's text buffers, terminating zero included.
constexpr unsigned long c_dwNameTextSize = 260;  // vendor, product, printer serial number
constexpr unsigned long c_dwVersionTextSize = 255;  // firmware version, fifth text
constexpr unsigned long c_dwSupplyTextSize = 64;  // supply serial number

// Largest status file a reader takes in.
constexpr qint64 c_iStatusFileMaxSize = 2048;

class UtilPrinterStatus {
public:
    UtilPrinterStatus();

    // Walks the response from offset 7, checking that every field fits before reading it.
    // A text longer than its buffer is accepted and cut to capacity - 1 bytes, the part a
    // bounded copy keeps; the rest of the text is still stepped over. One object serves one
    // response (the code lists only grow). On false nothing in the object is meaningful.
    bool parseRecvBuf(const unsigned char *buf, unsigned long len);

    unsigned char byReserved1 = 0;
    uint16_t wReserved2 = 0;
    uint16_t wReserved3 = 0;
    char szVenderName[c_dwNameTextSize];
    char szProductName[c_dwNameTextSize];
    char szPrinterSerialNumber[c_dwNameTextSize];
    uint16_t wReserved4 = 0;
    unsigned char byPrinterStatus = 0;
    char szFWVersion[c_dwVersionTextSize];
    char szFifthText[c_dwVersionTextSize];
    // Raw device codes in device order; the service logs the first of each.
    QList<unsigned long> listErrorCode;
    QList<unsigned long> listWarningCode;
    unsigned char byReserved5 = 0;
    uint16_t wReserved6 = 0;
    uint16_t wReserved7 = 0;
    unsigned char bySupplyCount = 0;

    char szSupplySerialNumber[c_dwSupplyTextSize];
    unsigned long dwSupplyType = 0;
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
};

enPrinterStatus GetPrinterStatusEnum(unsigned long code);
enErrorStatus GetErrorStatusEnum(unsigned long code);
int GetTonerTypeEnum(unsigned long code);

// Replaces state with a fresh record from a successful parse (iFailCount 0).
void FillPrinterState(const UtilPrinterStatus &status, stPrinterState &state);

// True when anything the tray tool shows differs: status, remaining toner, the four inks,
// the error and warning lists (order included).
bool CheckStatusChange(const stPrinterState &a, const stPrinterState &b);

// Reads at most c_iStatusFileMaxSize bytes of a status file and parses them; on success
// replaces out with the filled record, on failure leaves it untouched.
bool ParseStatusFile(const QString &path, stPrinterState &out);
