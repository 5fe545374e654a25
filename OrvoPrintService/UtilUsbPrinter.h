// Finds the maker's USB printer for a port text ("Orvo/K20NW?serial=AB12") and claims its
// printer interface; shared by the status query and the job cancel, which differ only in
// the class request they send and in the lines they log.
#pragma once
#include <QString>

struct libusb_device_handle;

struct stUsbLogLines {
    const char *function;
    int iInitError, iGetDeviceError, iDescriptorFailed, iDescriptorWalkFailed;
    int iCannotOpen, iKernelActive, iKernelDetached, iCannotClaim;
    bool bClaimWithCode;  // "Cannot Claim Interface,ret = %d" rather than without the code
};

extern const stUsbLogLines c_stStatusQueryLines;
extern const stUsbLogLines c_stCancelLines;

// Results of OpenUsbPrinter, which the status query and the job cancel return as theirs.
enum enUsbPrinterResult : int {
    UP_OK = 0,
    UP_NO_MODEL = -1,  // no model row for the port (the status query reports UP_NO_CONTEXT)
    UP_NO_CONTEXT = -2,  // "Init Error"
    UP_NO_DEVICE_LIST = -3,  // "Get Device Error"
    UP_DESCRIPTOR_FAILED = -4,
    UP_NO_DEVICE = -5,  // no matching device could be opened: the printer is gone
    UP_CLAIM_FAILED = -6,
};

// Returns UP_OK with an open, claimed handle in *handle, which the caller hands back to
// ReleaseUsbPrinter on the same thread, or the enUsbPrinterResult of the failure.
int OpenUsbPrinter(const QString &port, const stUsbLogLines &lines, libusb_device_handle **handle);

// Releases the printer's interface after an exchange whose result was `result` (the
// thread keeps the device open for the next exchange unless the result was a failure).
void ReleaseUsbPrinter(libusb_device_handle *handle, int result);

// Closes the printer the thread keeps open, if any: its worker serves no USB printer now.
void ForgetUsbPrinter();

// Sends one class request (device to host, to interface 0) and returns libusb's result.
int UsbClassRequest(libusb_device_handle *handle, int request, unsigned char *buf, int len);
