// The language of the programs' texts: they are written in Chinese and translated through
// Qt's translation system (the English catalogue in "translations/" under the install root).
// Call once the application object exists, before the first text is made.
#pragma once

// The windows: under an English locale (LocaleIsEnglish) installs the English catalogue
// into the application and makes English the default locale (pictures with words follow
// it); any other locale keeps the Chinese texts. Returns whether the windows speak English.
bool InstallOrvoTranslation();

// The terminal programs: English unless the locale is Chinese (LocaleIsChinese), or always
// with bForceEnglish; installs the catalogue then. Returns whether they speak English (not
// when the catalogue cannot be loaded: the texts stay Chinese and stderr says why).
bool InstallOrvoTerminalTranslation(bool bForceEnglish = false);

// Whether one of the two switched to English.
bool OrvoUiIsEnglish();
