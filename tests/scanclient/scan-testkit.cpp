#include "scan-testkit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

std::atomic<int> g_iScanFailures{0};

namespace {
std::string g_strSimSocket;
}

void SimSetSocket(const std::string &path)
{
    g_strSimSocket = path;
}

bool SimCtl(const std::string &cmd, std::string *data)
{
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    snprintf(sa.sun_path, sizeof sa.sun_path, "%s", g_strSimSocket.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    const std::string line = cmd + "\n";
    const bool sent = write(fd, line.data(), line.size()) == ssize_t(line.size());
    shutdown(fd, SHUT_WR);
    std::string reply;
    char buf[65536];
    for (ssize_t n; sent && (n = read(fd, buf, sizeof buf)) > 0;)
        reply.append(buf, size_t(n));
    close(fd);
    const bool ok = reply.size() >= 3 && reply.compare(reply.size() - 3, 3, "OK\n") == 0
                    && (reply.size() == 3 || reply[reply.size() - 4] == '\n');
    if (!ok)
        fprintf(stderr, "simulator: '%s' -> %s", cmd.c_str(), reply.c_str());
    if (data)
        *data = ok ? reply.substr(0, reply.size() - 3) : "";
    return ok;
}

std::string SimGet(const std::string &cmd)
{
    std::string data;
    SimCtl(cmd, &data);
    while (!data.empty() && data.back() == '\n')
        data.pop_back();
    return data;
}

bool WaitUntil(const std::function<bool()> &cond, int limitMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool ReadFile(const std::string &path, std::vector<unsigned char> &out)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

bool FileExists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string FileDiff(const std::string &path, const std::vector<unsigned char> &want)
{
    std::vector<unsigned char> got;
    if (!ReadFile(path, got))
        return FileExists(path) ? "cannot be read" : "missing";
    const size_t n = std::min(got.size(), want.size());
    const size_t at = size_t(std::mismatch(got.begin(), got.begin() + ptrdiff_t(n), want.begin()).first - got.begin());
    if (at == n && got.size() == want.size())
        return "";
    char text[160];
    if (at < n)
        snprintf(text, sizeof text, "%zu bytes (expected %zu), first difference at offset %zu: 0x%02x, expected 0x%02x",
                 got.size(), want.size(), at, got[at], want[at]);
    else
        snprintf(text, sizeof text, "%zu bytes (expected %zu), equal up to offset %zu", got.size(), want.size(), n);
    return text;
}

std::string ReadText(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

int CountLines(const std::string &path, const std::string &text)
{
    return CountLinesIn(ReadText(path), text);
}

int CountLinesIn(const std::string &content, const std::string &text)
{
    std::istringstream in(content);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            ++n;
    return n;
}

std::vector<unsigned char> FromHexText(const std::string &hex)
{
    std::vector<unsigned char> out;
    int hi = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<unsigned char>(hi << 4 | v));
            hi = -1;
        }
    }
    return out;
}
