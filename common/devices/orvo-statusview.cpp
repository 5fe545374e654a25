#include "orvo-statusview.h"

#include <QCoreApplication>

QString GetLanguageText(int language, const char *context, const char *zh)
{
    return language == c_iLanguageChinese ? QString::fromUtf8(zh) : QCoreApplication::translate(context, zh);
}

QString GetRemainInkStr(uint32_t value, int language)
{
    if (value >= 70 && value <= 100)
        return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "高"));
    if (value >= 40 && value <= 69)
        return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "中"));
    if (value >= 16 && value <= 39)
        return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "较低"));
    if (value >= 1 && value <= 15)
        return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "低"));
    return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "无"));
}

QString GetInkLineText(const stPrinterState &state, int language)
{
    return GetLanguageText(language, "InkLine", QT_TRANSLATE_NOOP("InkLine", "青色：%1   红色：%2   黄色：%3   黑色：%4"))
        .arg(GetRemainInkStr(uint32_t(state.dwBlueInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwRedInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwYellowInkRemainer), language),
             GetRemainInkStr(uint32_t(state.dwBlackInkRemainer), language));
}

QString GetConnectText(const stPrinterInfo &info, int language)
{
    if (info.iConnectType == CONNECT_USB)
        return "USB";
    return GetLanguageText(language, "PrinterConnection", QT_TRANSLATE_NOOP("PrinterConnection", "网络")) + "(" + info.strPort + ")";
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
