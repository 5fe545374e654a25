#include "orvo-usbserial.h"

#include <QUrl>
#include <QUrlQuery>
#include <libusb.h>

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
