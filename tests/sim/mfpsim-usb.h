// USB side: one umockdev testbed holding an emulated device per USB MFP.
#pragma once

#include <string>

#include "mfpsim-device.h"

bool UsbStart(std::string &err);
std::string UsbRootDir();
void UsbStop();

// These take g_simLock themselves; call them without holding it.
bool UsbPlug(stSimDevice &dev, std::string &err);
void UsbUnplug(stSimDevice &dev);
void UsbDeliverBulkIn(stSimDevice &dev);  // hands queued bulk IN data to waiting transfers
