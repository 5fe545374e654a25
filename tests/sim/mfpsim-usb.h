// USB side: one umockdev testbed holding an emulated device per USB MFP.
#pragma once

#include <condition_variable>
#include <string>

#include "mfpsim-device.h"

bool UsbStart(std::string &err);
std::string UsbRootDir();
void UsbStop();

// These take g_simLock themselves; call them without holding it.
bool UsbPlug(stSimDevice &dev, std::string &err);
void UsbUnplug(stSimDevice &dev);
void UsbDeliverBulkIn(stSimDevice &dev);  // hands queued bulk IN data to waiting transfers

// Signalled whenever bulk IN data may have become available (with g_simLock released or held).
extern std::condition_variable g_usbDataCv;

// For calls that reach the simulator other than through the umockdev preload; all expect
// g_simLock held. The device of the present node at that path, or null (unplugged, gone).
stSimDevice *UsbPresentDevice(const std::string &devNode);
int UsbHandleControl(stSimDevice &dev, const uint8_t *setup, uint8_t *data, int maxLen);  // length or -errno
void UsbRecordBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len);
bool UsbTakeBulkIn(stSimDevice &dev, int ep, uint8_t *data, int maxLen, int &n);
