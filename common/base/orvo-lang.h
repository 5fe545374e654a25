// The language of the programs' messages, taken from the locale at start.
#pragma once

// Both read the message locale as the C library takes it: LC_ALL, else LC_MESSAGES, else
// LANG, the first one set and not empty.

// True when its language is Chinese (zh_*). The terminal programs speak English otherwise:
// C, POSIX, C.UTF-8 and no locale at all included, since such terminals (a fresh server,
// cron, an ssh session) often cannot show Chinese.
bool LocaleIsChinese();

// True when its language is English (en_*). The windows speak English then and Chinese
// otherwise, so that a Chinese or unset desktop looks as it always has.
bool LocaleIsEnglish();
