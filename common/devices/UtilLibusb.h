// USB exchanges of the maintenance tool and the firmware updater: find a printer by model
// and serial number, find its printer-class interface (bulk OUT 0x01 and a bulk IN), and
// run one self-contained exchange. No handle, context or device outlives a call.
#pragma once
#include <QString>
#include <cstdint>
#include <libusb.h>

// The search request and its result; lives on the caller's stack for one exchange.
struct userDevice {
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    uint8_t bInterfaceClass = 0;  // always 7, printer class
    uint8_t bmAttributes = 0;  // always 2, bulk
    libusb_device *dev = nullptr;
    libusb_device **devList = nullptr;  // holds dev; freed at the end of the exchange
    uint8_t bInEndpointAddress = 0;
    uint8_t bOutEndpointAddress = 0;
    uint8_t bInterfaceNumber = 0;
    // A device with the ids that could not be opened for lack of permission (its serial,
    // and so whether it is the printer, unknown): its usbfs node, for the user's message.
    QString strDeniedNode;
};

// Results of an exchange (USBSendRecvData) and of its opening steps (OpenUsbExchange: the
// first six). The values are the ones the pages and the updater have always reported.
enum enUsbResult : int {
    USB_OK = 0,
    USB_INIT_FAILED = -1,  // libusb could not be initialised
    USB_NO_DEVICE = -2,  // no printer with these ids and serial (or the bus unreadable)
    USB_NO_INTERFACE = -3,  // no printer-class interface with bulk OUT 0x01 and a bulk IN
    USB_OPEN_FAILED = -4,
    USB_CLAIM_FAILED = -5,  // the claim failed, also after detaching the kernel driver
    USB_WRITE_FAILED = -6,  // the command was not written whole
    USB_READ_FAILED = -7,  // no reply read (a time-out included)
};

// Source tag of this module's log lines: each program linking it names itself at start,
// before its first exchange ("OrvoPrintSetting/UtilLibusb", "OrvoFWUpdate/UtilLibusb");
// until then the lines carry "common/UtilLibusb". The text is kept, not copied: a literal.
void SetUsbLogSource(const char *source);

int init_libusb();
// 0 found (dev, devList and desc set); -2 no device matches; -1 a device descriptor could
// not be read; libusb's negative code when the bus cannot be listed; LIBUSB_ERROR_ACCESS
// when no device matches and one with the ids could not be opened (user->strDeniedNode).
int get_device_descriptor(libusb_device_descriptor *desc, userDevice *user, const QString &uri);
// 1 when the setting has a bulk IN and a bulk OUT endpoint (their addresses recorded), else 0.
int match_with_endpoint(const libusb_interface_descriptor *setting, userDevice *user);
// 0 usable interface found; -1 a configuration descriptor could not be read; -2 none qualifies.
int get_device_endpoint(const libusb_device_descriptor *desc, userDevice *user);

// What lies behind a failed exchange, for a message that says what the user can do.
struct stUsbFailure {
    // LIBUSB_ERROR_ACCESS: the printer's device could not be opened for lack of permission;
    // LIBUSB_ERROR_BUSY: another program (CUPS's backend, the print service) holds its
    // printer interface; otherwise libusb's code behind the failure, or 0.
    int iUsbError = 0;
    QString strNode;  // with LIBUSB_ERROR_ACCESS: the usbfs node that could not be opened
};

// One command: bulk write, then bulk read. Returns an enUsbResult; USB_OK once the command
// was written and a reply (of any length) read.
// pFailure, when given, gets the reason behind a failure.
int USBSendRecvData(int vid, int pid, const QString &uri, unsigned char *send, int sendLen,
                    unsigned char *recv, int recvCap, int &recvSize, stUsbFailure *pFailure = nullptr);

// The opening and closing steps of an exchange, for exchanges of other shapes (the
// firmware stream). Log lines carry `function` as the routine's name.
struct stUsbExchange {
    userDevice stUser;
    libusb_device_descriptor stDesc{};
    libusb_device_handle *pHandle = nullptr;
    int iErrorCode = 0;  // libusb code behind a failure, for "*** error=%s"; 0 none
    bool bHeldElsewhere = false;  // -5 because another program has claimed the interface
};
// libusb initialised, printer found, its interface claimed: USB_OK, or USB_INIT_FAILED …
// USB_CLAIM_FAILED. After USB_INIT_FAILED nothing is held; after any other result
// CloseUsbExchange must follow.
int OpenUsbExchange(int vid, int pid, const QString &uri, stUsbExchange &ex, const char *function);
// Logs the error name when iErrorCode is set, releases everything, logs "*** success!".
void CloseUsbExchange(stUsbExchange &ex, const char *function);
