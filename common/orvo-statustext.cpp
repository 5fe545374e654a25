#include "orvo-statustext.h"

// Rows indexed by status value; columns English, Chinese.
const QString c_strStatusLanguageText[c_iStatusTextRows][c_iLanguageCount] = {
    {QStringLiteral("Unknown"), QStringLiteral("未知")},
    {QStringLiteral("Version mismatch"), QStringLiteral("数据格式错误或版本不匹配")},
    {QStringLiteral("Off-line"), QStringLiteral("脱机")},
    {QStringLiteral("Ready"), QStringLiteral("就绪")},
    {QStringLiteral("Initialize"), QStringLiteral("初始化")},
    {QStringLiteral("Busy"), QStringLiteral("忙碌")},
    {QStringLiteral("Canceling job"), QStringLiteral("正在取消任务")},
    {QStringLiteral("Error"), QStringLiteral("错误")},
    {QStringLiteral("Printing"), QStringLiteral("正在打印")},
    {QStringLiteral("Scanning"), QStringLiteral("正在扫描")},
    {QStringLiteral("Copying"), QStringLiteral("正在复印")},
    {QStringLiteral("Reporting"), QStringLiteral("正在打印报告")},
    {QStringLiteral("Cleaning"), QStringLiteral("清洁模式")},
    {QStringLiteral("Alignment"), QStringLiteral("校准模式")},
    {QStringLiteral("ScanBack"), QStringLiteral("打印机任务中")},
    {QStringLiteral("Debug"), QStringLiteral("正在打印Debug报告")},
};

// Rows indexed by error value; the device code that GetErrorStatusEnum maps to each row is noted beside it.
const QString c_strErrorDescText[c_iErrorTextRows][c_iLanguageCount] = {
    {QStringLiteral("Unknown error status"), QStringLiteral("错误状态未知")}, // unknown code
    {QStringLiteral("WiFi module failed to initialize"), QStringLiteral("故障#5200，请断电重启")}, // 0x5200
    {QStringLiteral("Black Print Head Is Damaged."), QStringLiteral("故障#6143，重启或联系客服")}, // 0x6143
    {QStringLiteral("Color Print Head Is Damaged."), QStringLiteral("故障#6144，重启或联系客服")}, // 0x6144
    {QStringLiteral("The Printer Has Reached The End Of Its Life."), QStringLiteral("打印机已达到使用寿命")}, // 0x120A
    {QStringLiteral("Scanner does not detect the origin"), QStringLiteral("故障#7200，请断电重启")}, // 0x7200
    {QStringLiteral("Paper Feed Motor Stops Abnormally"), QStringLiteral("进纸托盘处卡纸，请取出纸张")}, // 0x6210
    {QStringLiteral("The Carriage Motor Stopped Abnormally"), QStringLiteral("进纸托盘处卡纸，请取出纸张")}, // 0x6211
    {QStringLiteral("The memory is full, please restart the printer"), QStringLiteral("内存已满，请重启打印机")}, // 0x6201
    {QStringLiteral("Fatal Error."), QStringLiteral("Fatal Error.")}, // 0x6203
    {QStringLiteral("Update Failed."), QStringLiteral("更新失败")}, // 0x5121
    {QStringLiteral("No Paper At The Input Tray"), QStringLiteral("进纸托盘处无纸,请放入纸张")}, // 0x6100
    {QStringLiteral("The paper size doesn't match"), QStringLiteral("纸张尺寸不匹配，请选择匹配的纸张，按OK键取消任务")}, // 0x6105
    {QStringLiteral("A paper jam occurs at the paper feed tray"), QStringLiteral("进纸托盘处卡纸,请取出纸张")}, // 0x6110
    {QStringLiteral("Paper is not placed correctly, please replay"), QStringLiteral("纸张放置不正确，请重新放置纸张")}, // 0x6112
    {QStringLiteral("Ink Tank Door Is Open"), QStringLiteral("墨水仓门已打开,请关闭")}, // 0x6120
    {QStringLiteral("Please power off and restart, contact customer service"), QStringLiteral("故障#6121，请断电重启")}, // 0x6121
    {QStringLiteral("Please power off and restart, contact customer service"), QStringLiteral("故障#6122，请断电重启")}, // 0x6122
    {QStringLiteral("Black Print Heads Do Not Match."), QStringLiteral("黑色打印头不匹配，请重新安装打印头")}, // 0x6131
    {QStringLiteral("Color Print Heads Do Not Match."), QStringLiteral("彩色打印头不匹配，请重新安装打印头")}, // 0x6132
    {QStringLiteral("NOZZLE overcurrent."), QStringLiteral("故障#6139，重启或联系客服")}, // 0x6139
    {QStringLiteral("ALIGNMENT_ERR"), QStringLiteral("ALIGNMENT_ERR")}, // 0x6140
    {QStringLiteral("ALIGNMENT_SETUP_WARNING"), QStringLiteral("ALIGNMENT_SETUP_WARNING")}, // 0x6145
    {QStringLiteral("MONO PH temp. too high"), QStringLiteral("黑色打印头识别异常，请重新安装打印头")}, // 0x6170
    {QStringLiteral("COLOR PH temp. too high"), QStringLiteral("彩色打印头识别异常，请重新安装打印头")}, // 0x6171
    {QStringLiteral("Black Ink Level is Low."), QStringLiteral("墨水量低")}, // 0x6160
    {QStringLiteral("COLOR_INK_LOW"), QStringLiteral("COLOR_INK_LOW")}, // 0x6161
    {QStringLiteral("BOTH_INK_LOW"), QStringLiteral("BOTH_INK_LOW")}, // 0x6162
    {QStringLiteral("Cyan Ink Level is Low."), QString()}, // 0x6163
    {QStringLiteral("Magenta Ink Level is Low."), QString()}, // 0x6164
    {QStringLiteral("Yellow Ink Level is Low."), QString()}, // 0x6165
    {QStringLiteral("Black Ink is Empty,please operate in printer"), QStringLiteral("黑色墨水已用完，请在打印机上操作")}, // 0x6150
    {QStringLiteral("Color Ink is Empty,please operate in printer"), QStringLiteral("彩色墨水已用完，请在打印机上操作")}, // 0x6151
    {QStringLiteral("Black print head not detected. Please install correctly."), QStringLiteral("未检测到黑色打印头,请重新安装打印头")}, // 0x6152
    {QStringLiteral("Color print head not detected. Please install correctly."), QStringLiteral("未检测到彩色打印头,请重新安装打印头")}, // 0x6153
    {QStringLiteral("Color Ink is Empty,please operate in printer."), QStringLiteral("青色墨水空，请及时更换墨水瓶")}, // 0x6154
    {QStringLiteral("Color Ink is Empty,please operate in printer."), QStringLiteral("品红色墨水空，请及时更换墨水瓶")}, // 0x6155
    {QStringLiteral("Color Ink is Empty,please operate in printer."), QStringLiteral("黄色墨水空，请及时更换墨水瓶")}, // 0x6156
    {QStringLiteral("No Color Ink, Photo Printing Cannot Be Performed"), QStringLiteral("无彩色墨水,照片打印无法执行")}, // 0x6181
    {QStringLiteral("No Color Ink, Photo Copy Cannot Be Performed"), QStringLiteral("无彩色墨水,照片复印无法执行")}, // 0x6182
    {QStringLiteral("Black Ink Has Run Out, Printing Will Continue to Be Composed of Color Ink"), QStringLiteral("黑色墨水已用完,继续打印将由彩色墨水合成")}, // 0x615A
    {QStringLiteral("The Color Ink Has Run Out, and Continue Printing Will Turn to Black Mode"), QStringLiteral("彩色墨水已用完,继续打印将转为黑色模式")}, // 0x615B
    {QString(), QString()}, // 0x6800
    {QStringLiteral("CUPS_RASTER_PRINT"), QStringLiteral("CUPS_RASTER_PRINT")}, // 0x9200
    {QStringLiteral("URF_RASTER_PRINT"), QStringLiteral("URF_RASTER_PRINT")}, // 0x9201
    {QStringLiteral("NET_ERR"), QStringLiteral("故障#5201，请断电重启")}, // 0x5201
};

QString GetStatusText(int status, int language)
{
    if (status < 0 || status >= c_iStatusTextRows)
        status = PS_UNKNOWN;
    if (language < 0 || language >= c_iLanguageCount)
        language = c_iLanguageEnglish;
    return c_strStatusLanguageText[status][language];
}

QString GetErrorDescText(int error, int language)
{
    if (error < 0 || error >= c_iErrorTextRows)
        error = ES_UNKNOWN;
    if (language < 0 || language >= c_iLanguageCount)
        language = c_iLanguageEnglish;
    return c_strErrorDescText[error][language];
}
