#include "UtilUsbPrinter.h"

#include "orvo-log.h"
#include "orvo-models.h"
#include "orvo-usbserial.h"

#include <libusb.h>

namespace {
const char *c_szSource = "../OrvoPrintService/TrdGetPrinterStatus";
} // namespace

const stUsbLogLines c_stStatusQueryLines = {"GetPrinterStatusUSB", 136, 143, 153, 188, 196, 202, 204, 208, true};
const stUsbLogLines c_stCancelLines = {"CancelPrinterJob", 556, 563, 573, 607, 615, 621, 623, 627, false};

int OpenUsbPrinter(const QString &port, const stUsbLogLines &lines, libusb_context **ctx,
                   libusb_device_handle **handle)
{
    int vid = 0, pid = 0;
    if (!GetPrinterVidPid(port, vid, pid))
        return -1;
    if (libusb_init(ctx) < 0) {
        WriteStringLog(c_szSource, lines.iInitError, lines.function, "Init Error");
        return -2;
    }
    libusb_device **devs = nullptr;
    const ssize_t count = libusb_get_device_list(*ctx, &devs);
    if (count < 0) {
        WriteStringLog(c_szSource, lines.iGetDeviceError, lines.function, "Get Device Error");
        libusb_exit(*ctx);
        return -3;
    }
    libusb_device_handle *found = nullptr;
    bool lastCallFailed = false;
    for (ssize_t i = 0; i < count && !found; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) < 0) {
            WriteStringLog(c_szSource, lines.iDescriptorFailed, lines.function,
                           "*** libusb_get_device_descriptor failed! i:%d", int(i));
            WriteStringLog(c_szSource, lines.iDescriptorWalkFailed, lines.function, "*** get_device_descriptor failed!");
            libusb_free_device_list(devs, 1);
            libusb_exit(*ctx);
            return -4;
        }
        lastCallFailed = false;
        if (desc.idProduct != pid || desc.idVendor != vid)
            continue;
        libusb_device_handle *h = nullptr;
        if (libusb_open(devs[i], &h) < 0) {
            lastCallFailed = true;
            continue;
        }
        QString serial;
        if (ReadUsbSerial(h, desc.iSerialNumber, serial) < 0) {
            lastCallFailed = true;
            libusb_close(h);
            continue;
        }
        if (IsSerialMatch(port, serial))
            found = h;
        else
            libusb_close(h);
    }
    if (!found) {
        if (lastCallFailed) {
            WriteStringLog(c_szSource, lines.iDescriptorWalkFailed, lines.function, "*** get_device_descriptor failed!");
            libusb_free_device_list(devs, 1);
            libusb_exit(*ctx);
            return -4;
        }
        WriteStringLog(c_szSource, lines.iCannotOpen, lines.function, "Cannot open device");
        libusb_free_device_list(devs, 1);
        libusb_exit(*ctx);
        return -5;
    }
    libusb_free_device_list(devs, 1);
    if (libusb_kernel_driver_active(found, 0) == 1) {
        WriteStringLog(c_szSource, lines.iKernelActive, lines.function, "Kernel Driver Active");
        if (libusb_detach_kernel_driver(found, 0) == 0)
            WriteStringLog(c_szSource, lines.iKernelDetached, lines.function, "Kernel Driver Detached!");
    }
    const int claim = libusb_claim_interface(found, 0);
    if (claim < 0) {
        if (lines.bClaimWithCode)
            WriteStringLog(c_szSource, lines.iCannotClaim, lines.function, "Cannot Claim Interface,ret = %d", claim);
        else
            WriteStringLog(c_szSource, lines.iCannotClaim, lines.function, "Cannot Claim Interface");
        libusb_close(found);
        libusb_exit(*ctx);
        return -6;
    }
    *handle = found;
    return 0;
}

int UsbClassRequest(libusb_device_handle *handle, int request, unsigned char *buf, int len)
{
    return libusb_control_transfer(handle, 0xA1, uint8_t(request), 0, 0, buf, uint16_t(len), 2000);
}
