// Words for a printer's status value and for its error and warning values, in English and Chinese.
#pragma once
#include "orvo-records.h"
#include <QString>

constexpr int c_iLanguageEnglish = 0;
constexpr int c_iLanguageChinese = 1;
constexpr int c_iLanguageCount = 2;
constexpr int c_iStatusTextRows = PS_DEBUG + 1;
constexpr int c_iErrorTextRows = ES_LAST + 1;

// [enPrinterStatus value][language]
extern const QString c_strStatusLanguageText[c_iStatusTextRows][c_iLanguageCount];
// [enErrorStatus value][language]
extern const QString c_strErrorDescText[c_iErrorTextRows][c_iLanguageCount];

// A value outside its table reads as row 0 (unknown); a language outside 0..1 reads as English.
QString GetStatusText(int status, int language);
QString GetErrorDescText(int error, int language);
