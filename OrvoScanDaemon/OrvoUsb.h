// USB scanner access through usbfs: device search, descriptors, bulk and control transfers.
// A device is referred to by the open file descriptor of its usbfs node.
#pragma once

#include <cstdint>

#include "orvo-scanproto.h"

// The standard 18-byte device descriptor, as read from the start of the node.
struct usb_device_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};
static_assert(sizeof(usb_device_descriptor) == 18, "device descriptor");

struct ORVO_USB_DEV {
    int32_t fd;
    usb_device_descriptor dev_des;
};

constexpr int c_iMaxUsbDevices = 64;  // records of a search
constexpr unsigned char c_ucScanEpOut = 0x02;
constexpr unsigned char c_ucScanEpIn = 0x82;
constexpr int c_iBulkChunk = 512;

int orvo_control_msg(int fd, int requesttype, int request, int value, int index, char *bytes, int size,
                     int timeout);
int orvo_get_string(int fd, int index, int langid, char *buf, int buflen);
int orvo_get_string_simple(int fd, int index, char *buf, int buflen);
int orvo_resetep(int fd, unsigned int ep);
int orvo_clear_halt(int fd, unsigned int ep);
int orvo_bulk_write(int fd, const void *bytes, int size, int timeout);
int orvo_bulk_read(int fd, void *bytes, int size, int timeout);
void orvo_close_device(int fd);
int orvo_init(int fd);
int usb_bulk(int fd, unsigned char ep, void *bytes, int size, int timeout);
// The maker's vendor id and the product id of one of its devices with a scanner.
bool orvo_is_maker_scanner(uint16_t vid, uint16_t pid);
// Finds only the maker's scanners, whatever other vendor or product the caller names.
int orvo_find_device(uint16_t vid, uint16_t pid, ORVO_USB_DEV *devs, bool compareWithPID);
USBFindDevRes converToDevRes(int fd, const usb_device_descriptor *des);
