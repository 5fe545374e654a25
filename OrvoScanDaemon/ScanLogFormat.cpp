#include "ScanLogFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// One conversion: the directive with '*' already replaced, and its argument taken by
// the type the conversion and its length modifier name.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void AppendConversion(std::string &out, const std::string &flags, const std::string &length, char conv, va_list &ap)
{
    char buf[128];
    int n = 0;
    switch (conv) {
    case 'd':
    case 'i': {
        long long v;
        if (length == "ll" || length == "j")
            v = va_arg(ap, long long);
        else if (length == "l" || length == "z" || length == "t")
            v = va_arg(ap, long);
        else
            v = va_arg(ap, int);
        if (length == "hh")
            v = static_cast<signed char>(v);
        else if (length == "h")
            v = static_cast<short>(v);
        n = snprintf(buf, sizeof buf, (flags + "lld").c_str(), v);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        unsigned long long v;
        if (length == "ll" || length == "j")
            v = va_arg(ap, unsigned long long);
        else if (length == "l" || length == "z" || length == "t")
            v = va_arg(ap, unsigned long);
        else
            v = va_arg(ap, unsigned);
        if (length == "hh")
            v = static_cast<unsigned char>(v);
        else if (length == "h")
            v = static_cast<unsigned short>(v);
        n = snprintf(buf, sizeof buf, (flags + "ll" + conv).c_str(), v);
        break;
    }
    case 'c': {
        const char c = char(va_arg(ap, int));
        ScanLogEscape(out, &c, 1);
        return;
    }
    case 'p':
        n = snprintf(buf, sizeof buf, (flags + "p").c_str(), va_arg(ap, void *));
        break;
    case 'f':
    case 'g':
    case 'e':
        n = snprintf(buf, sizeof buf, (flags + conv).c_str(), va_arg(ap, double));
        break;
    case 's': {
        const char *s = va_arg(ap, const char *);
        if (!s)
            s = "(null)";
        const std::string directive = flags + "s";
        const int len = snprintf(nullptr, 0, directive.c_str(), s);
        if (len > 0) {
            std::string text(size_t(len) + 1, '\0');
            snprintf(&text[0], text.size(), directive.c_str(), s);
            ScanLogEscape(out, text.data(), size_t(len));
        }
        return;
    }
    default:
        return;
    }
    if (n > 0)
        out.append(buf, size_t(n) < sizeof buf ? size_t(n) : sizeof buf - 1);
}
#pragma GCC diagnostic pop

}  // namespace

void ScanLogEscape(std::string &out, const char *text, size_t len)
{
    for (size_t i = 0; i < len; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
}

void ScanLogFormat(std::string &out, const char *fmt, va_list ap)
{
    va_list args;
    va_copy(args, ap);
    for (const char *p = fmt; *p;) {
        if (*p != '%') {
            const char *next = strchr(p, '%');
            const size_t n = next ? size_t(next - p) : strlen(p);
            out.append(p, n);
            p += n;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        std::string flags = "%";
        while (*p && strchr("-+ #0", *p))
            flags += *p++;
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (*p != '.')
                    break;
                flags += *p++;
            }
            if (*p == '*') {
                ++p;
                flags += std::to_string(va_arg(args, int));
            } else {
                while (*p >= '0' && *p <= '9')
                    flags += *p++;
            }
        }
        std::string length;
        while (*p && strchr("hlzjt", *p))
            length += *p++;
        if (!*p)
            break;
        AppendConversion(out, flags, length, *p++, args);
    }
    va_end(args);
}
