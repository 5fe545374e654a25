// Scanner command protocol over USB: 8-byte frames on the scanner's bulk endpoints.
#pragma once

#include <cstdint>

#include "orvo-scanproto.h"

// Header of every command and answer.
struct ReqCommon {
    uint8_t cmdStart;  // 0x1B
    uint8_t cmdClass;  // 'S' scan commands, 'D' power-on
    uint8_t cmdCode;
    uint8_t subCmdCode;
    uint16_t dataSize;  // bytes after the header
    uint8_t flags;  // 0x80 in a request; the result flag in an answer
    uint8_t reserved;  // ADF-status answer: the ADF status
};
typedef ReqCommon ResCommon;
static_assert(sizeof(ReqCommon) == 8, "frame header");

// The lock request: the scan settings in the device's terms (55 bytes).
struct __attribute__((packed)) ReqScanLock {
    ReqCommon common;
    uint8_t depth;
    uint8_t compressionMode;
    uint8_t compressionLevel;
    uint8_t filter;
    uint32_t width;
    uint32_t height;
    uint32_t xOffset;
    uint32_t yOffset;
    uint16_t xResolution;
    uint16_t yResolution;
    uint8_t scanSource;
    uint8_t duplex;
    uint8_t mirror;
    uint8_t negative;
    uint8_t useColorDropout;
    uint8_t colorDropoutRed;
    uint8_t colorDropoutBlue;
    uint8_t colorDropoutGreen;
    uint8_t colorDropoutThreshold;
    uint8_t backgroundRemoval;
    uint8_t backgroundRemovalParam;
    uint8_t edit;
    uint8_t descreen;
    uint8_t brightness;
    uint8_t contrast;
    uint8_t originalDocumentSource;
    uint8_t sharpen;
    uint8_t colorTemperature;
    uint8_t colorSaturation;
    uint8_t useColorBalance;
    uint8_t colorBalanceRed;
    uint8_t colorBalanceBlue;
    uint8_t colorBalanceGreen;
};
static_assert(sizeof(ReqScanLock) == 55, "lock request");
static_assert(offsetof(ReqScanLock, width) == 12 && offsetof(ReqScanLock, xResolution) == 28
                  && offsetof(ReqScanLock, scanSource) == 32 && offsetof(ReqScanLock, backgroundRemoval) == 41
                  && offsetof(ReqScanLock, colorBalanceGreen) == 54,
              "lock request fields");

enum CommandType {
    CMD_TYPE_SCAN_START = 0,
    CMD_TYPE_SCAN_DEVICE_PROPERTIES = 1,
    CMD_TYPE_SCAN_ADF_STATUS = 2,
    CMD_TYPE_SCAN_LOCK = 3,
    CMD_TYPE_SCAN_UNLOCK = 4,
    CMD_TYPE_SCAN_GET_SCAN_SIZES = 5,
    CMD_TYPE_SCAN_ABORT = 6,
    CMD_TYPE_SCAN_POWER_ON_COMMAND = 7,
    CMD_TYPE_SCAN_RECORD = 8
};

enum ScanSource {
    SCAN_SOURCE_AUTO = 0,
    SCAN_SOURCE_FLATBED_SINGLE_PAGE = 1,
    SCAN_SOURCE_FLATBED_MULTI_PAGE = 2,
    SCAN_SOURCE_ADF_MULTI_PAGE = 3,
    SCAN_SOURCE_ADF_SINGLE_PAGE = 4
};

constexpr int c_iResComBufLen = 200;  // one answer buffer per process
constexpr int c_iScanRecordFields = 23;  // status, flip, split, geometry and reserved of a record answer

extern unsigned char m_ResComBuf[c_iResComBufLen];

int RequestScanner(int fd, const void *request, int length);
int ResponseScanner(int fd, CommandType type);
int ConvertResponseFlagToErrorCode(uint8_t flag, CommandType type);
int ReadWithRetry(int fd, unsigned char *buffer, int length);
unsigned char *getScanBuffer(unsigned char *buffer, int size);

int ScanStart(int fd);
int ScanDeviceProperties(int fd, ResScanDeviceProperties *props);
int ScanADFStatus(int fd, int *adfStatus);
int ScanLock(int fd, const tagSettingInfo *info);
int ScanUnlock(int fd);
int ScanGetScanSizes(int fd);
int ScanAbort(int fd);
int ScanPowerOn(int fd);
int ScanRecord(int fd, int *status, unsigned char **buffer, uint16_t *bufferSize, uint16_t *readSize);
