// Maintenance side of a simulated printer: the IPv4 configuration read and written over
// USB bulk (interface 0), head cleaning and alignment commands, and test switches.
#pragma once

#include <string>
#include <vector>

#include "mfpsim-device.h"

// Called with g_simLock held for every bulk OUT transfer: returns how many of the len
// bytes the device takes, and queues the device's reply (if any) on bulk IN 0x81.
int MaintBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len);

// "maint ID ..." control commands; data lines go to `data`, a failure to `err`.
// Takes g_simLock itself.
void MaintCommand(const std::vector<std::string> &args, stSimDevice &dev, std::string &data, std::string &err);

// "clear ID", with g_simLock held: forgets recorded frames and one-shot switches (the
// configuration stays).
void MaintClear(stSimDevice &dev);
