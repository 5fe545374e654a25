#include "OrvoUsb.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "SaneStatus.h"
#include "ScanLog.h"
#include "orvo-modelids-plain.h"

namespace {

bool StartsWithDigit(const char *name)
{
    return name[0] >= '0' && name[0] <= '9';
}

constexpr const char *c_szUsbRoots[] = {"/dev/bus/usb", "/proc/bus/usb"};
constexpr const char *c_szSysUsbDevices = "/sys/bus/usb/devices";

// One sysfs attribute of a USB device as a number (hexadecimal for ids), -1 when absent.
long SysAttr(const char *dev, const char *attr, int base)
{
    char path[512];
    snprintf(path, sizeof path, "%s/%s/%s", c_szSysUsbDevices, dev, attr);
    FILE *f = fopen(path, "re");
    if (!f)
        return -1;
    char text[32] = {};
    const bool ok = fgets(text, sizeof text, f) != nullptr;
    fclose(f);
    char *end = nullptr;
    const long v = ok ? strtol(text, &end, base) : -1;
    return ok && end != text ? v : -1;
}

// What the system's device list says of a node, before it is opened: -1 when the list
// cannot be read (the node is then judged by its descriptor alone), 0 when the node is no
// device of the maker with a scanner, 1 when it is one.
int SysfsSaysScanner(const char *bus, const char *dev)
{
    DIR *d = opendir(c_szSysUsbDevices);
    if (!d)
        return -1;
    const long busnum = strtol(bus, nullptr, 10), devnum = strtol(dev, nullptr, 10);
    int verdict = 0;
    for (dirent *e; verdict == 0 && (e = readdir(d));) {
        if (!StartsWithDigit(e->d_name) || strchr(e->d_name, ':')
            || SysAttr(e->d_name, "busnum", 10) != busnum || SysAttr(e->d_name, "devnum", 10) != devnum)
            continue;
        verdict = orvo_is_maker_scanner(uint16_t(SysAttr(e->d_name, "idVendor", 16)),
                                        uint16_t(SysAttr(e->d_name, "idProduct", 16)))
                      ? 1
                      : 2;
    }
    closedir(d);
    return verdict == 1 ? 1 : 0;
}
constexpr int c_iStringTimeout = 1000;
constexpr int c_iStringWorkLen = 255;

// The descriptor's 16-bit fields are little-endian on the wire.
void DecodeDescriptor(const unsigned char *raw, usb_device_descriptor *des)
{
    des->bLength = raw[0];
    des->bDescriptorType = raw[1];
    des->bcdUSB = uint16_t(raw[2] | raw[3] << 8);
    des->bDeviceClass = raw[4];
    des->bDeviceSubClass = raw[5];
    des->bDeviceProtocol = raw[6];
    des->bMaxPacketSize0 = raw[7];
    des->idVendor = uint16_t(raw[8] | raw[9] << 8);
    des->idProduct = uint16_t(raw[10] | raw[11] << 8);
    des->bcdDevice = uint16_t(raw[12] | raw[13] << 8);
    des->iManufacturer = raw[14];
    des->iProduct = raw[15];
    des->iSerialNumber = raw[16];
    des->bNumConfigurations = raw[17];
}

// Adds the matching nodes of one bus directory; returns the new count.
int ScanBus(const char *busPath, uint16_t vid, uint16_t pid, ORVO_USB_DEV *devs, int count, bool compareWithPID)
{
    DIR *bus = opendir(busPath);
    if (!bus) {
        OrvoLogErr("[OrvoScanSDK] open dir err:%s\n", busPath);
        return count;
    }
    for (dirent *e; count < c_iMaxUsbDevices && (e = readdir(bus));) {
        if (!StartsWithDigit(e->d_name))
            continue;
        char path[4096];
        if (snprintf(path, sizeof path, "%s/%s", busPath, e->d_name) >= int(sizeof path))
            continue;
        // Another vendor's device (a keyboard, a disk) is never opened.
        const char *busName = strrchr(busPath, '/');
        if (SysfsSaysScanner(busName ? busName + 1 : busPath, e->d_name) == 0)
            continue;
        const int fd = open(path, O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            OrvoLogErr("[OrvoScanSDK] open usb err:%s\n", path);
            continue;
        }
        unsigned char raw[18] = {};
        const ssize_t n = read(fd, raw, 18);
        ORVO_USB_DEV &d = devs[count];
        DecodeDescriptor(raw, &d.dev_des);
        if (n > 0 && orvo_is_maker_scanner(d.dev_des.idVendor, d.dev_des.idProduct) && d.dev_des.idVendor == vid
            && (!compareWithPID || d.dev_des.idProduct == pid)) {
            d.fd = fd;
            ++count;
        } else {
            memset(&d, 0, sizeof d);
            close(fd);
        }
    }
    closedir(bus);
    return count;
}

}  // namespace

// Every supported model has a scanner.
bool orvo_is_maker_scanner(uint16_t vid, uint16_t pid)
{
    return IsOrvoModelUsbId(vid, pid);
}

int orvo_control_msg(int fd, int requesttype, int request, int value, int index, char *bytes, int size,
                     int timeout)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    usbdevfs_ctrltransfer ct = {};
    ct.bRequestType = uint8_t(requesttype);
    ct.bRequest = uint8_t(request);
    ct.wValue = uint16_t(value);
    ct.wIndex = uint16_t(index);
    ct.wLength = uint16_t(size);
    ct.timeout = uint32_t(timeout);
    ct.data = bytes;
    const int ret = ioctl(fd, USBDEVFS_CONTROL, &ct);
    if (ret < 0)
        OrvoLogErr("[OrvoScanSDK] USB error: error sending control message\n");
    return ret;
}

int orvo_get_string(int fd, int index, int langid, char *buf, int buflen)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    return orvo_control_msg(fd, 0x80, 6, 0x0300 + index, langid, buf, buflen, c_iStringTimeout);
}

int orvo_get_string_simple(int fd, int index, char *buf, int buflen)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (!buf || buflen <= 0)
        return -1;
    unsigned char tbuf[c_iStringWorkLen];
    memset(tbuf, 0, sizeof tbuf);
    int ret = orvo_get_string(fd, 0, 0, reinterpret_cast<char *>(tbuf), sizeof tbuf);
    if (ret < 0)
        return ret;
    if (ret < 4)
        return -5;
    const int langid = tbuf[2] | tbuf[3] << 8;
    memset(tbuf, 0, sizeof tbuf);
    ret = orvo_get_string(fd, index, langid, reinterpret_cast<char *>(tbuf), sizeof tbuf);
    if (ret < 0)
        return ret;
    if (tbuf[1] != 3)
        return -5;
    if (tbuf[0] > ret)
        return -27;
    // Only whole UTF-16 units inside what both the descriptor and the transfer hold.
    int si = 2, di = 0;
    for (; si + 1 < tbuf[0] && di < buflen - 1; si += 2)
        buf[di++] = tbuf[si + 1] ? '?' : char(tbuf[si]);
    buf[di] = '\0';
    return di;
}

int orvo_resetep(int fd, unsigned int ep)
{
    return ioctl(fd, USBDEVFS_RESETEP, &ep) < 0 ? SANE_STATUS_IO_ERROR : SANE_STATUS_GOOD;
}

int orvo_clear_halt(int fd, unsigned int ep)
{
    const int ret = ioctl(fd, USBDEVFS_CLEAR_HALT, &ep);
    OrvoLogInfo("[OrvoScanSDK] orvo_clear_halt ret:%d", ret);
    return ret < 0 ? SANE_STATUS_IO_ERROR : SANE_STATUS_GOOD;
}

int orvo_bulk_write(int fd, const void *bytes, int size, int timeout)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (fd <= 0 || !bytes)
        return -1;
    return usb_bulk(fd, c_ucScanEpOut, const_cast<void *>(bytes), size, timeout);
}

int orvo_bulk_read(int fd, void *bytes, int size, int timeout)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (fd <= 0 || !bytes)
        return -1;
    return usb_bulk(fd, c_ucScanEpIn, bytes, size, timeout);
}

void orvo_close_device(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (fd != 0)
        close(fd);
}

int orvo_init(int)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    return 0;
}

int usb_bulk(int fd, unsigned char ep, void *bytes, int size, int timeout)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    unsigned char *pos = static_cast<unsigned char *>(bytes);
    int total = 0;
    while (total < size) {
        const int chunk = size - total < c_iBulkChunk ? size - total : c_iBulkChunk;
        usbdevfs_bulktransfer bt = {};
        bt.ep = ep;
        bt.len = unsigned(chunk);
        bt.timeout = unsigned(timeout);
        bt.data = pos;
        const int ret = ioctl(fd, USBDEVFS_BULK, &bt);
        if (ret < 0) {
            // Is the device still there? A device that answers is only busy.
            char probe[256];
            const int alive = orvo_get_string(fd, 0, 0, probe, sizeof probe);
            if (alive >= 0)
                return 0;
            OrvoLogErr("[OrvoScanSDK] ** orvo_get_string ret:%d\n", alive);
            return alive;
        }
        const int moved = ret > chunk ? chunk : ret;
        total += moved;
        pos += moved;
        if ((ep & 0x80) && moved < chunk)
            break;
    }
    return total;
}

int orvo_find_device(uint16_t vid, uint16_t pid, ORVO_USB_DEV *devs, bool compareWithPID)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (!devs) {
        OrvoLogInfo("[OrvoScanSDK] dev_des is NULL \n");
        return -1;
    }
    DIR *root = nullptr;
    const char *rootPath = nullptr;
    for (const char *p : c_szUsbRoots) {
        rootPath = p;
        root = opendir(p);
        if (root)
            break;
        OrvoLogErr("[OrvoScanSDK] open dir err:%s\n", p);
    }
    if (!root) {
        OrvoLogErr("[OrvoScanSDK] find busdir err:%s\n", rootPath);
        return -1;
    }
    int count = 0;
    for (dirent *e; count < c_iMaxUsbDevices && (e = readdir(root));) {
        if (!StartsWithDigit(e->d_name))
            continue;
        char busPath[4096];
        if (snprintf(busPath, sizeof busPath, "%s/%s", rootPath, e->d_name) >= int(sizeof busPath))
            continue;
        count = ScanBus(busPath, vid, pid, devs, count, compareWithPID);
    }
    closedir(root);
    return count;
}

USBFindDevRes converToDevRes(int fd, const usb_device_descriptor *des)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    // A string the device lacks stays empty rather than showing another device's.
    USBFindDevRes res;
    memset(&res, 0, sizeof res);
    res.fd = fd;
    res.vid = des->idVendor;
    res.pid = des->idProduct;
    if (des->iManufacturer
        && orvo_get_string_simple(fd, des->iManufacturer, res.Manufacturer, sizeof res.Manufacturer) > 0)
        OrvoLogInfo("[OrvoScanSDK] - Manufacturer : %s\n", res.Manufacturer);
    if (des->iProduct && orvo_get_string_simple(fd, des->iProduct, res.Product, sizeof res.Product) > 0)
        OrvoLogInfo("[OrvoScanSDK] - Product : %s\n", res.Product);
    if (des->iSerialNumber
        && orvo_get_string_simple(fd, des->iSerialNumber, res.SerialNumber, sizeof res.SerialNumber) > 0)
        OrvoLogInfo("[OrvoScanSDK] - Serial Number: %s\n", res.SerialNumber);
    return res;
}
