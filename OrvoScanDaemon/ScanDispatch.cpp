#include "ScanCommands.h"

#include "ScanLog.h"

namespace {

const stScanCommand c_stScanCommands[] = {
    {USB_FIND_DEV, sizeof(USBFindDevReq), "[OrvoScanSDK] recv FindDevReq err", false, false, CmdUsbFindDev},
    {USB_OPEN_DEV, sizeof(USBCommonReq), "[OrvoScanSDK] recv OpenDevReq err", false, false, CmdUsbOpenDev},
    {USB_CLOSE_DEV, sizeof(USBCommonReq), "[OrvoScanSDK] recv CloseDevReq err", false, false, CmdUsbCloseDev},
    {USB_CLEAR_DEV, sizeof(USBClearDevEpReq), "[OrvoScanSDK] recv ClearDevEpReq err", false, false, CmdUsbClearDev},
    {USB_RESET_DEVEP, sizeof(USBResetDevEpReq), "[OrvoScanSDK] recv ResetDevEpReq err", false, false, CmdUsbResetDevEp},
    {USB_SCAN_START, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanStartReq err", false, false, CmdUsbScanStart},
    {USB_SCAN_ABORT, sizeof(USBScanAbortReq), "[OrvoScanSDK] recv ScanAbortReq err", false, false, CmdUsbScanAbort},
    {USB_SCAN_LOCK, sizeof(USBScanLockReq), "[OrvoScanSDK] recv ScanLockReq err", false, false, CmdUsbScanLock},
    {USB_SCAN_UNLOCK, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanUnlockReq err", false, false, CmdUsbScanUnlock},
    {USB_SCAN_ADFSTATUS, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanAdfStatusReq err", false, false,
     CmdUsbScanAdfStatus},
    {USB_SCAN_POWERON, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanPowerOnReq err", false, false, CmdUsbScanPowerOn},
    {USB_SCAN_GETSIZES, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanGetSizesReq err", false, false,
     CmdUsbScanGetSizes},
    {USB_SCAN_DEVPROPERTIES, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err", false, false,
     CmdUsbScanDevProperties},
    {TCP_SEND_OSL, sizeof(TCPOSLReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err", false, false, CmdTcpSendOsl},
    {TCP_SCAN_START, sizeof(TCPScanStartReq), "[OrvoScanSDK] recv ScanStartReq err", true, false,
     CmdTcpScanStart},
    {TCP_SCAN_ABORT, sizeof(TCPScanAbortReq), "[OrvoScanSDK] recv TCPScanAbortReq err", false, false, CmdTcpScanAbort},
    {TCP_SCAN_ADFST, sizeof(TCPCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err", false, false,
     CmdTcpScanAdfStatus},
    {TCP_SCAN_DEVPROPERTIES, sizeof(TCPCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err", false, false,
     CmdTcpScanDevProperties},
    {USB_REOPEN_DEV, sizeof(USBReopenDevReq), "[OrvoScanSDK] recv USBReopenDevReq err", false, true, CmdUsbReopenDev},
    {CMD_DELETE_FILE, sizeof(CmdDeleteFileReq), "[OrvoScanSDK] recv CmdDeleteFileReq err", false, false, CmdDeleteFile},
};

}  // namespace

const stScanCommand *FindScanCommand(int32_t code)
{
    for (const stScanCommand &c : c_stScanCommands)
        if (c.iCode == code)
            return &c;
    return nullptr;
}
