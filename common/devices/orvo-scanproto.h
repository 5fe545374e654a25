/*
 * Local scan protocol of the scan daemon (TCP 127.0.0.1:7003): command codes and the
 * request and reply records, as they travel on the wire.
 *
 * Plain C, usable from C and C++, nothing to link. The daemon, its clients (the SANE
 * backend, the tests) include this one file, so every side reads the same layout.
 *
 * Every request is a 32-bit command code followed by the command's request record, sent
 * in one call (the daemon takes the record with one receive); a reply is a record sent as
 * it is. During a scan the record replies come from the scan's own process on the same
 * connection, so a client reads them only while it waits for records. Integers are little-endian (the daemon and its
 * clients share the host, an x86/ARM little-endian machine), booleans one byte, records
 * keep the natural alignment padding of their fields. Strings are NUL-terminated in
 * fixed arrays. The sizes and offsets below are the protocol: the asserts keep them.
 */
#ifndef ORVO_SCANPROTO_H
#define ORVO_SCANPROTO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ORVO_SCAN_PORT 7003
/* The install root comes from the build (one definition in CMake, ORVO_INSTALL_ROOT). */
#ifndef ORVO_INSTALL_ROOT
#error "ORVO_INSTALL_ROOT (the suite's install root) is not defined"
#endif
#define ORVO_SCAN_DIR ORVO_INSTALL_ROOT "/scan"
#define ORVO_SCAN_NAME_LEN 256
#define ORVO_SCAN_STRING_LEN 1024

/* scanCommandType: the 32-bit code in front of every request */
enum scanCommandType {
    USB_FIND_DEV = 0,
    USB_OPEN_DEV = 1,
    USB_CLOSE_DEV = 2,
    USB_CLEAR_DEV = 3,
    USB_RESET_DEVEP = 4,
    USB_SCAN_START = 5,
    USB_SCAN_ABORT = 6,
    USB_SCAN_LOCK = 7,
    USB_SCAN_UNLOCK = 8,
    USB_SCAN_ADFSTATUS = 9,
    USB_SCAN_POWERON = 10,
    USB_SCAN_GETSIZES = 11,
    USB_SCAN_DEVPROPERTIES = 12,
    TCP_SEND_OSL = 13,
    TCP_SCAN_START = 14,
    TCP_SCAN_ABORT = 15,
    TCP_SCAN_ADFST = 16,
    TCP_SCAN_DEVPROPERTIES = 17,
    USB_REOPEN_DEV = 18,
    CMD_DELETE_FILE = 19
};

/* ScanStatus: the status of a record reply */
enum ScanStatus {
    SCAN_STATUS_OPERATION_CONTINUOUS = 0,
    SCAN_STATUS_END_OF_DATA = 1,
    SCAN_STATUS_ABORTED_OUT_OF_MEMORY = 2,
    SCAN_STATUS_ABORTED_BY_REQUEST = 3,
    SCAN_STATUS_ABORTED_BY_DEVICE = 4,
    SCAN_STATUS_ABORTED_PAPER_JAM = 5,
    SCAN_STATUS_END_OF_PAGE = 7,
    SCAN_STATUS_BEGIN_OF_SCAN = 8,
    SCAN_STATUS_BEGIN_OF_PAGE = 9
};

/* ADFStatus */
enum ADFStatus {
    ADF_STATUS_EMPTY = 1,
    ADF_STATUS_LOADED = 2,
    ADF_STATUS_PAPER_JAM = 3
};

/* CompressionType: tagSettingInfo.compType */
enum CompressionType {
    COMPRESSION_NONE = 0,
    COMPRESSION_WICKED = 1,
    COMPRESSION_JPEG = 2
};

/* OSL_CMD_TYPE: TCPOSLReq.type */
enum OSL_CMD_TYPE {
    OSL_CMD_FAMILYTYPE = 0,
    OSL_CMD_GETLIST = 1,
    OSL_CMD_SUMMARY = 2
};

/* The client's scan settings (36 bytes). */
typedef struct tagSettingInfo {
    uint8_t bitDepth; /* 1, 8 or 24 */
    uint8_t pad0[3];
    int32_t compType; /* CompressionType */
    uint32_t width;
    uint32_t height;
    uint32_t xStart;
    uint32_t yStart;
    uint16_t xResolution;
    uint16_t yResolution;
    uint8_t feederEnabled; /* bool */
    uint8_t backgroundRemoval;
    uint8_t backgroundRemovalParam;
    uint8_t BrightnessParam;
    uint8_t ContrastParam;
    uint8_t isClient;
    uint8_t pad1[2];
} tagSettingInfo;

/* Network device address as the client names it (20 bytes). */
typedef struct OrvoSocket {
    int32_t tcpFromScanner; /* the daemon's descriptor of the scan data connection */
    char szScannerIP[16]; /* dotted-decimal IPv4 */
} OrvoSocket;

/* Network scanner capabilities (36 bytes, sent raw). */
typedef struct tagScannerCapabilities {
    uint8_t duplex; /* bool */
    uint8_t color; /* bool */
    uint8_t pad0[2];
    uint32_t minres;
    uint32_t maxres;
    uint32_t width_format;
    uint32_t family;
    uint8_t permprofiles; /* bool */
    uint8_t profile; /* bool */
    uint8_t pad1[2];
    uint32_t maxWidth;
    uint32_t maxHeight;
    uint32_t basicres;
} ScannerCapabilities;

/* USB scanner properties as the device reports them (24 bytes, copied raw). */
typedef struct ResScanDeviceProperties {
    uint8_t common[8]; /* the device's answer header */
    uint8_t majorVersion;
    uint8_t minorVersion;
    uint8_t customStr; /* bool */
    uint8_t compression;
    uint8_t boundery24;
    uint8_t boundery8;
    uint8_t pad0[2];
    uint32_t supportProcessing;
    uint16_t deviceCaps;
    uint8_t sources;
    uint8_t pad1;
} ResScanDeviceProperties;

/* ---- requests ---- */

typedef struct USBFindDevReq {
    uint32_t vid; /* low 16 bits used */
    uint32_t pid; /* low 16 bits used */
    uint8_t compareWithPID; /* bool */
    uint8_t pad[3];
} USBFindDevReq;

typedef struct USBCommonReq {
    int32_t devfd; /* handle from USBFindDevRes.fd */
} USBCommonReq;

typedef struct USBClearDevEpReq {
    int32_t devfd;
    uint32_t ep;
} USBClearDevEpReq;

typedef USBClearDevEpReq USBResetDevEpReq;

typedef struct USBScanLockReq {
    int32_t devfd;
    tagSettingInfo info;
} USBScanLockReq;

typedef struct USBScanAbortReq {
    int32_t devfd;
    char fileName[ORVO_SCAN_NAME_LEN]; /* base name from the scan start */
} USBScanAbortReq;

typedef struct USBReopenDevReq {
    int32_t devfd;
    uint32_t vid;
    uint32_t pid;
    char SerialNumber[ORVO_SCAN_STRING_LEN];
} USBReopenDevReq;

typedef struct TCPCommonReq {
    OrvoSocket socket;
} TCPCommonReq;

typedef struct TCPOSLReq {
    OrvoSocket socket;
    int32_t type; /* OSL_CMD_TYPE */
} TCPOSLReq;

typedef struct TCPScanStartReq {
    OrvoSocket socket;
    tagSettingInfo info;
} TCPScanStartReq;

typedef struct TCPScanAbortReq {
    OrvoSocket socket;
    char fileName[ORVO_SCAN_NAME_LEN];
} TCPScanAbortReq;

typedef struct CmdDeleteFileReq {
    char fileName[ORVO_SCAN_NAME_LEN];
} CmdDeleteFileReq;

/* ---- replies ---- */

typedef struct USBFindDevRes {
    int32_t fd;
    uint32_t vid;
    uint32_t pid;
    char Manufacturer[ORVO_SCAN_STRING_LEN];
    char Product[ORVO_SCAN_STRING_LEN];
    char SerialNumber[ORVO_SCAN_STRING_LEN];
} USBFindDevRes;

typedef struct USBScanStartRes {
    int32_t result;
    char fileName[ORVO_SCAN_NAME_LEN]; /* base name; pages are "%s_%d.tmp" */
} USBScanStartRes;

typedef struct USBScanRecordRes {
    int32_t st; /* ScanStatus */
    int32_t fileIndex; /* page files opened before this record */
    int32_t dataSize; /* image bytes received with this record */
    int32_t result;
} USBScanRecordRes;

typedef struct USBScanAdfStatusRes {
    int32_t st; /* ADFStatus */
    int32_t result;
} USBScanAdfStatusRes;

typedef struct USBScanDevicePropertiesRes {
    ResScanDeviceProperties st;
    int32_t result;
} USBScanDevicePropertiesRes;

typedef struct USBReopenDevRes {
    int32_t ret;
    int32_t fd;
} USBReopenDevRes;

typedef struct TCPScanStartRes {
    int32_t result;
    int32_t socketDataFd;
    char fileName[ORVO_SCAN_NAME_LEN];
} TCPScanStartRes;

typedef struct TCPOSLRes {
    int32_t result;
    int32_t bufferLen; /* reply text bytes that follow */
} TCPOSLRes;

typedef struct TCPRecordRes {
    int32_t result;
    int32_t bufferLen; /* image bytes received with this record */
    int32_t fileIndex;
    int32_t st; /* ScanStatus */
} TCPRecordRes;

typedef struct TCPADFStatusRes {
    int32_t result;
    int32_t st;
} TCPADFStatusRes;

typedef struct TCPDevPropertiesRes {
    int32_t result;
    ScannerCapabilities devPro;
} TCPDevPropertiesRes;

/* ---- the layout, kept ---- */
#ifdef __cplusplus
#define ORVO_SCAN_ASSERT static_assert
#else
#define ORVO_SCAN_ASSERT _Static_assert
#endif
#define ORVO_SCAN_LAYOUT(type, size) ORVO_SCAN_ASSERT(sizeof(type) == (size), #type " size")
#define ORVO_SCAN_AT(type, field, off) ORVO_SCAN_ASSERT(offsetof(type, field) == (off), #type "." #field " offset")

ORVO_SCAN_LAYOUT(tagSettingInfo, 36);
ORVO_SCAN_AT(tagSettingInfo, bitDepth, 0);
ORVO_SCAN_AT(tagSettingInfo, compType, 4);
ORVO_SCAN_AT(tagSettingInfo, width, 8);
ORVO_SCAN_AT(tagSettingInfo, height, 12);
ORVO_SCAN_AT(tagSettingInfo, xStart, 16);
ORVO_SCAN_AT(tagSettingInfo, yStart, 20);
ORVO_SCAN_AT(tagSettingInfo, xResolution, 24);
ORVO_SCAN_AT(tagSettingInfo, yResolution, 26);
ORVO_SCAN_AT(tagSettingInfo, feederEnabled, 28);
ORVO_SCAN_AT(tagSettingInfo, backgroundRemoval, 29);
ORVO_SCAN_AT(tagSettingInfo, backgroundRemovalParam, 30);
ORVO_SCAN_AT(tagSettingInfo, BrightnessParam, 31);
ORVO_SCAN_AT(tagSettingInfo, ContrastParam, 32);
ORVO_SCAN_AT(tagSettingInfo, isClient, 33);

ORVO_SCAN_LAYOUT(OrvoSocket, 20);
ORVO_SCAN_AT(OrvoSocket, tcpFromScanner, 0);
ORVO_SCAN_AT(OrvoSocket, szScannerIP, 4);

ORVO_SCAN_LAYOUT(ScannerCapabilities, 36);
ORVO_SCAN_AT(ScannerCapabilities, duplex, 0);
ORVO_SCAN_AT(ScannerCapabilities, color, 1);
ORVO_SCAN_AT(ScannerCapabilities, minres, 4);
ORVO_SCAN_AT(ScannerCapabilities, maxres, 8);
ORVO_SCAN_AT(ScannerCapabilities, width_format, 12);
ORVO_SCAN_AT(ScannerCapabilities, family, 16);
ORVO_SCAN_AT(ScannerCapabilities, permprofiles, 20);
ORVO_SCAN_AT(ScannerCapabilities, profile, 21);
ORVO_SCAN_AT(ScannerCapabilities, maxWidth, 24);
ORVO_SCAN_AT(ScannerCapabilities, maxHeight, 28);
ORVO_SCAN_AT(ScannerCapabilities, basicres, 32);

ORVO_SCAN_LAYOUT(ResScanDeviceProperties, 24);
ORVO_SCAN_AT(ResScanDeviceProperties, majorVersion, 8);
ORVO_SCAN_AT(ResScanDeviceProperties, minorVersion, 9);
ORVO_SCAN_AT(ResScanDeviceProperties, customStr, 10);
ORVO_SCAN_AT(ResScanDeviceProperties, compression, 11);
ORVO_SCAN_AT(ResScanDeviceProperties, boundery24, 12);
ORVO_SCAN_AT(ResScanDeviceProperties, boundery8, 13);
ORVO_SCAN_AT(ResScanDeviceProperties, supportProcessing, 16);
ORVO_SCAN_AT(ResScanDeviceProperties, deviceCaps, 20);
ORVO_SCAN_AT(ResScanDeviceProperties, sources, 22);

ORVO_SCAN_LAYOUT(USBFindDevReq, 12);
ORVO_SCAN_AT(USBFindDevReq, vid, 0);
ORVO_SCAN_AT(USBFindDevReq, pid, 4);
ORVO_SCAN_AT(USBFindDevReq, compareWithPID, 8);
ORVO_SCAN_LAYOUT(USBCommonReq, 4);
ORVO_SCAN_LAYOUT(USBClearDevEpReq, 8);
ORVO_SCAN_AT(USBClearDevEpReq, ep, 4);
ORVO_SCAN_LAYOUT(USBResetDevEpReq, 8);
ORVO_SCAN_LAYOUT(USBScanLockReq, 40);
ORVO_SCAN_AT(USBScanLockReq, info, 4);
ORVO_SCAN_LAYOUT(USBScanAbortReq, 260);
ORVO_SCAN_AT(USBScanAbortReq, fileName, 4);
ORVO_SCAN_LAYOUT(USBReopenDevReq, 1036);
ORVO_SCAN_AT(USBReopenDevReq, vid, 4);
ORVO_SCAN_AT(USBReopenDevReq, pid, 8);
ORVO_SCAN_AT(USBReopenDevReq, SerialNumber, 12);
ORVO_SCAN_LAYOUT(TCPCommonReq, 20);
ORVO_SCAN_LAYOUT(TCPOSLReq, 24);
ORVO_SCAN_AT(TCPOSLReq, type, 20);
ORVO_SCAN_LAYOUT(TCPScanStartReq, 56);
ORVO_SCAN_AT(TCPScanStartReq, info, 20);
ORVO_SCAN_LAYOUT(TCPScanAbortReq, 276);
ORVO_SCAN_AT(TCPScanAbortReq, fileName, 20);
ORVO_SCAN_LAYOUT(CmdDeleteFileReq, 256);

ORVO_SCAN_LAYOUT(USBFindDevRes, 3084);
ORVO_SCAN_AT(USBFindDevRes, vid, 4);
ORVO_SCAN_AT(USBFindDevRes, pid, 8);
ORVO_SCAN_AT(USBFindDevRes, Manufacturer, 12);
ORVO_SCAN_AT(USBFindDevRes, Product, 1036);
ORVO_SCAN_AT(USBFindDevRes, SerialNumber, 2060);
ORVO_SCAN_LAYOUT(USBScanStartRes, 260);
ORVO_SCAN_AT(USBScanStartRes, fileName, 4);
ORVO_SCAN_LAYOUT(USBScanRecordRes, 16);
ORVO_SCAN_AT(USBScanRecordRes, st, 0);
ORVO_SCAN_AT(USBScanRecordRes, fileIndex, 4);
ORVO_SCAN_AT(USBScanRecordRes, dataSize, 8);
ORVO_SCAN_AT(USBScanRecordRes, result, 12);
ORVO_SCAN_LAYOUT(USBScanAdfStatusRes, 8);
ORVO_SCAN_AT(USBScanAdfStatusRes, result, 4);
ORVO_SCAN_LAYOUT(USBScanDevicePropertiesRes, 28);
ORVO_SCAN_AT(USBScanDevicePropertiesRes, result, 24);
ORVO_SCAN_LAYOUT(USBReopenDevRes, 8);
ORVO_SCAN_AT(USBReopenDevRes, fd, 4);
ORVO_SCAN_LAYOUT(TCPScanStartRes, 264);
ORVO_SCAN_AT(TCPScanStartRes, socketDataFd, 4);
ORVO_SCAN_AT(TCPScanStartRes, fileName, 8);
ORVO_SCAN_LAYOUT(TCPOSLRes, 8);
ORVO_SCAN_AT(TCPOSLRes, bufferLen, 4);
ORVO_SCAN_LAYOUT(TCPRecordRes, 16);
ORVO_SCAN_AT(TCPRecordRes, bufferLen, 4);
ORVO_SCAN_AT(TCPRecordRes, fileIndex, 8);
ORVO_SCAN_AT(TCPRecordRes, st, 12);
ORVO_SCAN_LAYOUT(TCPADFStatusRes, 8);
ORVO_SCAN_AT(TCPADFStatusRes, st, 4);
ORVO_SCAN_LAYOUT(TCPDevPropertiesRes, 40);
ORVO_SCAN_AT(TCPDevPropertiesRes, devPro, 4);

#undef ORVO_SCAN_LAYOUT
#undef ORVO_SCAN_AT
#undef ORVO_SCAN_ASSERT

#ifdef __cplusplus
}
#endif

#endif
