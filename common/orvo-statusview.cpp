#include "orvo-statusview.h"

namespace {
QString Word(int language, const char *zh, const char *en)
{
    return QString::fromUtf8(language == c_iLanguageChinese ? zh : en);
}
} // namespace

QString GetRemainInkStr(uint32_t value, int language)
{
    if (value >= 70 && value <= 100)
        return Word(language, "高", "High");
    if (value >= 40 && value <= 69)
        return Word(language, "中", "Medium");
    if (value >= 16 && value <= 39)
        return Word(language, "较低", "Fairly low");
    if (value >= 1 && value <= 15)
        return Word(language, "低", "Low");
    return Word(language, "无", "None");
}

QString GetInkLineText(const stPrinterState &state, int language)
{
    return Word(language, "青色：%1   红色：%2   黄色：%3   黑色：%4", "Cyan: %1   Red: %2   Yellow: %3   Black: %4")
        .arg(GetRemainInkStr(uint32_t(state.dwBlueInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwRedInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwYellowInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwBlackInkRemainer), language));
}

QString GetConnectText(const stPrinterInfo &info, int language)
{
    if (info.iConnectType == CONNECT_USB)
        return "USB";
    return Word(language, "网络", "Network") + "(" + info.strPort + ")";
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
