// How a printer's state reads to a person: the connection, ink and status texts that the
// tray tool's table and the command-line status view both show.
#pragma once
#include "orvo-records.h"
#include "orvo-statustext.h"
#include <QString>

// The language argument is c_iLanguageChinese (the tray tool's words) or c_iLanguageEnglish:
// the status words come from the tables' English column, the other words from the English
// catalogue, which must be installed (orvo-translate.h).

// The Chinese text zh (marked for the catalogue under context), or its English translation.
QString GetLanguageText(int language, const char *context, const char *zh);

// Level word of one ink value taken as a percentage: 高 中 较低 低, or 无 for 0 and above 100
// (High, Medium, Low, Very low, Empty).
QString GetRemainInkStr(uint32_t value, int language = c_iLanguageChinese);

// "青色：%s   红色：%s   黄色：%s   黑色：%s" with the cyan, red, yellow and black words
// ("Cyan: %s   Red: %s   Yellow: %s   Black: %s").
QString GetInkLineText(const stPrinterState &state, int language = c_iLanguageChinese);

// "USB", or "网络(" + port + ")" ("Network(" + port + ")").
QString GetConnectText(const stPrinterInfo &info, int language = c_iLanguageChinese);

// The first error's text; otherwise the status text, followed by "(" + first warning + ")"
// while printing.
QString GetStatusCellText(const stPrinterState &state, int language);
