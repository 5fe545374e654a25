#include "orvo-maint.h"

#include "UtilLibusb.h"
#include "orvo-models.h"
#include "orvo-udp.h"

#include <QCoreApplication>

#include <vector>

QString MaintText(enMaintMessage id)
{
    static const char *const texts[] = {
        "",
        QT_TRANSLATE_NOOP("MaintText", "请选择一个打印机进行操作！"),
        QT_TRANSLATE_NOOP("MaintText", "请选择通过USB连接的打印机进行操作！"),
        QT_TRANSLATE_NOOP("MaintText", "不支持该打印机型号！"),
        QT_TRANSLATE_NOOP("MaintText", "设备接口初始化失败！"),
        QT_TRANSLATE_NOOP("MaintText", "连接打印机失败，请检查连接状态！"),
        QT_TRANSLATE_NOOP("MaintText", "与打印机通信失败，请检查打印机状态并重新尝试！"),
        QT_TRANSLATE_NOOP("MaintText", "获取数据失败，请稍后重试！"),
        QT_TRANSLATE_NOOP("MaintText", "未知错误！"),
        QT_TRANSLATE_NOOP("MaintText", "不正确的地址格式！"),
        QT_TRANSLATE_NOOP("MaintText", "设置成功，请等待打印机完成重连！"),
        QT_TRANSLATE_NOOP("MaintText", "清洁前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸"),
        QT_TRANSLATE_NOOP("MaintText", "清洁任务已发送，请查看打印机，在清洁完成前，请勿执行其他动作。"),
        QT_TRANSLATE_NOOP("MaintText", "校准前请确认打印机电源已打开并与计算机已连接，在纸盒放入A4或Letter尺寸的普通纸"),
        QT_TRANSLATE_NOOP("MaintText", "校准任务已发送，请查看打印机，在校准完成前，请勿执行其他动作。"),
        QT_TRANSLATE_NOOP("MaintText", "已完成校准。"),
    };
    static_assert(sizeof texts / sizeof texts[0] == MM_ALIGN_DONE + 1, "one text per message");
    return QCoreApplication::translate("MaintText", texts[id]);
}

enMaintMessage UsbResultMessage(int result, bool bReplyNeeded)
{
    switch (result) {
    case USB_OK:
        return MM_NONE;
    case USB_INIT_FAILED:
        return MM_INIT_FAILED;
    case USB_NO_DEVICE:
    case USB_NO_INTERFACE:
    case USB_OPEN_FAILED:
    case USB_CLAIM_FAILED:
        return MM_CONNECT_FAILED;
    case USB_WRITE_FAILED:
        return MM_COMM_FAILED;
    case USB_READ_FAILED:  // nothing read back: only a command waiting for its answer fails
        return bReplyNeeded ? MM_COMM_FAILED : MM_NONE;
    default:
        return MM_UNKNOWN_ERROR;
    }
}

enMaintMessage MaintExchange(const stPrinterInfo &info, const unsigned char *send, int sendLen, unsigned char *recv,
                             int recvCap, int &recvSize, bool bReplyNeeded, stUsbFailure *pFailure)
{
    recvSize = 0;
    // The transports take writable buffers; the command stays the caller's.
    std::vector<unsigned char> command(send, send + sendLen);
    if (info.iConnectType == CONNECT_USB) {
        int vid = 0, pid = 0;
        if (!GetPrinterVidPid(info.strPort, vid, pid))
            return MM_UNSUPPORTED_MODEL;
        return UsbResultMessage(
            USBSendRecvData(vid, pid, info.strPort, command.data(), sendLen, recv, recvCap, recvSize, pFailure),
            bReplyNeeded);
    }
    return UDPSendRecvData(info.strPort, command.data(), sendLen, recv, recvCap, recvSize) == 0 ? MM_NONE
                                                                                                : MM_CONNECT_FAILED;
}
