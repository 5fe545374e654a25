#include "FWUpdateAttempts.h"
#include "FWUpdateTask.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

int RunFWUpdateAttempts(int iVendorID, int iProductID, const QString &strPort, const unsigned char *pImage,
                        int iLength, unsigned int uiChunkTimeoutMs, const FWAttemptProgressFn &fnProgress)
{
    int iResult = 0;
    for (int iAttempt = 1; iAttempt <= c_iFWUpdateAttempts; ++iAttempt) {
        if (fnProgress)
            fnProgress(iAttempt, 0);
        iResult = FWUpdateTask(iVendorID, iProductID, strPort, pImage, iLength, uiChunkTimeoutMs,
                               [&](int iSent) {
                                   if (fnProgress)
                                       fnProgress(iAttempt, iSent);
                               });
        if (iResult == USB_OK)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(c_iFWRetryPauseMs));
    }
    return iResult;
}

QString FWUpdateResultText(int iResult)
{
    switch (iResult) {
    case USB_OK:
        return QCoreApplication::translate("FWUpdateResultText", "操作成功，请等待打印机更新完成，更新过程中请勿断开电源。");
    case c_iFWStreamFailed:
        return QCoreApplication::translate("FWUpdateResultText", "与打印机通信失败，请检查打印机状态并重新尝试更新！");
    case USB_NO_DEVICE:
    case USB_NO_INTERFACE:
    case USB_OPEN_FAILED:
    case USB_CLAIM_FAILED:
        return QCoreApplication::translate("FWUpdateResultText", "连接打印机失败，请检查连接状态！");
    case USB_INIT_FAILED:
        return QCoreApplication::translate("FWUpdateResultText", "设备接口初始化失败！");
    default:
        return QCoreApplication::translate("FWUpdateResultText", "未知错误！");
    }
}
