// INTERIM: stands in for the daemon's shared scan types and logs until they land.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>

enum { SANE_STATUS_GOOD = 0, SANE_STATUS_CANCELLED = 2, SANE_STATUS_DEVICE_BUSY = 3, SANE_STATUS_INVAL = 4,
       SANE_STATUS_EOF = 5, SANE_STATUS_IO_ERROR = 9, SANE_STATUS_NO_MEM = 10 };
enum ScanStatus { SCAN_STATUS_OPERATION_CONTINUOUS = 0, SCAN_STATUS_END_OF_DATA = 1,
                  SCAN_STATUS_ABORTED_BY_DEVICE = 4, SCAN_STATUS_BEGIN_OF_PAGE = 9 };
enum ADFStatus { ADF_STATUS_EMPTY = 1, ADF_STATUS_LOADED = 2, ADF_STATUS_PAPER_JAM = 3 };

struct tagSettingInfo {
    uint8_t bitDepth;
    uint8_t pad0[3];
    int32_t compType;
    uint32_t width, height, xStart, yStart;
    uint16_t xResolution, yResolution;
    bool feederEnabled;
    uint8_t backgroundRemoval, backgroundRemovalParam, BrightnessParam, ContrastParam, isClient;
    uint8_t pad1[2];
};
static_assert(sizeof(tagSettingInfo) == 36, "tagSettingInfo");

inline FILE *&InterimInfo() { static FILE *f = nullptr; return f; }
inline FILE *&InterimErr() { static FILE *f = nullptr; return f; }
inline void OrvoLogV(FILE *f, const char *fmt, va_list ap) { if (f) { vfprintf(f, fmt, ap); fflush(f); } }
inline void OrvoInfo(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline void OrvoInfo(const char *fmt, ...) { va_list ap; va_start(ap, fmt); OrvoLogV(InterimInfo(), fmt, ap); va_end(ap); }
inline void OrvoErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline void OrvoErr(const char *fmt, ...) { va_list ap; va_start(ap, fmt); OrvoLogV(InterimErr(), fmt, ap); va_end(ap); }
