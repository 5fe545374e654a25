#include "orvo-usbserial.h"

#include <QUrl>
#include <QUrlQuery>

#include <cstring>

int ReadUsbSerial(libusb_device_handle *handle, uint8_t index, QString &serial)
{
    // libusb keeps the last byte for the terminator, so the whole buffer is offered.
    unsigned char buf[c_iUsbSerialMax + 1];
    memset(buf, 0, sizeof buf);
    const int rc = libusb_get_string_descriptor_ascii(handle, index, buf, int(sizeof buf));
    if (rc < 0)
        return rc;
    const char *text = reinterpret_cast<const char *>(buf);
    // At most sizeof buf, so the length always fits.
    serial = QString::fromLatin1(text, qsizetype(qstrnlen(text, sizeof buf)));
    return rc;
}

QString PortSerial(const QString &port)
{
    return QUrlQuery(QUrl(port)).queryItemValue("serial", QUrl::FullyDecoded);
}

bool IsSerialMatch(const QString &port, const QString &deviceSerial)
{
    const QString wanted = PortSerial(port);
    return wanted.compare(deviceSerial.left(wanted.size()), Qt::CaseInsensitive) == 0;
}

enUsbSearchResult SearchUsbPrinter(libusb_context *ctx, uint16_t vid, uint16_t pid, const QString &port,
                                   stUsbSearch &search)
{
    search = stUsbSearch();
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &list);
    if (count < 0) {
        search.iListError = int(count);
        return US_NO_LIST;
    }
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_device_descriptor(list[i], &search.stDesc) < 0) {
            search.iBadDescriptor = int(i);
            libusb_free_device_list(list, 1);
            return US_BAD_DESCRIPTOR;
        }
        search.bLastCandidateFailed = false;
        if (search.stDesc.idVendor != vid || search.stDesc.idProduct != pid)
            continue;
        libusb_device_handle *handle = nullptr;
        const int opened = libusb_open(list[i], &handle);
        if (opened == LIBUSB_ERROR_ACCESS)
            search.strDeniedNode = QString::asprintf("/dev/bus/usb/%03u/%03u", unsigned(libusb_get_bus_number(list[i])),
                                                     unsigned(libusb_get_device_address(list[i])));
        if (opened != 0 || !handle) {
            search.bLastCandidateFailed = true;
            continue;
        }
        QString serial;
        if (ReadUsbSerial(handle, search.stDesc.iSerialNumber, serial) < 0) {
            search.bLastCandidateFailed = true;
            libusb_close(handle);
            continue;
        }
        // A second printer of the same model may follow, so a candidate with another serial
        // does not end the walk.
        if (!IsSerialMatch(port, serial)) {
            libusb_close(handle);
            continue;
        }
        search.pList = list;
        search.pDevice = list[i];
        search.pHandle = handle;
        return US_FOUND;
    }
    libusb_free_device_list(list, 1);
    return US_NOT_FOUND;
}
