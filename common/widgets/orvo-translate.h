// The language of the windows: their texts are written in Chinese and translated through
// Qt's translation system ("translations/" under the install root).
#pragma once

// Under an English locale (LocaleIsEnglish) installs the English catalogue into the
// application and makes English the default locale (pictures with words follow it);
// any other locale keeps the Chinese texts. Call once the application object exists,
// before the first window is made. Returns whether the windows speak English.
bool InstallOrvoTranslation();

// Whether InstallOrvoTranslation switched to English.
bool OrvoUiIsEnglish();
