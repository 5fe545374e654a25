#include "orvo-statusview.h"
#include "orvo-statustext.h"

QString GetRemainInkStr(uint32_t value)
{
    if (value >= 70 && value <= 100)
        return QString::fromUtf8("高");
    if (value >= 40 && value <= 69)
        return QString::fromUtf8("中");
    if (value >= 16 && value <= 39)
        return QString::fromUtf8("较低");
    if (value >= 1 && value <= 15)
        return QString::fromUtf8("低");
    return QString::fromUtf8("无");
}

QString GetInkLineText(const stPrinterState &state)
{
    return QString::fromUtf8("青色：%1   红色：%2   黄色：%3   黑色：%4")
        .arg(GetRemainInkStr(uint32_t(state.dwBlueInkRemainer)), GetRemainInkStr(uint32_t(state.dwRedInkRemainer)),
             GetRemainInkStr(uint32_t(state.dwYellowInkRemainer)), GetRemainInkStr(uint32_t(state.dwBlackInkRemainer)));
}

QString GetConnectText(const stPrinterInfo &info)
{
    if (info.iConnectType == CONNECT_USB)
        return "USB";
    return QString::fromUtf8("网络") + "(" + info.strPort + ")";
}

QString GetStatusCellText(const stPrinterState &state, int language)
{
    if (!state.listError.isEmpty())
        return GetErrorDescText(state.listError.first(), language);
    QString text = GetStatusText(state.enCurrentStatus, language);
    if (!state.listWarning.isEmpty() && state.enCurrentStatus == PS_PRINTING)
        text += "(" + GetErrorDescText(state.listWarning.first(), language) + ")";
    return text;
}
