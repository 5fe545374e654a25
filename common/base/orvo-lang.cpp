#include "orvo-lang.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {
// True when the message locale names the two-letter language code (alone or followed by a
// territory, an encoding or a modifier).
bool LocaleLanguageIs(const char *code)
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = getenv(name);
        if (value && *value)
            return strncmp(value, code, 2) == 0
                   && (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
    }
    return false;
}
}  // namespace

bool LocaleIsChinese()
{
    return LocaleLanguageIs("zh");
}

bool LocaleIsEnglish()
{
    return LocaleLanguageIs("en");
}
