#include "orvo-lang.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

bool LocaleIsChinese()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = getenv(name);
        if (value && *value)
            return strncmp(value, "zh", 2) == 0 && (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
    }
    return false;
}
