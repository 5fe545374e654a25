#include "orvo-printerlist-plain.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const char *const c_strPrinterListPath = ORVO_INSTALL_ROOT "/cfg/printerlist.ini";
const size_t c_maxListBytes = 4 * 1024 * 1024;
const int c_maxPrinters = 1024;

std::string Trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Group and key names: QSettings writes bytes outside plain ASCII as %XX.
std::string UnescapeKey(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += char(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Values: optional double quotes, backslash escapes, "@@" for a leading "@".
std::string UnescapeValue(const std::string &raw)
{
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char n = raw[++i];
            switch (n) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            case 'x': {
                int v = 0, digits = 0;
                while (i + 1 < raw.size() && digits < 4 && HexDigit(raw[i + 1]) >= 0) {
                    v = v * 16 + HexDigit(raw[++i]);
                    ++digits;
                }
                out += v < 0x80 ? char(v) : '?';
                break;
            }
            default:
                out += n;
                break;
            }
        } else if (c == ';' && !quoted) {
            break;
        } else {
            out += c;
        }
    }
    if (out.compare(0, 2, "@@") == 0)
        out.erase(0, 1);
    return Trim(out);
}

int ToInt(const std::string &s)
{
    char *end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || v < -100000 || v > 100000)
        return 0;
    return int(v);
}

}  // namespace

std::vector<stPlainPrinter> ParsePrinterListPlain(const std::string &text)
{
    std::map<std::string, std::map<std::string, std::string>> groups;
    std::istringstream in(text);
    std::string line, group = "General";
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            group = UnescapeKey(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        groups[group][UnescapeKey(Trim(line.substr(0, eq)))] = UnescapeValue(Trim(line.substr(eq + 1)));
    }

    // The groups printer_0 ... printer_(Count - 1) the text holds, in index order; a
    // missing one is skipped.
    const int count = ToInt(groups["Main"]["Count"]);
    std::vector<int> present;
    for (const auto &g : groups) {
        if (g.first.compare(0, 8, "printer_") != 0)
            continue;
        const int index = ToInt(g.first.substr(8));
        if (index >= 0 && index < count && g.first == "printer_" + std::to_string(index))
            present.push_back(index);
    }
    std::sort(present.begin(), present.end());
    if (present.size() > size_t(c_maxPrinters))
        present.resize(size_t(c_maxPrinters));
    std::vector<stPlainPrinter> list;
    for (const int i : present) {
        auto &keys = groups["printer_" + std::to_string(i)];
        stPlainPrinter p;
        p.strName = keys["Name"];
        p.strModel = keys["Model"];
        p.iConnectType = ToInt(keys["ConnectType"]);
        p.strPort = keys["Port"];
        list.push_back(p);
    }
    return list;
}

std::vector<stPlainPrinter> ReadPrinterListPlain()
{
    std::ifstream f(c_strPrinterListPath, std::ios::binary);
    if (!f)
        return {};
    std::string text;
    char buf[8192];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
        text.append(buf, size_t(f.gcount()));
        if (text.size() > c_maxListBytes)
            return {};
    }
    return ParsePrinterListPlain(text);
}
