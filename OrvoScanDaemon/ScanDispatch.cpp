#include "ScanCommands.h"

#include "ScanLog.h"

namespace {

const stScanCommand c_stScanCommands[] = {
    {USB_FIND_DEV, sizeof(USBFindDevReq), "[OrvoScanSDK] recv FindDevReq err\n", false, CmdUsbFindDev},
    {USB_OPEN_DEV, sizeof(USBCommonReq), "[OrvoScanSDK] recv OpenDevReq err\n", false, CmdUsbOpenDev},
    {USB_CLOSE_DEV, sizeof(USBCommonReq), "[OrvoScanSDK] recv CloseDevReq err\n", false, CmdUsbCloseDev},
    {USB_CLEAR_DEV, sizeof(USBClearDevEpReq), "[OrvoScanSDK] recv ClearDevEpReq err\n", false, CmdUsbClearDev},
    {USB_RESET_DEVEP, sizeof(USBResetDevEpReq), "[OrvoScanSDK] recv ResetDevEpReq err\n", false, CmdUsbResetDevEp},
    {USB_SCAN_START, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanStartReq err\n", false, CmdUsbScanStart},
    {USB_SCAN_ABORT, sizeof(USBScanAbortReq), "[OrvoScanSDK] recv ScanAbortReq err\n", false, CmdUsbScanAbort},
    {USB_SCAN_LOCK, sizeof(USBScanLockReq), "[OrvoScanSDK] recv ScanLockReq err\n", false, CmdUsbScanLock},
    {USB_SCAN_UNLOCK, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanUnlockReq err\n", false, CmdUsbScanUnlock},
    {USB_SCAN_ADFSTATUS, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanAdfStatusReq err\n", false,
     CmdUsbScanAdfStatus},
    {USB_SCAN_POWERON, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanPowerOnReq err\n", false, CmdUsbScanPowerOn},
    {USB_SCAN_GETSIZES, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanGetSizesReq err\n", false,
     CmdUsbScanGetSizes},
    {USB_SCAN_DEVPROPERTIES, sizeof(USBCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err\n", false,
     CmdUsbScanDevProperties},
    {TCP_SEND_OSL, sizeof(TCPOSLReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err\n", false, CmdTcpSendOsl},
    {TCP_SCAN_START, sizeof(TCPScanStartReq), "[OrvoScanSDK] recv ScanStartReq err len:%d\n", false,
     CmdTcpScanStart},
    {TCP_SCAN_ABORT, sizeof(TCPScanAbortReq), "[OrvoScanSDK] recv TCPScanAbortReq err\n", false, CmdTcpScanAbort},
    {TCP_SCAN_ADFST, sizeof(TCPCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err\n", false,
     CmdTcpScanAdfStatus},
    {TCP_SCAN_DEVPROPERTIES, sizeof(TCPCommonReq), "[OrvoScanSDK] recv ScanDevicePropertiesReq err\n", false,
     CmdTcpScanDevProperties},
    {USB_REOPEN_DEV, sizeof(USBReopenDevReq), "[OrvoScanSDK] recv USBReopenDevReq err\n", true, CmdUsbReopenDev},
    {CMD_DELETE_FILE, sizeof(CmdDeleteFileReq), "[OrvoScanSDK] recv CmdDeleteFileReq err\n", false, CmdDeleteFile},
};

}  // namespace

const stScanCommand *FindScanCommand(int32_t code)
{
    for (const stScanCommand &c : c_stScanCommands)
        if (c.iCode == code)
            return &c;
    return nullptr;
}
