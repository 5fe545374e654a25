#include "UtilLibusb.h"

#include "orvo-log.h"
#include "orvo-usbserial.h"

#include <atomic>

namespace {
std::atomic<const char *> g_szLogSource{"common/UtilLibusb"};
constexpr unsigned c_uTimeoutMs = 3000;
constexpr uint8_t c_ucPrinterOut = 0x01;  // the printer's command endpoint
constexpr uint8_t c_ucClassPrinter = 7;
constexpr uint8_t c_ucTransferBulk = 2;
}  // namespace

#define USBLOG(function, ...) WriteStringLog(g_szLogSource.load(), __LINE__, function, __VA_ARGS__)

void SetUsbLogSource(const char *source)
{
    g_szLogSource.store(source);
}

int init_libusb()
{
    const int rv = libusb_init(nullptr);
    if (rv < 0) {
        USBLOG("init_libusb", "*** initial USB lib failed! \n");
        return -1;
    }
    return rv;
}

int get_device_descriptor(libusb_device_descriptor *desc, userDevice *user, const QString &uri)
{
    stUsbSearch search;
    const enUsbSearchResult found = SearchUsbPrinter(nullptr, user->idVendor, user->idProduct, uri, search);
    *desc = search.stDesc;
    user->strDeniedNode = search.strDeniedNode;
    switch (found) {
    case US_NO_LIST:
        return search.iListError;
    case US_BAD_DESCRIPTOR:
        USBLOG("get_device_descriptor", "*** libusb_get_device_descriptor failed! i:%d \n", search.iBadDescriptor + 1);
        return -1;
    case US_NOT_FOUND:
        return user->strDeniedNode.isEmpty() ? -2 : LIBUSB_ERROR_ACCESS;
    case US_FOUND:
        break;
    }
    libusb_close(search.pHandle);  // the exchange opens the device again
    user->dev = search.pDevice;
    user->devList = search.pList;
    return 0;
}

int match_with_endpoint(const libusb_interface_descriptor *setting, userDevice *user)
{
    if (setting->bNumEndpoints == 0)
        return 0;
    bool in = false, out = false;
    for (int e = 0; e < setting->bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor &ep = setting->endpoint[e];
        if ((ep.bmAttributes & 3) != user->bmAttributes)
            continue;
        if (ep.bEndpointAddress & 0x80) {
            user->bInEndpointAddress = ep.bEndpointAddress;
            in = true;
        } else {
            user->bOutEndpointAddress = ep.bEndpointAddress;
            out = true;
        }
    }
    return in && out ? 1 : 0;
}

int get_device_endpoint(const libusb_device_descriptor *desc, userDevice *user)
{
    if (desc->bNumConfigurations == 0)
        return -2;
    for (uint8_t c = 0; c < desc->bNumConfigurations; ++c) {
        libusb_config_descriptor *config = nullptr;
        if (!user->dev || libusb_get_config_descriptor(user->dev, c, &config) < 0) {
            USBLOG("get_device_endpoint", "*** libusb_get_config_descriptor failed! \n");
            return -1;
        }
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface &iface = config->interface[i];
            for (int a = 0; a < iface.num_altsetting; ++a) {
                const libusb_interface_descriptor &setting = iface.altsetting[a];
                if (setting.bInterfaceClass == user->bInterfaceClass && match_with_endpoint(&setting, user) == 1
                    && user->bOutEndpointAddress == c_ucPrinterOut) {
                    user->bInterfaceNumber = setting.bInterfaceNumber;
                    libusb_free_config_descriptor(config);
                    return 0;
                }
            }
        }
        libusb_free_config_descriptor(config);
    }
    return -2;
}

int OpenUsbExchange(int vid, int pid, const QString &uri, stUsbExchange &ex, const char *function)
{
    ex.stUser = userDevice{};
    ex.stUser.idVendor = uint16_t(vid);
    ex.stUser.idProduct = uint16_t(pid);
    ex.stUser.bInterfaceClass = c_ucClassPrinter;
    ex.stUser.bmAttributes = c_ucTransferBulk;
    ex.pHandle = nullptr;
    ex.iErrorCode = 0;
    ex.bHeldElsewhere = false;
    if (init_libusb() < 0) {
        USBLOG(function, "*** init_libusb failed! \n");
        return USB_INIT_FAILED;
    }
    int rv = get_device_descriptor(&ex.stDesc, &ex.stUser, uri);
    if (rv < 0) {
        USBLOG(function, "*** get_device_descriptor failed! \n");
        ex.iErrorCode = rv;
        return USB_NO_DEVICE;
    }
    rv = get_device_endpoint(&ex.stDesc, &ex.stUser);
    if (rv < 0) {
        USBLOG(function, "*** get_device_endpoint failed! rv:%d \n", rv);
        ex.iErrorCode = rv;
        return USB_NO_INTERFACE;
    }
    if (libusb_open(ex.stUser.dev, &ex.pHandle) != 0 || !ex.pHandle) {
        ex.pHandle = nullptr;
        USBLOG(function, "*** Permission denied or Can not find the USB board (Maybe the USB driver has not been "
                         "installed correctly), quit!\n");
        return USB_OPEN_FAILED;
    }
    const int claimed = libusb_claim_interface(ex.pHandle, ex.stUser.bInterfaceNumber);
    if (claimed < 0) {
        rv = libusb_detach_kernel_driver(ex.pHandle, ex.stUser.bInterfaceNumber);
        if (rv < 0) {
            USBLOG(function, "*** libusb_detach_kernel_driver failed! rv%d\n", rv);
            ex.iErrorCode = rv;
            // Busy with no kernel driver to detach: another program's claim.
            ex.bHeldElsewhere = claimed == LIBUSB_ERROR_BUSY && rv == LIBUSB_ERROR_NOT_FOUND;
            return USB_CLAIM_FAILED;
        }
        rv = libusb_claim_interface(ex.pHandle, ex.stUser.bInterfaceNumber);
        if (rv < 0) {
            USBLOG(function, "*** libusb_claim_interface failed! rv%d\n", rv);
            ex.iErrorCode = rv;
            ex.bHeldElsewhere = rv == LIBUSB_ERROR_BUSY;
            return USB_CLAIM_FAILED;
        }
    }
    return USB_OK;
}

void CloseUsbExchange(stUsbExchange &ex, const char *function)
{
    if (ex.iErrorCode < 0)
        USBLOG(function, "*** error=%s \n", libusb_error_name(ex.iErrorCode));
    if (ex.stUser.devList) {
        libusb_free_device_list(ex.stUser.devList, 1);
        ex.stUser.devList = nullptr;
        ex.stUser.dev = nullptr;
    }
    if (ex.pHandle) {
        libusb_release_interface(ex.pHandle, ex.stUser.bInterfaceNumber);
        libusb_close(ex.pHandle);
        ex.pHandle = nullptr;
    }
    libusb_exit(nullptr);
    USBLOG(function, "*** success! \n");
}

int USBSendRecvData(int vid, int pid, const QString &uri, unsigned char *send, int sendLen,
                    unsigned char *recv, int recvCap, int &recvSize, stUsbFailure *pFailure)
{
    stUsbExchange ex;
    int result = OpenUsbExchange(vid, pid, uri, ex, "USBSendRecvData");
    if (result == USB_INIT_FAILED)
        return USB_INIT_FAILED;
    if (result == USB_OK) {
        int written = 0;
        int rc = libusb_bulk_transfer(ex.pHandle, ex.stUser.bOutEndpointAddress, send, sendLen, &written, c_uTimeoutMs);
        if (rc < 0 || written != sendLen) {
            USBLOG("USBSendRecvData", "*** bulk_transfer failed! \n");
            result = USB_WRITE_FAILED;
            ex.iErrorCode = rc < 0 ? rc : 0;  // a short write has no error name
        } else {
            rc = libusb_bulk_transfer(ex.pHandle, ex.stUser.bInEndpointAddress, recv, recvCap, &recvSize, c_uTimeoutMs);
            if (rc < 0) {
                USBLOG("USBSendRecvData", "*** bulk_transfer failed! \n");
                result = USB_READ_FAILED;
                ex.iErrorCode = rc;
            } else {
                USBLOG("USBSendRecvData", "*** iRecvSize = %d \n", recvSize);
            }
        }
    }
    if (pFailure) {
        pFailure->iUsbError = ex.bHeldElsewhere ? int(LIBUSB_ERROR_BUSY) : ex.iErrorCode;
        pFailure->strNode = ex.stUser.strDeniedNode;
    }
    CloseUsbExchange(ex, "USBSendRecvData");
    return result;
}
