// Fixed paths of the scan daemon under the install root.
#pragma once

#include "orvo-scanproto.h"

constexpr const char *c_szScanDir = ORVO_SCAN_DIR;
constexpr const char *c_szScanInfoLog = ORVO_SCAN_DIR "/orvo_scan_info.log";
constexpr const char *c_szScanErrLog = ORVO_SCAN_DIR "/orvo_scan_err.log";
constexpr const char *c_szScanDataPrefix = "orvoscandata_";  // page files: orvoscandata_<pid>_<scan>_<page>.tmp
constexpr int c_iScanPort = ORVO_SCAN_PORT;
