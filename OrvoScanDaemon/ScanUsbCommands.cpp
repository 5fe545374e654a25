// The USB commands of the local protocol, each run by the connection process.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "OrvoScanner.h"
#include "OrvoUsb.h"
#include "SaneStatus.h"
#include "ScanCommands.h"
#include "ScanData.h"
#include "ScanFiles.h"
#include "ScanHandles.h"
#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanServer.h"
#include "ScanState.h"

namespace {

template <typename T>
T Request(const unsigned char *req)
{
    T r;
    memcpy(&r, req, sizeof r);
    return r;
}

int32_t Handle(const unsigned char *req)
{
    return Request<USBCommonReq>(req).devfd;
}

void ReplyResult(int sock, int32_t result, const char *sendErr)
{
    ScanReply(sock, &result, sizeof result, sendErr);
}

// A handle the client did not get from this process is never touched (4), nor a device
// whose scan another connection runs (3): its records would be taken for answers.
int32_t HandleRefused(int32_t fd)
{
    if (!ScanHandleOwned(fd))
        return SANE_STATUS_INVAL;
    return ScanDeviceBusyElsewhere(fd) ? SANE_STATUS_DEVICE_BUSY : SANE_STATUS_GOOD;
}

int32_t RunOnHandle(int32_t fd, int (*fn)(int))
{
    const int32_t refused = HandleRefused(fd);
    return refused ? refused : fn(fd);
}

void ReleaseOthers(ORVO_USB_DEV *devs, int count, int keep)
{
    for (int i = 0; i < count; ++i)
        if (i != keep)
            orvo_close_device(devs[i].fd);
}

}  // namespace

void CmdUsbFindDev(int sock, const unsigned char *req, int)
{
    const USBFindDevReq r = Request<USBFindDevReq>(req);
    ORVO_USB_DEV *devs = static_cast<ORVO_USB_DEV *>(calloc(c_iMaxUsbDevices, sizeof(ORVO_USB_DEV)));
    const int32_t count = orvo_find_device(uint16_t(r.vid), uint16_t(r.pid), devs, r.compareWithPID != 0);
    for (int i = 0; i < count; ++i)
        ScanHandleAdd(devs[i].fd);
    USBFindDevRes *res = count > 0 ? static_cast<USBFindDevRes *>(calloc(size_t(count), sizeof *res)) : nullptr;
    if (ScanReply(sock, &count, sizeof count, "send dev count err") && res) {
        for (int i = 0; i < count; ++i)
            res[i] = converToDevRes(devs[i].fd, &devs[i].dev_des);
        ScanReply(sock, res, size_t(count) * sizeof *res, "send FindDevRes err");
    }
    free(res);
    free(devs);
}

void CmdUsbOpenDev(int sock, const unsigned char *req, int)
{
    const int32_t result = RunOnHandle(Handle(req), orvo_init);
    OrvoLogInfo("[OrvoScanSDK] USB_OPEN_DEV result %d\n", result);
    ReplyResult(sock, result, "send OpenDevReq result err");
}

void CmdUsbCloseDev(int sock, const unsigned char *req, int)
{
    const int32_t fd = Handle(req);
    int32_t result = SANE_STATUS_INVAL;
    if (ScanHandleOwned(fd)) {
        orvo_close_device(fd);
        ScanHandleRemove(fd);
        result = SANE_STATUS_GOOD;
    }
    OrvoLogInfo("[OrvoScanSDK] USB_CLOSE_DEV result %d\n", result);
    ReplyResult(sock, result, "send CloseDevReq result err");
}

void CmdUsbClearDev(int sock, const unsigned char *req, int)
{
    const USBClearDevEpReq r = Request<USBClearDevEpReq>(req);
    const int32_t refused = HandleRefused(r.devfd);
    const int32_t result = refused ? refused : orvo_clear_halt(r.devfd, r.ep);
    OrvoLogInfo("[OrvoScanSDK] USB_CLEAR_DEV result %d\n", result);
    ReplyResult(sock, result, "send ClearDevEpReq result err");
}

void CmdUsbResetDevEp(int sock, const unsigned char *req, int)
{
    const USBResetDevEpReq r = Request<USBResetDevEpReq>(req);
    const int32_t refused = HandleRefused(r.devfd);
    const int32_t result = refused ? refused : orvo_resetep(r.devfd, r.ep);
    OrvoLogInfo("[OrvoScanSDK] USB_RESET_DEVEP result %d\n", result);
    ReplyResult(sock, result, "send ResetDevEpReq result err");
}

void CmdUsbScanLock(int sock, const unsigned char *req, int)
{
    const USBScanLockReq r = Request<USBScanLockReq>(req);
    const int32_t refused = HandleRefused(r.devfd);
    const int32_t result = refused ? refused : ScanLock(r.devfd, &r.info);
    OrvoLogInfo("[OrvoScanSDK] USB_SCAN_LOCK result %d\n", result);
    ReplyResult(sock, result, "send ScanLockReq result err");
}

void CmdUsbScanUnlock(int sock, const unsigned char *req, int)
{
    ReplyResult(sock, RunOnHandle(Handle(req), ScanUnlock), "send ScanUnlockReq result err");
}

void CmdUsbScanPowerOn(int sock, const unsigned char *req, int)
{
    ReplyResult(sock, RunOnHandle(Handle(req), ScanPowerOn), "send ScanPowerOnReq result err");
}

void CmdUsbScanGetSizes(int sock, const unsigned char *req, int)
{
    ReplyResult(sock, RunOnHandle(Handle(req), ScanGetScanSizes), "send ScanGetSizesReq result err");
}

void CmdUsbScanAdfStatus(int sock, const unsigned char *req, int)
{
    const int32_t fd = Handle(req);
    USBScanAdfStatusRes res = {};
    int st = 0;
    const int32_t refused = HandleRefused(fd);
    res.result = refused ? refused : ScanADFStatus(fd, &st);
    res.st = st;
    ScanReply(sock, &res, sizeof res, "send ScanAdfStatusRes err");
}

void CmdUsbScanDevProperties(int sock, const unsigned char *req, int)
{
    const int32_t fd = Handle(req);
    USBScanDevicePropertiesRes res;
    memset(&res, 0, sizeof res);
    const int32_t refused = HandleRefused(fd);
    res.result = refused ? refused : ScanDeviceProperties(fd, &res.st);
    ScanReply(sock, &res, sizeof res, "send ScanDevicePropertiesRes err");
}

void CmdUsbScanAbort(int sock, const unsigned char *req, int)
{
    USBScanAbortReq r = Request<USBScanAbortReq>(req);
    r.fileName[sizeof r.fileName - 1] = '\0';
    sigset_t saved;
    ScanStopDataProcess(&saved);
    const int32_t refused = HandleRefused(r.devfd);
    const int32_t result = refused ? refused : ScanAbort(r.devfd);
    ScanReapDataProcess(&saved);
    ScanDeleteAbortedFiles(r.fileName);
    ReplyResult(sock, result, "send ScanAbortReq result err");
}

void CmdUsbReopenDev(int sock, const unsigned char *req, int len)
{
    USBReopenDevRes res = {SANE_STATUS_IO_ERROR, -1};
    USBReopenDevReq r = Request<USBReopenDevReq>(req);
    r.SerialNumber[sizeof r.SerialNumber - 1] = '\0';
    if (len >= int(sizeof r) && !ScanHandleOwned(r.devfd)) {
        res.ret = SANE_STATUS_INVAL;
    } else if (len >= int(sizeof r)) {
        ORVO_USB_DEV *devs = static_cast<ORVO_USB_DEV *>(calloc(c_iMaxUsbDevices, sizeof(ORVO_USB_DEV)));
        const int count = orvo_find_device(uint16_t(r.vid), uint16_t(r.pid), devs, true);
        int taken = -1;
        for (int i = 0; i < count && taken < 0; ++i) {
            const USBFindDevRes dev = converToDevRes(devs[i].fd, &devs[i].dev_des);
            if (strcmp(dev.SerialNumber, r.SerialNumber) != 0)
                continue;
            taken = i;
            orvo_close_device(r.devfd);
            ScanHandleRemove(r.devfd);
            res.ret = orvo_init(devs[i].fd);
            res.fd = devs[i].fd;
            ScanHandleAdd(devs[i].fd);
        }
        // The client learns only the one handle; the others would stay open for nothing.
        ReleaseOthers(devs, count, taken);
        free(devs);
    }
    ScanReply(sock, &res, sizeof res, "send USBReopenDevRes err");
}

void CmdDeleteFile(int, const unsigned char *req, int)
{
    CmdDeleteFileReq r = Request<CmdDeleteFileReq>(req);
    r.fileName[sizeof r.fileName - 1] = '\0';
    ScanDeletePageFile(r.fileName);
}
