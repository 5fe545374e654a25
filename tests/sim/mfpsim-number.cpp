#include "mfpsim-number.h"

#include <cerrno>
#include <cstdlib>

bool ParseNumber(const std::string &s, unsigned long &v)
{
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char *digits = s.c_str() + (hex ? 2 : 0);
    if (*digits == '\0' || *digits == '-' || *digits == '+')
        return false;
    char *end = nullptr;
    errno = 0;
    v = strtoul(digits, &end, hex ? 16 : 10);
    return end && *end == '\0' && errno == 0;
}

bool ParseNumberList(const std::string &s, unsigned long max, std::vector<unsigned long> &out)
{
    out.clear();
    size_t pos = 0;
    while (pos < s.size()) {
        size_t comma = s.find(',', pos);
        if (comma == std::string::npos)
            comma = s.size();
        unsigned long v = 0;
        if (!ParseNumber(s.substr(pos, comma - pos), v) || v > max)
            return false;
        out.push_back(v);
        pos = comma + 1;
    }
    return true;
}
