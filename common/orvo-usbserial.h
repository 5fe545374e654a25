// The serial test of every USB printer search: a printer list port such as
// "Orvo/K20NW?serial=AB12" names the device whose serial number begins, ignoring case,
// with the port's "serial" query item.
#pragma once
#include <QString>
#include <cstdint>

struct libusb_device_handle;

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
