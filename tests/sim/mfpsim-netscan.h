// The network MFP's scanner: attribute service (TCP 5000), HTTP scan control (TCP 80) and
// the scan data stream (TCP 2080) on the device's loopback address, each served by a thread.
#pragma once

#include <string>
#include <vector>

#include "mfpsim-device.h"

constexpr int c_iNetScanOslPort = 5000;
constexpr int c_iNetScanHttpPort = 80;
constexpr int c_iNetScanDataPort = 2080;

bool NetScanOpen(stSimDevice &dev, std::string &err);
void NetScanCloseAll();
// "netscan ID ..." control commands; data lines go to `data`, a failure to `err`.
void NetScanCommand(const std::vector<std::string> &a, const std::string &line, stSimDevice &dev, std::string &data,
                    std::string &err);
