#include "orvo-sane-conf.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

const size_t c_maxConfBytes = 256 * 1024;

std::vector<std::string> ConfDirs()
{
    // SANE_CONFIG_DIR as the other backends read it: a trailing ':' keeps the default.
    std::vector<std::string> dirs;
    const char *env = std::getenv("SANE_CONFIG_DIR");
    std::string list = env ? env : "";
    bool appendDefault = list.empty() || list.back() == ':';
    std::istringstream in(list);
    std::string dir;
    while (std::getline(in, dir, ':'))
        if (!dir.empty())
            dirs.push_back(dir);
    if (appendDefault)
        dirs.push_back("/etc/sane.d");
    return dirs;
}

}  // namespace

bool IsIPv4Text(const std::string &text)
{
    in_addr addr{};
    return text.size() <= 15 && inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

stOrvoSaneConf ParseOrvoSaneConf(const std::string &text, std::vector<std::string> &listWarning)
{
    stOrvoSaneConf conf;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string key, value, extra;
        if (!(words >> key))
            continue;
        words >> value;
        const bool hasExtra = bool(words >> extra);
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (value.empty() || hasExtra) {
            listWarning.push_back(where + "expected \"" + key + " VALUE\"");
        } else if (key == "net") {
            if (IsIPv4Text(value))
                conf.listNetAddress.push_back(value);
            else
                listWarning.push_back(where + "\"" + value + "\" is not an IPv4 address");
        } else if (key == "printerlist") {
            if (value == "yes" || value == "no")
                conf.bPrinterList = value == "yes";
            else
                listWarning.push_back(where + "printerlist takes yes or no");
        } else if (key == "timeout") {
            char *end = nullptr;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (*end == '\0' && v >= 1 && v <= 3600)
                conf.iTimeoutSec = int(v);
            else
                listWarning.push_back(where + "timeout takes 1 to 3600 seconds");
        } else {
            listWarning.push_back(where + "unknown setting \"" + key + "\"");
        }
    }
    return conf;
}

stOrvoSaneConf ReadOrvoSaneConf(std::vector<std::string> &listWarning)
{
    for (const std::string &dir : ConfDirs()) {
        std::ifstream f(dir + "/orvo.conf", std::ios::binary);
        if (!f)
            continue;
        std::string text;
        char buf[4096];
        while ((f.read(buf, sizeof buf) || f.gcount() > 0) && text.size() <= c_maxConfBytes)
            text.append(buf, size_t(f.gcount()));
        return ParseOrvoSaneConf(text, listWarning);
    }
    return stOrvoSaneConf();
}
