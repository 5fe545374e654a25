#include "UtilUsbPrinter.h"

#include "orvo-log.h"
#include "orvo-models.h"
#include "orvo-usbserial.h"

#include <libusb.h>

#include <dirent.h>
#include <sys/time.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
const char *c_szSource = "../OrvoPrintService/TrdGetPrinterStatus";

// One USB context per worker thread, made at its first USB exchange and kept until the
// thread ends: making a context enumerates every device and starts and stops libusb's event
// thread, which cost many times the status request itself when done for every exchange.
// The context learns of plugging and unplugging from the udev daemon, which does not
// announce devices everywhere (containers, test beds), so it is also made afresh whenever
// the bus's device nodes differ from those it was made with.
// The printer found last stays open between exchanges (its interface is released after
// each): an open device is the one whose serial number matched for as long as it stays on
// the bus (a replugged printer is a new device), so opening it and reading its serial number
// again, three round trips to the device per exchange, would find the same. A printer that
// left the bus refuses the claim and is searched for afresh; a failed exchange also forgets it.
struct stThreadUsb {
    libusb_context *pCtx = nullptr;
    std::vector<std::string> listNodes;  // the device nodes when pCtx was made
    libusb_device_handle *pHandle = nullptr;
    QString strPort;  // the port pHandle was found for
    void Forget()
    {
        if (pHandle)
            libusb_close(pHandle);
        pHandle = nullptr;
        strPort.clear();
    }
    ~stThreadUsb()
    {
        Forget();
        if (pCtx)
            libusb_exit(pCtx);
    }
};
thread_local stThreadUsb t_usb;

// "BUS/DEVICE" of every node below /dev/bus/usb, sorted; a replugged device has a new one.
std::vector<std::string> UsbDeviceNodes()
{
    std::vector<std::string> nodes;
    DIR *top = opendir("/dev/bus/usb");
    if (!top)
        return nodes;
    while (const dirent *bus = readdir(top)) {
        if (bus->d_name[0] == '.')
            continue;
        const std::string busName = bus->d_name;
        DIR *dir = opendir(("/dev/bus/usb/" + busName).c_str());
        if (!dir)
            continue;
        while (const dirent *node = readdir(dir)) {
            if (node->d_name[0] != '.')
                nodes.push_back(busName + '/' + node->d_name);
        }
        closedir(dir);
    }
    closedir(top);
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

libusb_context *ThreadUsbContext()
{
    // Read before the context enumerates: a change in between makes the next call renew it.
    std::vector<std::string> nodes = UsbDeviceNodes();
    // Only a search asks for the context, and the printer kept open is let go before one.
    if (t_usb.pCtx && nodes != t_usb.listNodes) {
        libusb_exit(t_usb.pCtx);
        t_usb.pCtx = nullptr;
    }
    if (!t_usb.pCtx) {
        if (libusb_init(&t_usb.pCtx) < 0) {
            t_usb.pCtx = nullptr;
            return nullptr;
        }
        t_usb.listNodes = std::move(nodes);
        return t_usb.pCtx;
    }
    // Plug and unplug notices queue up in the context until events are handled; a transfer
    // handles them, but an exchange that finds no printer makes none.
    timeval now{0, 0};
    libusb_handle_events_timeout_completed(t_usb.pCtx, &now, nullptr);
    return t_usb.pCtx;
}
}  // namespace

const stUsbLogLines c_stStatusQueryLines = {"GetPrinterStatusUSB", 136, 143, 153, 188, 196, 202, 204, 208, true};
const stUsbLogLines c_stCancelLines = {"CancelPrinterJob", 556, 563, 573, 607, 615, 621, 623, 627, false};

namespace {
// Walks the context's devices for the port's printer as the first exchange with it does.
// Returns 0 with the open device in *found, or the result code of the failure.
int FindUsbPrinter(libusb_context *ctx, const QString &port, int vid, int pid, const stUsbLogLines &lines,
                   libusb_device_handle **found)
{
    stUsbSearch search;
    switch (SearchUsbPrinter(ctx, uint16_t(vid), uint16_t(pid), port, search)) {
    case US_NO_LIST:
        WriteStringLog(c_szSource, lines.iGetDeviceError, lines.function, "Get Device Error");
        return UP_NO_DEVICE_LIST;
    case US_BAD_DESCRIPTOR:
        WriteStringLog(c_szSource, lines.iDescriptorFailed, lines.function,
                       "*** libusb_get_device_descriptor failed! i:%d", search.iBadDescriptor);
        WriteStringLog(c_szSource, lines.iDescriptorWalkFailed, lines.function, "*** get_device_descriptor failed!");
        return UP_DESCRIPTOR_FAILED;
    case US_FOUND:
        // The device stays open; the list is not needed to use it.
        libusb_free_device_list(search.pList, 1);
        *found = search.pHandle;
        return UP_OK;
    case US_NOT_FOUND:
        break;
    }
    if (search.bLastCandidateFailed) {
        WriteStringLog(c_szSource, lines.iDescriptorWalkFailed, lines.function, "*** get_device_descriptor failed!");
        return UP_DESCRIPTOR_FAILED;
    }
    WriteStringLog(c_szSource, lines.iCannotOpen, lines.function, "Cannot open device");
    return UP_NO_DEVICE;
}
}  // namespace

namespace {
// Claims the printer interface; returns libusb's result. Claimed first: a kernel driver
// bound to the interface makes the claim fail, and is looked for only then, which spares a
// round trip to the device in every exchange.
int ClaimPrinter(libusb_device_handle *h, const stUsbLogLines &lines)
{
    int claim = libusb_claim_interface(h, 0);
    if (claim < 0 && claim != LIBUSB_ERROR_NO_DEVICE && libusb_kernel_driver_active(h, 0) == 1) {
        WriteStringLog(c_szSource, lines.iKernelActive, lines.function, "Kernel Driver Active");
        if (libusb_detach_kernel_driver(h, 0) == 0)
            WriteStringLog(c_szSource, lines.iKernelDetached, lines.function, "Kernel Driver Detached!");
        claim = libusb_claim_interface(h, 0);
    }
    return claim;
}

int CannotClaim(int claim, const stUsbLogLines &lines)
{
    if (lines.bClaimWithCode)
        WriteStringLog(c_szSource, lines.iCannotClaim, lines.function, "Cannot Claim Interface,ret = %d", claim);
    else
        WriteStringLog(c_szSource, lines.iCannotClaim, lines.function, "Cannot Claim Interface");
    t_usb.Forget();
    return UP_CLAIM_FAILED;
}
}  // namespace

int OpenUsbPrinter(const QString &port, const stUsbLogLines &lines, libusb_device_handle **handle)
{
    int vid = 0, pid = 0;
    if (!GetPrinterVidPid(port, vid, pid))
        return UP_NO_MODEL;
    if (t_usb.pHandle && t_usb.strPort != port)
        t_usb.Forget();
    // The printer kept open from the last exchange takes the claim while it is on the bus;
    // one that has gone is searched for afresh, and the search reports it missing.
    if (t_usb.pHandle) {
        const int claim = ClaimPrinter(t_usb.pHandle, lines);
        if (claim == 0) {
            *handle = t_usb.pHandle;
            return UP_OK;
        }
        if (claim != LIBUSB_ERROR_NO_DEVICE)
            return CannotClaim(claim, lines);
        t_usb.Forget();
    }
    libusb_context *ctx = ThreadUsbContext();
    if (!ctx) {
        WriteStringLog(c_szSource, lines.iInitError, lines.function, "Init Error");
        return UP_NO_CONTEXT;
    }
    const int found = FindUsbPrinter(ctx, port, vid, pid, lines, &t_usb.pHandle);
    if (found < 0)
        return found;
    t_usb.strPort = port;
    const int claim = ClaimPrinter(t_usb.pHandle, lines);
    if (claim < 0)
        return CannotClaim(claim, lines);
    *handle = t_usb.pHandle;
    return UP_OK;
}

void ForgetUsbPrinter()
{
    t_usb.Forget();
}

void ReleaseUsbPrinter(libusb_device_handle *handle, int result)
{
    // Released after every exchange, so that the CUPS backend, the maintenance tool and the
    // updater can claim the printer between two status queries.
    const int released = libusb_release_interface(handle, 0);
    if (result < 0 || released < 0)
        t_usb.Forget();
}

int UsbClassRequest(libusb_device_handle *handle, int request, unsigned char *buf, int len)
{
    return libusb_control_transfer(handle, 0xA1, uint8_t(request), 0, 0, buf, uint16_t(len), 2000);
}
