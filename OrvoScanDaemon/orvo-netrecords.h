// Records of the network scanner side; OrvoSocket and ScannerCapabilities travel raw in
// the local protocol's records, so their layouts are fixed.
#pragma once
#include <cstddef>
#include <cstdint>

struct OrvoSocket {
    int32_t tcpFromScanner;  // scan data connection opened by the last scan start, else -1
    char szScannerIP[16];    // dotted IPv4 text, NUL-terminated
};
static_assert(sizeof(OrvoSocket) == 20, "OrvoSocket is 20 bytes on the wire");
static_assert(offsetof(OrvoSocket, szScannerIP) == 4, "OrvoSocket layout");

typedef struct tagScannerCapabilities {
    bool duplex;
    bool color;
    uint8_t pad0[2];
    uint32_t minres;
    uint32_t maxres;
    uint32_t width_format;
    uint32_t family;
    bool permprofiles;
    bool profile;
    uint8_t pad1[2];
    uint32_t maxWidth;
    uint32_t maxHeight;
    uint32_t basicres;
} ScannerCapabilities;
static_assert(sizeof(ScannerCapabilities) == 36, "ScannerCapabilities is 36 bytes on the wire");
static_assert(offsetof(ScannerCapabilities, minres) == 4 && offsetof(ScannerCapabilities, family) == 16 &&
                  offsetof(ScannerCapabilities, permprofiles) == 20 && offsetof(ScannerCapabilities, profile) == 21 &&
                  offsetof(ScannerCapabilities, maxWidth) == 24 && offsetof(ScannerCapabilities, basicres) == 32,
              "ScannerCapabilities layout");

enum OSL_CMD_TYPE { OSL_CMD_FAMILYTYPE = 0, OSL_CMD_GETLIST = 1, OSL_CMD_SUMMARY = 2 };
enum TCPScanSource { SCAN_SOURCE_ADF = 0, SCAN_SOURCE_FLATBED = 7 };
enum ResultScanPost { RESULT_SUCCESS = 0, RESULT_BADFIELD = 1, RESULT_DEVICEBUSY = 91 };
