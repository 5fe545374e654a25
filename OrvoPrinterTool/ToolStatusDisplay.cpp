#include "ToolStatusDisplay.h"
#include "orvo-statustext.h"

QString GetRemainInkStr(uint32_t value)
{
    if (value >= 70 && value <= 100)
        return QStringLiteral("高");
    if (value >= 40 && value <= 69)
        return QStringLiteral("中");
    if (value >= 16 && value <= 39)
        return QStringLiteral("较低");
    if (value >= 1 && value <= 15)
        return QStringLiteral("低");
    return QStringLiteral("无");
}

QString GetInkLine(const stPrinterState &state)
{
    return QStringLiteral("青色：%1   红色：%2   黄色：%3   黑色：%4")
        .arg(GetRemainInkStr(uint32_t(state.dwBlueInkRemainer)),
             GetRemainInkStr(uint32_t(state.dwRedInkRemainer)),
             GetRemainInkStr(uint32_t(state.dwYellowInkRemainer)),
             GetRemainInkStr(uint32_t(state.dwBlackInkRemainer)));
}

QString GetConnectText(const stPrinterInfo &info)
{
    if (info.iConnectType == CONNECT_USB)
        return QStringLiteral("USB");
    return QStringLiteral("网络(") + info.strPort + ")";
}

stStatusCell GetStatusCell(const stPrinterState &state, int language)
{
    stStatusCell cell;
    if (!state.listError.isEmpty()) {
        cell.strText = GetErrorDescText(state.listError.first(), language);
        cell.bBalloon = true;
        cell.enIcon = QSystemTrayIcon::Critical;
        cell.strBalloonText = cell.strText;
        return cell;
    }
    cell.strText = GetStatusText(state.enCurrentStatus, language);
    if (!state.listWarning.isEmpty()) {
        const QString warning = GetErrorDescText(state.listWarning.first(), language);
        cell.bBalloon = true;
        cell.enIcon = QSystemTrayIcon::Warning;
        cell.strBalloonText = warning;
        if (state.enCurrentStatus == PS_PRINTING)
            cell.strText += "(" + warning + ")";
    }
    return cell;
}
