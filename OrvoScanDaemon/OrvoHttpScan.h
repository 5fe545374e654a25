// Scan start over the scanner's HTTP service and the opening of its scan data connection.
#pragma once
#include <cstddef>

#include "orvo-scanproto.h"

// Posted as IPADDRESS and in the scan start's Host line instead of this host's address; a
// link-local address that no scanner can reach back.
constexpr char c_szPlaceholderIP[] = "169.254.100.100";
static_assert(sizeof c_szPlaceholderIP == 16, "the placeholder address has 15 characters");

constexpr int c_iScanDataPort = 2080;

enum TCPScanSource { SCAN_SOURCE_ADF = 0,
                     SCAN_SOURCE_FLATBED = 7 };
enum ResultScanPost { RESULT_SUCCESS = 0,
                      RESULT_BADFIELD = 1,
                      RESULT_DEVICEBUSY = 91 };

enum TmpNumPostCmd {
    eScanType,
    eAdvContrast,
    eBackgroundRemoval,
    eCompression,
    eContrast,
    eDarkness,
    eDepth,
    eDocSource,
    eEdgeToEdge,
    eIpAddress,
    eJpegQuality,
    eKeepAlive,
    eName,
    eOrientation,
    eResolution,
    eScanSource,
    eSharpness,
    eStartNow,
    eTcpPort,
    eType,
    eSinglePage,
    eCustomWidth,
    eCustomHeight,
    eOffsetX,
    eOffsetY,
    eNumPostCmd
};

struct LSP_POST_CMD {
    char key[32];
    char value[256];
};

// The 25 fields from the settings, in posting order.
void orvo_fill_post_fields(LSP_POST_CMD fields[eNumPostCmd], const tagSettingInfo *info);
// "KEY=value&" for every field, trailing "&" included; the length, or -1 when it does not fit.
int orvo_build_post_body(const LSP_POST_CMD fields[eNumPostCmd], char *out, size_t size);

int orvo_http_ScanStart(OrvoSocket *sock, const tagSettingInfo *info);  // 0, 3, 4 or 9
int orvo_http_ScanStartResult(const char *reply);  // 0, 3 or 4
