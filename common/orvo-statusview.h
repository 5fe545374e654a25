// How a printer's state reads to a person: the connection, ink and status texts that the
// tray tool's table and the command-line status view both show.
#pragma once
#include "orvo-records.h"
#include <QString>

// Level word of one ink value taken as a percentage: 高 中 较低 低, or 无 for 0 and above 100.
QString GetRemainInkStr(uint32_t value);

// "青色：%s   红色：%s   黄色：%s   黑色：%s" with the cyan, red, yellow and black words.
QString GetInkLineText(const stPrinterState &state);

// "USB", or "网络(" + port + ")".
QString GetConnectText(const stPrinterInfo &info);

// The first error's text; otherwise the status text, followed by "(" + first warning + ")"
// while printing.
QString GetStatusCellText(const stPrinterState &state, int language);
