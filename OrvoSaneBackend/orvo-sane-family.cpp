#include "orvo-sane-family.h"

std::string OrvoModelFromFamily(const std::string &reply)
{
    const size_t open = reply.find("<value>");
    if (open == std::string::npos)
        return {};
    const size_t from = open + 7;
    const size_t close = reply.find("</value>", from);
    if (close == std::string::npos || close == from || close - from > 32)
        return {};
    const std::string model = reply.substr(from, close - from);
    // Front ends show it as it is: letters, digits, blanks and dashes only.
    for (const char c : model)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-'
              || c == '_'))
            return {};
    return model;
}
