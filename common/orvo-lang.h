// The language of the terminal programs' messages.
#pragma once

// True when the locale's language is Chinese (zh_*), taken as the C library takes the
// message locale: LC_ALL, else LC_MESSAGES, else LANG, the first one set and not empty.
// C, POSIX, C.UTF-8, any other language and no locale at all mean English: such terminals
// (a fresh server, cron, an ssh session) often cannot show Chinese.
bool LocaleIsChinese();
