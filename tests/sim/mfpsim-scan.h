// The USB MFP's scanner interface (bulk OUT 0x02, bulk IN 0x82): command frames in,
// answers and scan records out. All functions expect g_simLock held unless noted.
#pragma once

#include <string>
#include <vector>

#include "mfpsim-device.h"

constexpr int c_iScanEpOut = 0x02;
constexpr int c_iScanEpIn = 0x82;

// Bytes the host wrote to the scanner's OUT endpoint.
void ScanOnBulkOut(stSimDevice &dev, const uint8_t *data, int len);
// The scanner's IN queue ran empty and a reader waits: queue the next record of a running
// scan, if any. True when something was queued.
bool ScanProduce(stSimDevice &dev);
// A reader of the IN endpoint asks; false when the endpoint stalls this time.
bool ScanTakeStall(stSimDevice &dev);
void ScanOnReset(stSimDevice &dev);
void ScanClear(stSimDevice &dev);
// Readers currently waiting on the IN endpoint (kept by the forwarding server).
void ScanReaderWaits(stSimDevice &dev, int delta);

// "scan ID ..." control commands; takes g_simLock itself. Returns the data lines.
std::string ScanControl(const std::vector<std::string> &a, stSimDevice &dev, std::string &err);
