#include "orvo-statustext.h"

// Rows indexed by status value; columns English, Chinese.
const QString c_strStatusLanguageText[c_iStatusTextRows][c_iLanguageCount] = {
    {QStringLiteral("Unknown"), QStringLiteral("未知")},
    {QStringLiteral("Data format or version mismatch"), QStringLiteral("数据格式错误或版本不匹配")},
    {QStringLiteral("Off-line"), QStringLiteral("脱机")},
    {QStringLiteral("Ready"), QStringLiteral("就绪")},
    {QStringLiteral("Initializing"), QStringLiteral("初始化")},
    {QStringLiteral("Busy"), QStringLiteral("忙碌")},
    {QStringLiteral("Canceling job"), QStringLiteral("正在取消任务")},
    {QStringLiteral("Error"), QStringLiteral("错误")},
    {QStringLiteral("Printing"), QStringLiteral("正在打印")},
    {QStringLiteral("Scanning"), QStringLiteral("正在扫描")},
    {QStringLiteral("Copying"), QStringLiteral("正在复印")},
    {QStringLiteral("Printing a report"), QStringLiteral("正在打印报告")},
    {QStringLiteral("Cleaning"), QStringLiteral("清洁模式")},
    {QStringLiteral("Aligning"), QStringLiteral("校准模式")},
    {QStringLiteral("Busy with a task"), QStringLiteral("打印机任务中")},
    {QStringLiteral("Printing a debug report"), QStringLiteral("正在打印Debug报告")},
};

// Rows indexed by error value; the device code that GetErrorStatusEnum maps to each row is noted beside it.
// The English column tells the user what the Chinese one does, naming the fault beside its number.
const QString c_strErrorDescText[c_iErrorTextRows][c_iLanguageCount] = {
    {QStringLiteral("Unknown error status"), QStringLiteral("错误状态未知")},  // unknown code
    {QStringLiteral("Wi-Fi module failed to start (fault #5200); please switch the printer off and on again"), QStringLiteral("故障#5200，请断电重启")},  // 0x5200
    {QStringLiteral("Black print head damaged (fault #6143); restart the printer or contact customer service"), QStringLiteral("故障#6143，重启或联系客服")},  // 0x6143
    {QStringLiteral("Color print head damaged (fault #6144); restart the printer or contact customer service"), QStringLiteral("故障#6144，重启或联系客服")},  // 0x6144
    {QStringLiteral("The printer has reached the end of its service life"), QStringLiteral("打印机已达到使用寿命")},  // 0x120A
    {QStringLiteral("Scanner cannot find its home position (fault #7200); please switch the printer off and on again"), QStringLiteral("故障#7200，请断电重启")},  // 0x7200
    {QStringLiteral("Paper jam at the input tray; please remove the paper"), QStringLiteral("进纸托盘处卡纸，请取出纸张")},  // 0x6210
    {QStringLiteral("Paper jam at the input tray; please remove the paper"), QStringLiteral("进纸托盘处卡纸，请取出纸张")},  // 0x6211
    {QStringLiteral("Memory is full; please restart the printer"), QStringLiteral("内存已满，请重启打印机")},  // 0x6201
    {QStringLiteral("Fatal error"), QStringLiteral("Fatal Error.")},  // 0x6203
    {QStringLiteral("Update failed"), QStringLiteral("更新失败")},  // 0x5121
    {QStringLiteral("No paper in the input tray; please load paper"), QStringLiteral("进纸托盘处无纸,请放入纸张")},  // 0x6100
    {QStringLiteral("Paper size does not match; load matching paper, or press OK to cancel the job"), QStringLiteral("纸张尺寸不匹配，请选择匹配的纸张，按OK键取消任务")},  // 0x6105
    {QStringLiteral("Paper jam at the input tray; please remove the paper"), QStringLiteral("进纸托盘处卡纸,请取出纸张")},  // 0x6110
    {QStringLiteral("Paper is not loaded correctly; please load it again"), QStringLiteral("纸张放置不正确，请重新放置纸张")},  // 0x6112
    {QStringLiteral("Ink tank door is open; please close it"), QStringLiteral("墨水仓门已打开,请关闭")},  // 0x6120
    {QStringLiteral("Fault #6121; please switch the printer off and on again"), QStringLiteral("故障#6121，请断电重启")},  // 0x6121
    {QStringLiteral("Fault #6122; please switch the printer off and on again"), QStringLiteral("故障#6122，请断电重启")},  // 0x6122
    {QStringLiteral("Black print head does not match; please reinstall the print head"), QStringLiteral("黑色打印头不匹配，请重新安装打印头")},  // 0x6131
    {QStringLiteral("Color print head does not match; please reinstall the print head"), QStringLiteral("彩色打印头不匹配，请重新安装打印头")},  // 0x6132
    {QStringLiteral("Nozzle overcurrent (fault #6139); restart the printer or contact customer service"), QStringLiteral("故障#6139，重启或联系客服")},  // 0x6139
    {QStringLiteral("Alignment error"), QStringLiteral("ALIGNMENT_ERR")},  // 0x6140
    {QStringLiteral("Alignment setup warning"), QStringLiteral("ALIGNMENT_SETUP_WARNING")},  // 0x6145
    {QStringLiteral("Black print head not recognized; please reinstall the print head"), QStringLiteral("黑色打印头识别异常，请重新安装打印头")},  // 0x6170
    {QStringLiteral("Color print head not recognized; please reinstall the print head"), QStringLiteral("彩色打印头识别异常，请重新安装打印头")},  // 0x6171
    {QStringLiteral("Black ink is low"), QStringLiteral("墨水量低")},  // 0x6160
    {QStringLiteral("Color ink is low"), QStringLiteral("COLOR_INK_LOW")},  // 0x6161
    {QStringLiteral("Black and color ink are low"), QStringLiteral("BOTH_INK_LOW")},  // 0x6162
    {QStringLiteral("Cyan ink is low"), QString()},  // 0x6163
    {QStringLiteral("Magenta ink is low"), QString()},  // 0x6164
    {QStringLiteral("Yellow ink is low"), QString()},  // 0x6165
    {QStringLiteral("Black ink is used up; please follow the steps on the printer"), QStringLiteral("黑色墨水已用完，请在打印机上操作")},  // 0x6150
    {QStringLiteral("Color ink is used up; please follow the steps on the printer"), QStringLiteral("彩色墨水已用完，请在打印机上操作")},  // 0x6151
    {QStringLiteral("Black print head not detected; please reinstall the print head"), QStringLiteral("未检测到黑色打印头,请重新安装打印头")},  // 0x6152
    {QStringLiteral("Color print head not detected; please reinstall the print head"), QStringLiteral("未检测到彩色打印头,请重新安装打印头")},  // 0x6153
    {QStringLiteral("Cyan ink is empty; please replace the ink bottle"), QStringLiteral("青色墨水空，请及时更换墨水瓶")},  // 0x6154
    {QStringLiteral("Magenta ink is empty; please replace the ink bottle"), QStringLiteral("品红色墨水空，请及时更换墨水瓶")},  // 0x6155
    {QStringLiteral("Yellow ink is empty; please replace the ink bottle"), QStringLiteral("黄色墨水空，请及时更换墨水瓶")},  // 0x6156
    {QStringLiteral("No color ink; photos cannot be printed"), QStringLiteral("无彩色墨水,照片打印无法执行")},  // 0x6181
    {QStringLiteral("No color ink; photos cannot be copied"), QStringLiteral("无彩色墨水,照片复印无法执行")},  // 0x6182
    {QStringLiteral("Black ink has run out; printing continues with black mixed from the color inks"), QStringLiteral("黑色墨水已用完,继续打印将由彩色墨水合成")},  // 0x615A
    {QStringLiteral("Color ink has run out; printing continues in black only"), QStringLiteral("彩色墨水已用完,继续打印将转为黑色模式")},  // 0x615B
    {QString(), QString()},  // 0x6800
    {QStringLiteral("CUPS_RASTER_PRINT"), QStringLiteral("CUPS_RASTER_PRINT")},  // 0x9200
    {QStringLiteral("URF_RASTER_PRINT"), QStringLiteral("URF_RASTER_PRINT")},  // 0x9201
    {QStringLiteral("Network error (fault #5201); please switch the printer off and on again"), QStringLiteral("故障#5201，请断电重启")},  // 0x5201
};

namespace {
// A language index outside the tables reads as English.
int TextColumn(int language)
{
    return language < 0 || language >= c_iLanguageCount ? c_iLanguageEnglish : language;
}
}  // namespace

QString GetStatusText(int status, int language)
{
    if (status < 0 || status >= c_iStatusTextRows)
        status = PS_UNKNOWN;
    return c_strStatusLanguageText[status][TextColumn(language)];
}

QString GetErrorDescText(int error, int language)
{
    if (error < 0 || error >= c_iErrorTextRows)
        error = ES_UNKNOWN;
    return c_strErrorDescText[error][TextColumn(language)];
}
