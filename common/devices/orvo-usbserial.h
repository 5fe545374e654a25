// The one search for a USB printer on the bus, shared by the maintenance tool, the updater
// and the print service: a printer list port such as "Orvo/K20NW?serial=AB12" names the
// device of the model's ids whose serial number begins, ignoring case, with the port's
// "serial" query item.
#pragma once
#include <QString>
#include <cstdint>
#include <libusb.h>

// Longest serial number a device reports (its string descriptor read into 64 bytes).
constexpr int c_iUsbSerialMax = 63;

// Reads the serial number string (string descriptor `index`) of an open device as ASCII,
// at most c_iUsbSerialMax characters. Returns libusb's result: negative on failure.
int ReadUsbSerial(libusb_device_handle *handle, uint8_t index, QString &serial);

// The port's "serial" query item; empty when the port has none.
QString PortSerial(const QString &port);

// True when the port's serial, ignoring case, is a prefix of the device's serial
// (so a port without a serial item accepts any device of the model).
bool IsSerialMatch(const QString &port, const QString &deviceSerial);

// One walk of the bus. Candidates (the wanted ids) that cannot be opened or whose serial
// cannot be read or differs are passed over; the first that matches ends the walk.
struct stUsbSearch {
    libusb_device **pList = nullptr;  // the enumeration, while pDevice is in it
    libusb_device *pDevice = nullptr;  // the printer found
    libusb_device_handle *pHandle = nullptr;  // open on pDevice
    libusb_device_descriptor stDesc{};  // the descriptor read last (pDevice's when found)
    int iListError = 0;  // libusb's code when the bus could not be listed
    int iBadDescriptor = -1;  // list position whose descriptor could not be read
    // The walk's last device was a candidate that could not be opened or its serial read.
    bool bLastCandidateFailed = false;
    // A candidate that could not be opened for lack of permission: its usbfs node.
    QString strDeniedNode;
};

enum enUsbSearchResult : int { US_FOUND = 0,
                               US_NO_LIST,
                               US_BAD_DESCRIPTOR,
                               US_NOT_FOUND };

// Walks ctx's devices (null: libusb's default context). US_FOUND leaves the list, the
// device and the open handle in search for the caller to free and close; any other result
// leaves nothing held.
enUsbSearchResult SearchUsbPrinter(libusb_context *ctx, uint16_t vid, uint16_t pid, const QString &port,
                                   stUsbSearch &search);
