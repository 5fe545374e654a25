#include "mfpsim-netscan.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "mfpsim-jpeg.h"
#include "mfpsim-scanpattern.h"

namespace {

struct stNetScanSettings {
    int iDepth = 24;
    unsigned uWidth = 0;
    unsigned uHeight = 0;
    bool bJpeg = false;
    int iQuality = 70;
    bool bFeeder = false;
};

struct stNetScanSim {
    std::string strId;
    std::string strModel;
    std::string strAddr;
    int iListen[3] = {-1, -1, -1};  // attribute, HTTP, data
    std::thread thread[3];

    // Everything below is guarded by g_netScanLock.
    int iResult = 0;
    bool bResultLine = true;
    int iPages = 2;
    int iBlock = 65536;
    std::string strAdf = "2";
    std::vector<std::string> listCaps{"DUPLEX=false", "COLOR=COLOR", "MINRES=75", "MAXRES=1200",
                                      "WIDTH_FORMAT=1", "FAMILY=40", "PERMPROFILES=true", "PROFILE=ENABLED",
                                      "MAX_WIDTH=2550", "MAX_HEIGHT=4200", "BASIC_RESOLUTION=300"};
    std::deque<Bytes> queueHttpReply, queueOslReply, queueDataReply;
    int iHoldAfter = -1;
    int iCancelAfter = -1;
    bool bSilent = false;
    bool bDataOn = true;

    std::vector<Bytes> listHttpRequests, listOslRequests;
    int iPosts = 0, iAborts = 0, iDataConns = 0, iBlocks = 0;
    bool bHeld = false, bRelease = false, bAbort = false, bStreaming = false;
    bool bPending = false;
    stNetScanSettings pending;
    std::vector<Bytes> listSentPages;
};

std::mutex g_netScanLock;
std::condition_variable g_netScanWake;
std::atomic<bool> g_bNetScanQuit{false};
std::map<std::string, std::unique_ptr<stNetScanSim>> g_netScans;
std::set<int> g_setActiveFds;  // connections in service, shut down on quit

const int c_iPorts[3] = {c_iNetScanOslPort, c_iNetScanHttpPort, c_iNetScanDataPort};

bool SendAll(int fd, const void *p, size_t n)
{
    const char *c = static_cast<const char *>(p);
    while (n) {
        const ssize_t w = send(fd, c, n, MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        c += w;
        n -= size_t(w);
    }
    return true;
}

bool SendText(int fd, const std::string &s)
{
    return SendAll(fd, s.data(), s.size());
}

bool RecvAll(int fd, void *p, size_t n)
{
    char *c = static_cast<char *>(p);
    while (n) {
        const ssize_t r = recv(fd, c, n, 0);
        if (r <= 0)
            return false;
        c += r;
        n -= size_t(r);
    }
    return true;
}

// Waits until the peer closes its end (a silent device, or after an abort).
void WaitPeerClose(int fd)
{
    char buf[4096];
    while (recv(fd, buf, sizeof buf, 0) > 0) {
    }
}

// Bytes the client sent together with what was read, e.g. text after a GET's empty line.
void DrainAvailable(int fd, Bytes &into)
{
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    while (poll(&p, 1, 20) == 1 && (p.revents & POLLIN)) {
        const ssize_t r = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (r <= 0)
            break;
        into.insert(into.end(), buf, buf + r);
    }
}

int OpenListener(const std::string &addr, int port, std::string &err)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, addr.c_str(), &sa.sin_addr) != 1 || addr.rfind("127.", 0) != 0) {
        err = "not a loopback address: " + addr;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    if (fd >= 0)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(fd, 8) != 0) {
        err = "cannot listen on " + addr + ":" + std::to_string(port) + ": " + strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

std::string HttpReply(const std::string &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

std::map<std::string, std::string> ParseForm(const std::string &body)
{
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t amp = body.find('&', pos);
        if (amp == std::string::npos)
            amp = body.size();
        const std::string item = body.substr(pos, amp - pos);
        const size_t eq = item.find('=');
        if (eq != std::string::npos)
            out[item.substr(0, eq)] = item.substr(eq + 1);
        else if (!item.empty())
            out[item] = "";
        pos = amp + 1;
    }
    return out;
}

unsigned ToUnsigned(const std::string &s)
{
    return unsigned(strtoul(s.c_str(), nullptr, 10));
}

constexpr size_t c_llMaxSimPage = 600u << 20;

// Scan post: an abort, or a scan whose data the next connection on port 2080 receives.
std::string OnScanPost(stNetScanSim &s, const std::string &body)
{
    const auto form = ParseForm(body);
    std::lock_guard<std::mutex> lock(g_netScanLock);
    const auto type = form.find("SCANTYPE");
    if (type != form.end() && type->second == "4") {
        ++s.iAborts;
        s.bAbort = s.bStreaming;
        s.bPending = false;
        g_netScanWake.notify_all();
        return HttpReply("RESULT=0\r\n");
    }
    ++s.iPosts;
    if (s.bResultLine && s.iResult == 0) {
        stNetScanSettings st;
        const auto get = [&](const char *k) {
            const auto it = form.find(k);
            return it == form.end() ? std::string() : it->second;
        };
        st.iDepth = get("DEPTH") == "other" ? 1 : get("DEPTH") == "8" ? 8
                                                                      : 24;
        st.uWidth = ToUnsigned(get("CUSTOM_WIDTH"));
        st.uHeight = ToUnsigned(get("CUSTOM_HEIGHT"));
        st.bJpeg = get("TYPE") == "JPEG";
        if (!get("JPEGQUALITY").empty())
            st.iQuality = int(ToUnsigned(get("JPEGQUALITY")));
        st.bFeeder = get("SCANSOURCE") == "0";
        // Like the device, a page beyond the largest it can scan is a bad field: the page
        // is made in memory, and a client's (or a fuzzer's) size must not exhaust it.
        const size_t row = ScanPatternRowBytes(st.iDepth, st.uWidth);
        if (st.uHeight != 0 && row > c_llMaxSimPage / st.uHeight)
            return HttpReply("RESULT=1\r\n");
        s.pending = st;
        s.bPending = true;
    }
    return HttpReply(s.bResultLine ? "RESULT=" + std::to_string(s.iResult) + "\r\n" : "STATE=READY\r\n");
}

void ServeHttp(stNetScanSim &s, int fd)
{
    Bytes req;
    char buf[4096];
    size_t headerEnd = std::string::npos;
    while (headerEnd == std::string::npos && req.size() < 65536) {
        const ssize_t r = recv(fd, buf, sizeof buf, 0);
        if (r <= 0)
            break;
        req.insert(req.end(), buf, buf + r);
        headerEnd = std::string(req.begin(), req.end()).find("\r\n\r\n");
    }
    std::string text(req.begin(), req.end());
    if (headerEnd != std::string::npos) {
        size_t contentLength = 0;
        const size_t cl = text.find("Content-Length: ");
        if (cl != std::string::npos && cl < headerEnd)
            contentLength = strtoul(text.c_str() + cl + 16, nullptr, 10);
        const size_t have = req.size() - (headerEnd + 4);
        if (contentLength > have && contentLength < (1u << 20)) {
            Bytes rest(contentLength - have);
            if (RecvAll(fd, rest.data(), rest.size()))
                req.insert(req.end(), rest.begin(), rest.end());
        }
    }
    DrainAvailable(fd, req);
    text.assign(req.begin(), req.end());
    Bytes raw;
    bool silent;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        s.listHttpRequests.push_back(req);
        silent = s.bSilent;
        if (!silent && !s.queueHttpReply.empty()) {
            raw = s.queueHttpReply.front();
            s.queueHttpReply.pop_front();
        }
    }
    if (silent) {
        WaitPeerClose(fd);
        return;
    }
    if (!raw.empty()) {
        SendAll(fd, raw.data(), raw.size());
        return;
    }
    const size_t bodyAt = headerEnd == std::string::npos ? text.size() : headerEnd + 4;
    const std::string body = text.substr(bodyAt);
    if (text.rfind("POST /netscan/post ", 0) == 0) {
        SendText(fd, OnScanPost(s, body));
    } else if (text.rfind("GET /netscan/capabilites ", 0) == 0) {
        std::string caps;
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            for (const auto &c : s.listCaps)
                caps += c + "\r\n";
        }
        SendText(fd, HttpReply(caps));
    } else if (text.rfind("POST /cgi-bin/dynamic/printer/netscan/adfStatus.html ", 0) == 0) {
        std::string adf;
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            adf = s.strAdf;
        }
        SendText(fd, HttpReply(adf));
    } else {
        SendText(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }
}

std::string OslValue(const stNetScanSim &s, const std::string &request)
{
    if (request.find(">familyType<") != std::string::npos)
        return "<value>" + s.strModel + "</value>";
    if (request.find(">getList<") != std::string::npos)
        return "<value><profile id=\"1\" name=\"Scan to PC\"/><profile id=\"2\" name=\"Scan to Email\"/></value>";
    if (request.find(">summary<") != std::string::npos)
        return "<value><adf>true</adf><duplex>false</duplex><maxResolution>1200</maxResolution></value>";
    return "<error>unknown attribute</error>";
}

void ServeOsl(stNetScanSim &s, int fd)
{
    uint8_t prefix[4];
    Bytes req;
    if (RecvAll(fd, prefix, 4)) {
        req.assign(prefix, prefix + 4);
        const uint32_t len = uint32_t(prefix[0]) << 24 | uint32_t(prefix[1]) << 16 | uint32_t(prefix[2]) << 8 | prefix[3];
        Bytes text(len < 65536 ? len : 0);
        if (RecvAll(fd, text.data(), text.size()))
            req.insert(req.end(), text.begin(), text.end());
    }
    DrainAvailable(fd, req);
    Bytes raw;
    bool silent;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        s.listOslRequests.push_back(req);
        silent = s.bSilent;
        if (!silent && !s.queueOslReply.empty()) {
            raw = s.queueOslReply.front();
            s.queueOslReply.pop_front();
        }
    }
    if (silent) {
        WaitPeerClose(fd);
        return;
    }
    if (raw.empty()) {
        const std::string text = std::string(req.begin(), req.end());
        const size_t id = text.find("requestID=\"");
        const std::string requestId = id == std::string::npos ? "0" : text.substr(id + 11, 5);
        const std::string reply = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response requestID=\"" + requestId
                                  + "\">\r\n  " + OslValue(s, text) + "\r\n</response>\r\n";
        const uint32_t n = uint32_t(reply.size());
        raw = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        raw.insert(raw.end(), reply.begin(), reply.end());
    }
    SendAll(fd, raw.data(), raw.size());
}

Bytes MakePageUncached(const stNetScanSettings &st, int page)
{
    // A compressed page is the JPEG of the 24-bit pattern, or of the gray one for the other depths.
    const int depth = st.bJpeg ? (st.iDepth == 24 ? 24 : 8) : st.iDepth;
    Bytes raw(ScanPatternRowBytes(depth, st.uWidth) * st.uHeight);
    ScanPatternFill(depth, st.uWidth, page, 0, raw.data(), raw.size());
    if (!st.bJpeg)
        return raw;
    return EncodeJpeg(raw, st.uWidth, st.uHeight, depth == 24 ? 3 : 1, st.iQuality);
}

// The last pages made, so that a repeated scan (a benchmark's runs) costs only its transfer.
Bytes MakePage(const stNetScanSettings &st, int page)
{
    struct stCached {
        std::string strKey;
        Bytes page;
    };
    static std::deque<stCached> cache;
    static std::mutex cacheLock;  // every network device streams from its own thread
    std::lock_guard<std::mutex> lock(cacheLock);
    const std::string key = std::to_string(st.iDepth) + "/" + std::to_string(st.uWidth) + "x"
                            + std::to_string(st.uHeight) + "/" + std::to_string(st.bJpeg) + "/"
                            + std::to_string(st.iQuality) + "/" + std::to_string(page);
    for (const stCached &c : cache)
        if (c.strKey == key)
            return c.page;
    Bytes made = MakePageUncached(st, page);
    cache.push_back({key, made});
    if (cache.size() > 2)
        cache.pop_front();
    return made;
}

std::string Header(const char *tag, size_t length, size_t size)
{
    char h[32];
    snprintf(h, sizeof h, "%s%06zu%*s", tag, length, int(size - strlen(tag) - 7), "");
    std::string s(h, size);
    s[size - 1] = '\n';
    return s;
}

enum class enStreamEnd { Done,
                         Cancel,
                         Abort,
                         Lost };

// One scan on a data connection: start header, then per page NEWFILE, page header and data
// blocks, then JOBDONE; stops for "hold", "cancel" and aborts as the tests ask.
enStreamEnd StreamScan(stNetScanSim &s, int fd, const stNetScanSettings &st)
{
    const std::string info = "WIDTH=" + std::to_string(st.uWidth) + "&HEIGHT=" + std::to_string(st.uHeight)
                             + "&DEPTH=" + std::to_string(st.iDepth) + (st.bJpeg ? "&TYPE=JPEG\n" : "&TYPE=RAW\n");
    if (!SendText(fd, Header("SCANDATA", info.size(), 20) + info))
        return enStreamEnd::Lost;
    int pages, blockSize;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        pages = st.bFeeder ? s.iPages : 1;
        blockSize = s.iBlock;
    }
    // Hold and cancel count this stream's own blocks: a "clear" for the next scan while this
    // one still drains into a connection that nobody reads any more must not make this
    // stream the one held (the port would then serve no further stream).
    int sent = 0;
    for (int p = 0; p < pages; ++p) {
        const Bytes page = MakePage(st, p);
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            s.listSentPages.push_back(page);
        }
        const std::string pageInfo = "PAGE=" + std::to_string(p + 1) + "\n";
        if (!SendText(fd, "NEWFILE          \n" + Header("PAGE  ", pageInfo.size(), 18) + pageInfo))
            return enStreamEnd::Lost;
        for (size_t off = 0; off < page.size(); off += size_t(blockSize)) {
            {
                std::unique_lock<std::mutex> lock(g_netScanLock);
                if (s.bAbort)
                    return enStreamEnd::Abort;
                if (s.iCancelAfter >= 0 && sent >= s.iCancelAfter) {
                    lock.unlock();
                    SendText(fd, "JOBCANCEL        \n");
                    return enStreamEnd::Cancel;
                }
            }
            const size_t n = std::min(page.size() - off, size_t(blockSize));
            if (!SendText(fd, Header("DATA  ", n, 18)) || !SendAll(fd, page.data() + off, n))
                return enStreamEnd::Lost;
            std::unique_lock<std::mutex> lock(g_netScanLock);
            ++s.iBlocks;
            if (++sent == s.iHoldAfter) {
                s.bHeld = true;
                g_netScanWake.wait(lock, [&] { return s.bRelease || s.bAbort || g_bNetScanQuit; });
                s.bHeld = false;
                s.bRelease = false;
            }
            if (s.bAbort)
                return enStreamEnd::Abort;
        }
    }
    return SendText(fd, "JOBDONE          \n") ? enStreamEnd::Done : enStreamEnd::Lost;
}

void ServeData(stNetScanSim &s, int fd)
{
    Bytes raw;
    stNetScanSettings st;
    bool scan;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        ++s.iDataConns;
        if (!s.queueDataReply.empty()) {
            raw = s.queueDataReply.front();
            s.queueDataReply.pop_front();
        }
        scan = raw.empty() && s.bPending && !s.bSilent;
        if (scan) {
            st = s.pending;
            s.bPending = false;
            s.bStreaming = true;
            s.bAbort = false;
            s.iBlocks = 0;
            s.listSentPages.clear();
        }
    }
    if (!raw.empty()) {
        SendAll(fd, raw.data(), raw.size());
        return;
    }
    if (!scan) {
        WaitPeerClose(fd);
        return;
    }
    const enStreamEnd end = StreamScan(s, fd, st);
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        s.bStreaming = false;
        s.bAbort = false;
    }
    // After an abort the daemon ends its reader itself; closing first would race with it.
    if (end == enStreamEnd::Abort)
        WaitPeerClose(fd);
}

void ServePort(stNetScanSim *s, int which)
{
    for (;;) {
        int listenFd;
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            listenFd = s->iListen[which];
        }
        if (listenFd < 0 || g_bNetScanQuit)
            return;
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            g_setActiveFds.insert(fd);
        }
        if (!g_bNetScanQuit) {
            if (which == 0)
                ServeOsl(*s, fd);
            else if (which == 1)
                ServeHttp(*s, fd);
            else
                ServeData(*s, fd);
        }
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            g_setActiveFds.erase(fd);
        }
        close(fd);
    }
}

bool StartPort(stNetScanSim &s, int which, std::string &err)
{
    const int fd = OpenListener(s.strAddr, c_iPorts[which], err);
    if (fd < 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        s.iListen[which] = fd;
    }
    s.thread[which] = std::thread(ServePort, &s, which);
    return true;
}

void StopPort(stNetScanSim &s, int which)
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        fd = s.iListen[which];
        s.iListen[which] = -1;
    }
    if (fd >= 0)
        shutdown(fd, SHUT_RDWR);
    if (s.thread[which].joinable())
        s.thread[which].join();
    if (fd >= 0)
        close(fd);
}

bool ParseInt(const std::string &text, long lo, long hi, int &out)
{
    char *end = nullptr;
    const long v = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

std::string Rest(const std::string &line, size_t words)
{
    size_t pos = 0;
    for (size_t i = 0; i < words; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        pos = pos == std::string::npos ? pos : line.find_first_of(" \t", pos);
        if (pos == std::string::npos)
            return "";
    }
    pos = line.find_first_not_of(" \t", pos);
    return pos == std::string::npos ? "" : line.substr(pos);
}

const char c_szUsage[] =
    "usage: netscan ID result N|none | pages N | block N | adf TEXT | caps [KEY=VALUE...] | httpreply HEX | "
    "oslreply HEX | datareply HEX | hold N|off | release | cancel N|off | silent on|off | data on|off | "
    "requests [clear] | oslrequests [clear] | count posts|aborts|dataconns|blocks|held | sent PAGE FILE | "
    "jpeginfo FILE | clear";

}  // namespace

bool NetScanOpen(stSimDevice &dev, std::string &err)
{
    auto s = std::make_unique<stNetScanSim>();
    s->strId = dev.strId;
    s->strModel = dev.strModel;
    s->strAddr = dev.strAddr;
    stNetScanSim &ref = *s;
    g_netScans[dev.strId] = std::move(s);
    for (int which = 0; which < 3; ++which)
        if (!StartPort(ref, which, err))
            return false;
    return true;
}

void NetScanCloseAll()
{
    g_bNetScanQuit = true;
    {
        std::lock_guard<std::mutex> lock(g_netScanLock);
        for (int fd : g_setActiveFds)
            shutdown(fd, SHUT_RDWR);
        g_netScanWake.notify_all();
    }
    for (auto &entry : g_netScans)
        for (int which = 0; which < 3; ++which)
            StopPort(*entry.second, which);
    g_netScans.clear();
}

void NetScanCommand(const std::vector<std::string> &a, const std::string &line, stSimDevice &dev, std::string &data,
                    std::string &err)
{
    const auto it = g_netScans.find(dev.strId);
    if (it == g_netScans.end() || a.size() < 3) {
        err = it == g_netScans.end() ? "not a network device: " + dev.strId : c_szUsage;
        return;
    }
    stNetScanSim &s = *it->second;
    const std::string &what = a[2];
    const std::string arg = a.size() > 3 ? a[3] : "";
    if (what == "data" && a.size() == 4 && (arg == "on" || arg == "off")) {
        bool on;
        {
            std::lock_guard<std::mutex> lock(g_netScanLock);
            on = s.iListen[2] >= 0;
        }
        if (arg == "off" && on)
            StopPort(s, 2);
        else if (arg == "on" && !on)
            StartPort(s, 2, err);
        return;
    }
    if (what == "jpeginfo" && a.size() == 4) {
        const std::string info = JpegInfo(arg);
        if (info.rfind("ERR", 0) == 0)
            err = info.substr(4);
        else
            data += info + "\n";
        return;
    }
    std::lock_guard<std::mutex> lock(g_netScanLock);
    Bytes hex;
    int n = 0;
    if (what == "result" && a.size() == 4 && (arg == "none" || ParseInt(arg, 0, 999, n))) {
        s.bResultLine = arg != "none";
        s.iResult = n;
    } else if (what == "pages" && a.size() == 4 && ParseInt(arg, 1, 100, n)) {
        s.iPages = n;
    } else if (what == "block" && a.size() == 4 && ParseInt(arg, 1, 999999, n)) {
        s.iBlock = n;
    } else if (what == "adf" && a.size() >= 4) {
        s.strAdf = Rest(line, 3);
    } else if (what == "caps") {
        s.listCaps.assign(a.begin() + 3, a.end());
    } else if ((what == "httpreply" || what == "oslreply" || what == "datareply") && a.size() == 4
               && FromHex(arg, hex) && !hex.empty()) {
        (what == "httpreply" ? s.queueHttpReply : what == "oslreply" ? s.queueOslReply
                                                                     : s.queueDataReply)
            .push_back(hex);
    } else if ((what == "hold" || what == "cancel") && a.size() == 4 && (arg == "off" || ParseInt(arg, 0, 1 << 30, n))) {
        (what == "hold" ? s.iHoldAfter : s.iCancelAfter) = arg == "off" ? -1 : n;
    } else if (what == "release" && a.size() == 3) {
        s.bRelease = true;
        g_netScanWake.notify_all();
    } else if (what == "silent" && a.size() == 4 && (arg == "on" || arg == "off")) {
        s.bSilent = arg == "on";
    } else if ((what == "requests" || what == "oslrequests") && (a.size() == 3 || (a.size() == 4 && arg == "clear"))) {
        auto &list = what == "requests" ? s.listHttpRequests : s.listOslRequests;
        for (const auto &r : list)
            data += ToHex(r) + "\n";
        if (a.size() == 4)
            list.clear();
    } else if (what == "count" && a.size() == 4
               && (arg == "posts" || arg == "aborts" || arg == "dataconns" || arg == "blocks" || arg == "held")) {
        const int v = arg == "posts" ? s.iPosts : arg == "aborts"  ? s.iAborts
                                              : arg == "dataconns" ? s.iDataConns
                                              : arg == "blocks"    ? s.iBlocks
                                                                   : int(s.bHeld);
        data += std::to_string(v) + "\n";
    } else if (what == "sent" && a.size() == 5 && ParseInt(arg, 0, 1000, n)) {
        if (size_t(n) >= s.listSentPages.size()) {
            err = "no page " + arg;
            return;
        }
        std::ofstream out(a[4], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(s.listSentPages[size_t(n)].data()),
                  std::streamsize(s.listSentPages[size_t(n)].size()));
        if (!out)
            err = "cannot write " + a[4];
    } else if (what == "clear" && a.size() == 3) {
        s.listHttpRequests.clear();
        s.listOslRequests.clear();
        s.queueHttpReply.clear();
        s.queueOslReply.clear();
        s.queueDataReply.clear();
        s.iPosts = s.iAborts = s.iDataConns = s.iBlocks = 0;
        s.iHoldAfter = s.iCancelAfter = -1;
    } else {
        err = c_szUsage;
    }
}
