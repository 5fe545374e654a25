// What the maintenance pages and their command-line twin tell the user, and the one
// exchange with a printer of the printer list that both run (USB or UDP by connection).
#pragma once
#include "orvo-records.h"

struct stUsbFailure;

#include <QString>

enum enMaintMessage {
    MM_NONE = 0,  // success, nothing to report
    MM_SELECT_PRINTER,
    MM_USB_ONLY,
    MM_UNSUPPORTED_MODEL,
    MM_INIT_FAILED,
    MM_CONNECT_FAILED,
    MM_COMM_FAILED,
    MM_READ_FAILED,
    MM_UNKNOWN_ERROR,
    MM_BAD_ADDRESS,
    MM_NET_SET_DONE,
    MM_CLEAN_CONFIRM,
    MM_CLEAN_SENT,
    MM_ALIGN_CONFIRM,
    MM_ALIGN_SENT,
    MM_ALIGN_DONE,
};

// The message as the windows and the command line show it: Chinese, or its English
// translation once the catalogue is installed (orvo-translate.h).
QString MaintText(enMaintMessage id);

// The message for a USB exchange's result (enUsbResult). A command that needs no reply also
// succeeds when none came (USB_READ_FAILED).
enMaintMessage UsbResultMessage(int result, bool bReplyNeeded);

// One command to the printer: USB (iConnectType 1) through USBSendRecvData with the
// model's ids, any other connection as a datagram to strPort. A network printer's
// command succeeds once sent. Returns MM_NONE on success; recvSize gets the reply's length;
// pFailure, when given, the reason behind a failed USB exchange.
enMaintMessage MaintExchange(const stPrinterInfo &info, const unsigned char *send, int sendLen, unsigned char *recv,
                             int recvCap, int &recvSize, bool bReplyNeeded, stUsbFailure *pFailure = nullptr);
