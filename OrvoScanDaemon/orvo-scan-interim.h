// INTERIM: stands in for ScanLog.h, SaneStatus.h and orvo-scanproto.h until they land.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

enum SANE_Status { SANE_STATUS_GOOD = 0, SANE_STATUS_CANCELLED = 2, SANE_STATUS_DEVICE_BUSY = 3, SANE_STATUS_INVAL = 4,
       SANE_STATUS_EOF = 5, SANE_STATUS_IO_ERROR = 9, SANE_STATUS_NO_MEM = 10 };
enum ScanStatus { SCAN_STATUS_OPERATION_CONTINUOUS = 0, SCAN_STATUS_END_OF_DATA = 1,
                  SCAN_STATUS_ABORTED_BY_DEVICE = 4, SCAN_STATUS_BEGIN_OF_PAGE = 9 };
enum ADFStatus { ADF_STATUS_EMPTY = 1, ADF_STATUS_LOADED = 2, ADF_STATUS_PAPER_JAM = 3 };
enum CompressionType { COMPRESSION_NONE = 0, COMPRESSION_WICKED = 1, COMPRESSION_JPEG = 2 };
enum OSL_CMD_TYPE { OSL_CMD_FAMILYTYPE = 0, OSL_CMD_GETLIST = 1, OSL_CMD_SUMMARY = 2 };

typedef struct tagSettingInfo {
    uint8_t bitDepth;
    uint8_t pad0[3];
    int32_t compType;
    uint32_t width, height, xStart, yStart;
    uint16_t xResolution, yResolution;
    uint8_t feederEnabled;
    uint8_t backgroundRemoval, backgroundRemovalParam, BrightnessParam, ContrastParam, isClient;
    uint8_t pad1[2];
} tagSettingInfo;
typedef struct OrvoSocket {
    int32_t tcpFromScanner;
    char szScannerIP[16];
} OrvoSocket;
typedef struct tagScannerCapabilities {
    uint8_t duplex, color, pad0[2];
    uint32_t minres, maxres, width_format, family;
    uint8_t permprofiles, profile, pad1[2];
    uint32_t maxWidth, maxHeight, basicres;
} ScannerCapabilities;
static_assert(sizeof(tagSettingInfo) == 36 && sizeof(OrvoSocket) == 20 && sizeof(ScannerCapabilities) == 36, "");

inline FILE *&InterimInfo() { static FILE *f = nullptr; return f; }
inline FILE *&InterimErr() { static FILE *f = nullptr; return f; }
inline void OrvoLogV(FILE *f, const char *fmt, va_list ap) { if (f) { vfprintf(f, fmt, ap); fflush(f); } }
inline void OrvoLogInfo(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline void OrvoLogInfo(const char *fmt, ...) { va_list ap; va_start(ap, fmt); OrvoLogV(InterimInfo(), fmt, ap); va_end(ap); }
inline void OrvoLogErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline void OrvoLogErr(const char *fmt, ...) { va_list ap; va_start(ap, fmt); OrvoLogV(InterimErr(), fmt, ap); va_end(ap); }
