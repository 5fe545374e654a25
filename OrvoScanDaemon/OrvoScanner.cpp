#include "OrvoScanner.h"

#include <cstdlib>
#include <cstring>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include "OrvoUsb.h"
#include "SaneStatus.h"
#include "ScanLog.h"

unsigned char m_ResComBuf[c_iResComBufLen];

namespace {

constexpr uint8_t c_ucCmdStart = 0x1B;
constexpr uint8_t c_ucClassScan = 0x53;
constexpr uint8_t c_ucClassDevice = 0x44;
constexpr uint8_t c_ucCodeStart = 0x01;
constexpr uint8_t c_ucCodeRecord = 0x02;
constexpr uint8_t c_ucCodeProperties = 0x03;
constexpr uint8_t c_ucCodeAdfStatus = 0x04;
constexpr uint8_t c_ucCodeLock = 0x05;
constexpr uint8_t c_ucCodeUnlock = 0x06;
constexpr uint8_t c_ucCodeGetSizes = 0x0A;
constexpr uint8_t c_ucCodeAbort = 0x0F;
constexpr uint8_t c_ucCodePowerOn = 0x04;
constexpr uint8_t c_ucFlagRequest = 0x80;
constexpr int c_iCommandTimeout = 5000;
constexpr int c_iAdfTimeout = 15000;
constexpr int c_iDataTimeout = 30000;
constexpr int c_iReadAttempts = 10;

ReqCommon Header(uint8_t cls, uint8_t code, uint16_t dataSize)
{
    ReqCommon h = {};
    h.cmdStart = c_ucCmdStart;
    h.cmdClass = cls;
    h.cmdCode = code;
    h.subCmdCode = 0;
    h.dataSize = dataSize;
    h.flags = c_ucFlagRequest;
    h.reserved = 0;
    return h;
}

bool IsAnswer(const unsigned char *b, uint8_t code)
{
    return b[0] == c_ucCmdStart && b[1] == c_ucClassScan && b[2] == code;
}

uint16_t AnswerDataSize(const unsigned char *b)
{
    return uint16_t(b[4] | b[5] << 8);
}

int ReadAnswer(int fd, int timeout)
{
    memset(m_ResComBuf, 0, sizeof m_ResComBuf);
    return orvo_bulk_read(fd, m_ResComBuf, c_iResComBufLen, timeout);
}

// Sends a header-only command and reads its answer.
int SimpleCommand(int fd, uint8_t cls, uint8_t code, CommandType type)
{
    const ReqCommon req = Header(cls, code, 0);
    const int ret = RequestScanner(fd, &req, sizeof req);
    if (ret != SANE_STATUS_GOOD)
        return ret;
    return ResponseScanner(fd, type);
}

}  // namespace

int RequestScanner(int fd, const void *request, int length)
{
    OrvoLogInfo("[OrvoScanSDK] [enter] request size = %d\n", length);
    const int written = orvo_bulk_write(fd, request, length, c_iCommandTimeout);
    int ret = SANE_STATUS_GOOD;
    if (written == -1 || written == 0) {
        ret = written == -1 ? SANE_STATUS_IO_ERROR : SANE_STATUS_DEVICE_BUSY;
        OrvoLogErr("[OrvoScanSDK] RequestScanner failed.\n");
    }
    OrvoLogInfo("[OrvoScanSDK] [exit] nRet[0x%08x]\n", unsigned(ret));
    return ret;
}

int ResponseScanner(int fd, CommandType type)
{
    int got = ReadAnswer(fd, type == CMD_TYPE_SCAN_ADF_STATUS ? c_iAdfTimeout : c_iCommandTimeout);
    if (got > 0) {
        OrvoLogInfo("[OrvoScanSDK] Header type(#1): cmdStart[0x%02X] cmdClass[0x%02X] cmdCode[0x%02X]\n",
                    m_ResComBuf[0], m_ResComBuf[1], m_ResComBuf[2]);
    }
    auto retry = [&]() {
        got = ReadAnswer(fd, c_iCommandTimeout);
        if (got > 0)
            OrvoLogInfo("[OrvoScanSDK] Header type(#2): cmdStart[0x%02X] cmdClass[0x%02X] cmdCode[0x%02X]\n",
                        m_ResComBuf[0], m_ResComBuf[1], m_ResComBuf[2]);
        else
            OrvoLogInfo("[OrvoScanSDK] ResponseScanner(ResCommon) #2 failed. \n");
    };
    // Records of an earlier scan, and one abort answer, may still wait ahead of ours.
    while (got > 0 && IsAnswer(m_ResComBuf, c_ucCodeRecord)) {
        OrvoLogInfo("[OrvoScanSDK] ScanRecord Response recieve. Retry read.\n");
        retry();
    }
    if (got > 0 && IsAnswer(m_ResComBuf, c_ucCodeAbort)) {
        OrvoLogInfo("[OrvoScanSDK] ScanAbort Response recieve. Retry read.\n");
        retry();
    }
    int ret;
    const uint16_t dataSize = AnswerDataSize(m_ResComBuf);
    if (got <= 0) {
        OrvoLogInfo("[OrvoScanSDK] ResponseScanner(ResCommon) #1 failed. \n");
        ret = got == 0 ? SANE_STATUS_DEVICE_BUSY : got;
    } else if (dataSize != 0 && dataSize > c_iResComBufLen - int(sizeof(ResCommon))) {
        OrvoLogErr("[OrvoScanSDK] m_ResComBuf is too small. needed = %d\n", dataSize + 8);
        ret = SANE_STATUS_NO_MEM;
    } else {
        OrvoLogInfo("[OrvoScanSDK]   ** readSize = %d\n", dataSize + 8);
        ret = ConvertResponseFlagToErrorCode(m_ResComBuf[6], type);
    }
    OrvoLogInfo("[OrvoScanSDK] [exit] nRet[0x%08x]\n", unsigned(ret));
    return ret;
}

int ConvertResponseFlagToErrorCode(uint8_t flag, CommandType type)
{
    switch (flag) {
    case 0x80:
        OrvoLogInfo("[OrvoScanSDK] Response: Command was successfully executed\n");
        return SANE_STATUS_GOOD;
    case 0x81:
        OrvoLogErr("[OrvoScanSDK] Response: Command is invalid or not supported\n");
        return SANE_STATUS_IO_ERROR;
    case 0x82:
        OrvoLogErr("[OrvoScanSDK] Response: Command execution has failed\n");
        return SANE_STATUS_IO_ERROR;
    case 0x83:
        OrvoLogErr("[OrvoScanSDK] Response: Lock required to execute command\n");
        return SANE_STATUS_IO_ERROR;
    case 0x84:
        OrvoLogErr("[OrvoScanSDK] Response: Device is currently powered off\n");
        return SANE_STATUS_IO_ERROR;
    case 0x85:
        OrvoLogErr("[OrvoScanSDK] Response: Catastrophic error\n");
        return SANE_STATUS_IO_ERROR;
    case 0x86:
        OrvoLogErr("[OrvoScanSDK] Response: Communication error (Host software use only. Printer will not send "
                   "this error code.)\n");
        return SANE_STATUS_IO_ERROR;
    case 0x88:
        if (type == CMD_TYPE_SCAN_START || type == CMD_TYPE_SCAN_POWER_ON_COMMAND) {
            OrvoLogErr("[OrvoScanSDK] Response: Invalid scan request - parameter error\n");
        } else if (type == CMD_TYPE_SCAN_LOCK) {
            OrvoLogErr("[OrvoScanSDK] Response: Lock could not be obtained - scanner resource is already locked\n");
            return SANE_STATUS_DEVICE_BUSY;
        } else {
            OrvoLogErr("[OrvoScanSDK] Response flag is unknown [0x%02x]\n", flag);
        }
        return SANE_STATUS_IO_ERROR;
    case 0x89:
        if (type == CMD_TYPE_SCAN_LOCK)
            OrvoLogErr("[OrvoScanSDK] Response: Lock could not be obtained because device doesn't have enough "
                       "memory to perform scan\n");
        else
            OrvoLogErr("[OrvoScanSDK] Response flag is unknown [0x%02x]\n", flag);
        return SANE_STATUS_IO_ERROR;
    default:
        OrvoLogErr("[OrvoScanSDK] Response flag is unknown [0x%02x]\n", flag);
        return SANE_STATUS_GOOD;
    }
}

int ReadWithRetry(int fd, unsigned char *buffer, int length)
{
    int got = 0;
    for (int attempt = 0; got < length && attempt < c_iReadAttempts; ++attempt) {
        const int n = orvo_bulk_read(fd, buffer + got, length - got, c_iDataTimeout);
        if (n > 0)
            got += n;
    }
    if (got == length)
        return SANE_STATUS_GOOD;
    OrvoLogErr("[OrvoScanSDK] ReadWithRetry failed.\n");
    return SANE_STATUS_IO_ERROR;
}

unsigned char *getScanBuffer(unsigned char *buffer, int size)
{
    return static_cast<unsigned char *>(realloc(buffer, size_t(size)));
}

int ScanStart(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    return SimpleCommand(fd, c_ucClassScan, c_ucCodeStart, CMD_TYPE_SCAN_START);
}

int ScanDeviceProperties(int fd, ResScanDeviceProperties *props)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    const int ret = SimpleCommand(fd, c_ucClassScan, c_ucCodeProperties, CMD_TYPE_SCAN_DEVICE_PROPERTIES);
    if (ret == SANE_STATUS_GOOD)
        memcpy(props, m_ResComBuf, sizeof *props);
    return ret;
}

int ScanADFStatus(int fd, int *adfStatus)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    const int ret = SimpleCommand(fd, c_ucClassScan, c_ucCodeAdfStatus, CMD_TYPE_SCAN_ADF_STATUS);
    if (ret == SANE_STATUS_GOOD)
        *adfStatus = m_ResComBuf[7];
    return ret;
}

int ScanLock(int fd, const tagSettingInfo *info)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    OrvoLogInfo("[OrvoScanSDK] x:%d y:%d width:%d height:%d dpi:%d depth:%d\n", int(info->xStart),
                int(info->yStart), int(info->width), int(info->height), int(info->xResolution), int(info->bitDepth));
    ReqScanLock req;
    memset(&req, 0, sizeof req);
    req.common = Header(c_ucClassScan, c_ucCodeLock, sizeof req - sizeof req.common);
    const bool bilevel = info->bitDepth == 1;
    req.depth = bilevel ? 1 : info->bitDepth == 8 ? 2
                                                  : 3;
    req.compressionMode = bilevel ? 0 : uint8_t(info->compType);
    req.compressionLevel =
        !bilevel && (info->compType == COMPRESSION_WICKED || info->compType == COMPRESSION_JPEG) ? 70 : 0;
    req.filter = 3;
    req.width = info->width;
    req.height = info->height;
    req.xOffset = info->xStart;
    req.yOffset = info->yStart;
    // The feeder scans at most 600 dpi.
    const bool feeder1200 = info->feederEnabled && info->xResolution == 1200;
    req.xResolution = feeder1200 ? 600 : info->xResolution;
    req.yResolution = feeder1200 ? 600 : info->yResolution;
    req.scanSource = info->feederEnabled
                         ? (info->isClient ? SCAN_SOURCE_ADF_MULTI_PAGE : SCAN_SOURCE_ADF_SINGLE_PAGE)
                         : SCAN_SOURCE_FLATBED_SINGLE_PAGE;
    req.duplex = 1;
    req.backgroundRemoval = info->backgroundRemoval ? 1 : 0;
    req.backgroundRemovalParam = info->backgroundRemovalParam;
    req.brightness = info->BrightnessParam;
    req.contrast = info->ContrastParam;
    const int ret = RequestScanner(fd, &req, sizeof req);
    if (ret != SANE_STATUS_GOOD)
        return ret;
    return ResponseScanner(fd, CMD_TYPE_SCAN_LOCK);
}

int ScanUnlock(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    return SimpleCommand(fd, c_ucClassScan, c_ucCodeUnlock, CMD_TYPE_SCAN_UNLOCK);
}

int ScanGetScanSizes(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    return SimpleCommand(fd, c_ucClassScan, c_ucCodeGetSizes, CMD_TYPE_SCAN_GET_SCAN_SIZES);
}

int ScanAbort(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    const ReqCommon req = Header(c_ucClassScan, c_ucCodeAbort, 0);
    const int ret = RequestScanner(fd, &req, sizeof req);
    // The reset ends a transfer still waiting on the device; its outcome changes nothing.
    if (ioctl(fd, USBDEVFS_RESET, 0) < 0)
        OrvoLogInfo("[OrvoScanSDK] usb reset failed\n");
    return ret;
}

int ScanPowerOn(int fd)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    const int ret = SimpleCommand(fd, c_ucClassDevice, c_ucCodePowerOn, CMD_TYPE_SCAN_POWER_ON_COMMAND);
    if (ret == SANE_STATUS_GOOD)
        OrvoLogInfo("[OrvoScanSDK] ScanPowerOn Sleep: %d seconds for the scanner to warm prior to scanning.\n",
                    m_ResComBuf[8]);
    return ret;
}

int ScanRecord(int fd, int *status, unsigned char **buffer, uint16_t *bufferSize, uint16_t *readSize)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    unsigned char res[512];
    memset(res, 0, sizeof res);
    const int got = orvo_bulk_read(fd, res, c_iResComBufLen, c_iDataTimeout);
    if (got < 0) {
        OrvoLogErr("[OrvoScanSDK] ScanRecord(ResCommon) failed. \n");
        return SANE_STATUS_IO_ERROR;
    }
    if (IsAnswer(res, c_ucCodeAbort)) {
        OrvoLogInfo("[OrvoScanSDK] ScanAbort Command from Device.\n");
        return SANE_STATUS_CANCELLED;
    }
    const uint16_t dataSize = AnswerDataSize(res);
    if (dataSize == 0)
        return SANE_STATUS_GOOD;
    // The record's fields must all be there before any of them is believed.
    if (dataSize < c_iScanRecordFields || got < int(sizeof(ResCommon)) + c_iScanRecordFields) {
        OrvoLogErr("[OrvoScanSDK] ScanRecord answer too short: dataSize = %d, received = %d\n", dataSize, got);
        return SANE_STATUS_IO_ERROR;
    }
    const int st = res[8];
    OrvoLogInfo("[OrvoScanSDK]   ** status = %d, resCmd.dataSize = %d\n", st, dataSize);
    *status = st;
    switch (st) {
    case SCAN_STATUS_OPERATION_CONTINUOUS: {
        const uint16_t imageSize = uint16_t(dataSize - c_iScanRecordFields);
        if (*bufferSize < imageSize) {
            unsigned char *grown = getScanBuffer(*buffer, imageSize);
            if (!grown) {
                OrvoLogErr("[OrvoScanSDK] resize scan data buffer err\n");
                return SANE_STATUS_NO_MEM;
            }
            *buffer = grown;
            *bufferSize = imageSize;
        }
        const int ret = ReadWithRetry(fd, *buffer, imageSize);
        *readSize = imageSize;
        OrvoLogInfo("[OrvoScanSDK]   ** exist scan data : readSize = %d\n", imageSize);
        return ret;
    }
    case SCAN_STATUS_END_OF_DATA:
        return SANE_STATUS_EOF;
    case SCAN_STATUS_ABORTED_OUT_OF_MEMORY:
        return SANE_STATUS_NO_MEM;
    case SCAN_STATUS_ABORTED_BY_REQUEST:
    case SCAN_STATUS_ABORTED_BY_DEVICE:
        return SANE_STATUS_CANCELLED;
    case SCAN_STATUS_ABORTED_PAPER_JAM:
        return SANE_STATUS_JAMMED;
    case SCAN_STATUS_END_OF_PAGE:
    case SCAN_STATUS_BEGIN_OF_SCAN:
    case SCAN_STATUS_BEGIN_OF_PAGE:
        return SANE_STATUS_GOOD;
    default:
        return SANE_STATUS_INVAL;
    }
}
