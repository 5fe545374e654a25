// The scan daemon's network side, end to end: the installed daemon, driven through the local
// protocol, against the simulator's network MFP on a loopback address.
// usage: tst_scan_net SIM_SOCKET SCANNER_ADDR main|hostaddr|guard
//   main      every command, scans, aborts, device faults and hostile client records
//   hostaddr  this host has a non-loopback address: it is the Host line of the requests
//   guard     a second start during a scan, a page larger than the scan folder's room, the
//             quit signal mid-scan (the scan folder is a small file system of its own)
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "orvo-scanclient-net.h"
#include "scan-procs.h"
#include "scan-testkit.h"

namespace {

const std::string c_strInfoLog = ORVO_SCAN_DIR "/orvo_scan_info.log";
const std::string c_strErrLog = ORVO_SCAN_DIR "/orvo_scan_err.log";
const std::string c_strPlaceholder = "169.254.100.100";
std::string g_strAddr;
std::string g_strId = "n1";

std::string Net(const std::string &cmd)
{
    return SimGet("netscan " + g_strId + " " + cmd);
}

bool NetSet(const std::string &cmd)
{
    return SimCtl("netscan " + g_strId + " " + cmd);
}

int NetCount(const std::string &what)
{
    return std::stoi("0" + Net("count " + what));
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            nl = text.size();
        out.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return out;
}

// The requests the simulator's HTTP service received, as texts.
std::vector<std::string> HttpRequests(bool clear = true)
{
    std::vector<std::string> out;
    for (const std::string &hex : Lines(Net(clear ? "requests clear" : "requests"))) {
        const auto bytes = FromHexText(hex);
        out.emplace_back(bytes.begin(), bytes.end());
    }
    return out;
}

std::string Hex(const std::string &s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string HttpReply(const std::string &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string FormRequest(const std::string &path, const std::string &host, const std::string &body)
{
    return "POST " + path
           + " HTTP/1.1\r\nConnection: Keep-Alive\r\nContent-Type: application/x-www-form-urlencoded\r\n"
             "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\nUser-Agent: HttpScanConnection\r\n"
             "Content-Length: "
           + std::to_string(body.size()) + "\r\nHost: " + host + "\r\n\r\n" + body;
}

std::string OslRequest(int id, const std::string &obj, const std::string &attr)
{
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<method name=\"getAttribute\" requestID=\""
                             + std::to_string(id) + "\">\r\n  <arg name=\"objName\">" + obj
                             + "</arg>\r\n  <arg name=\"attribName\">" + attr + "</arg>\r\n</method>\r\n";
    const uint32_t n = uint32_t(text.size());
    return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + text;
}

std::string PostBody(const tagSettingInfo &s, const std::string &depth, const std::string &jpegQuality,
                     const std::string &source, const std::string &type, const std::string &singlePage,
                     const std::string &background = "")
{
    return "SCANTYPE=2&ADVCONTRAST=" + std::to_string(s.ContrastParam) + "&BACKGROUNDREMOVAL=" + background
           + "&COMPRESSION=JPEG&CONTRAST=MIXED&DARKNESS=" + std::to_string(s.BrightnessParam) + "&DEPTH=" + depth
           + "&DOCSOURCE=0&EDGETOEDGE=0&IPADDRESS=" + c_strPlaceholder + "&JPEGQUALITY=" + jpegQuality
           + "&KEEPALIVE=0&NAME=root&ORIENTATION=PORTRAIT&RESOLUTION=" + std::to_string(s.xResolution)
           + "&SCANSOURCE=" + source + "&SHARPNESS=0&START_NOW=1&TCPPORT=2080&TYPE=" + type
           + "&SINGLEPAGE=" + singlePage + "&CUSTOM_WIDTH=" + std::to_string(s.width)
           + "&CUSTOM_HEIGHT=" + std::to_string(s.height) + "&OFFSETX=" + std::to_string(s.xStart)
           + "&OFFSETY=" + std::to_string(s.yStart) + "&";
}

// Reads record replies until one ends the scan (or none comes).
std::vector<TCPRecordRes> ReadRecords(int sock)
{
    std::vector<TCPRecordRes> recs;
    TCPRecordRes rec;
    while (recs.size() < 100000 && ScanTcpReadRecord(sock, rec)) {
        recs.push_back(rec);
        if (rec.result != 0)
            break;
    }
    return recs;
}

bool SameFiles(const std::string &a, const std::string &b)
{
    std::vector<unsigned char> x, y;
    return ReadFile(a, x) && ReadFile(b, y) && x == y && !x.empty();
}

std::string Work(const std::string &name)
{
    return std::string(getenv("SCAN_WORK") ? getenv("SCAN_WORK") : "/tmp") + "/" + name;
}

void TestAttributes(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    SimCtl("netscan " + g_strId + " oslrequests clear");
    const char *objs[] = {"system", "mfp.profileFactory", "mfp.scanner"};
    const char *attrs[] = {"familyType", "getList", "summary"};
    const char *values[] = {"<value>K40N</value>", "name=\"Scan to PC\"", "<maxResolution>1200</maxResolution>"};
    for (int type = 0; type < 3; ++type) {
        int32_t len = 0;
        std::string text;
        SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, type, len, text), 0);
        SCAN_CHECK_EQ(size_t(len), text.size());
        SCAN_CHECK(text.find(values[type]) != std::string::npos);
        SCAN_CHECK(text.find("requestID=\"1000" + std::to_string(type + 1) + "\"") != std::string::npos);
    }
    const auto requests = Lines(Net("oslrequests clear"));
    SCAN_CHECK_EQ(requests.size(), 3u);
    for (size_t i = 0; i < requests.size() && i < 3; ++i)
        SCAN_CHECK(requests[i] == Hex(OslRequest(10001 + int(i), objs[i], attrs[i])));

    // An empty reply is a success with nothing after the length.
    int32_t len = -1;
    std::string text;
    NetSet("oslreply 00000000");
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, OSL_CMD_SUMMARY, len, text), 0);
    SCAN_CHECK_EQ(len, 0);
    // Replies announcing more than the daemon's buffer are refused without reading them.
    NetSet("oslreply 00002001" + std::string(64, 'A'));
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, OSL_CMD_SUMMARY, len, text), 9);
    SCAN_CHECK_EQ(len, 0);
    NetSet("oslreply 7FFFFFFF41");
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, OSL_CMD_SUMMARY, len, text), 9);
    // A reply shorter than announced, then the device closes.
    NetSet("oslreply 00000010414243");
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, OSL_CMD_FAMILYTYPE, len, text), 9);
    // The exactly full buffer is accepted.
    NetSet("oslreply 00002000" + std::string(2 * 8192, '4'));
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, OSL_CMD_FAMILYTYPE, len, text), 0);
    SCAN_CHECK(len == 8192 && text == std::string(8192, 'D'));
    // An attribute type outside the table is refused before any connection.
    SimCtl("netscan " + g_strId + " oslrequests clear");
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, 3, len, text), 4);
    SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, -1, len, text), 4);
    SCAN_CHECK(Net("oslrequests").empty());
    SCAN_CHECK(ScanNothingPending(sock));
}

void TestCapabilities(int sock, const std::string &host)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    HttpRequests();
    TCPDevPropertiesRes res;
    SCAN_CHECK(ScanTcpDevProperties(sock, s, res));
    SCAN_CHECK_EQ(res.result, 0);
    SCAN_CHECK(!res.devPro.duplex && res.devPro.color && res.devPro.profile && res.devPro.permprofiles);
    SCAN_CHECK(res.devPro.minres == 75 && res.devPro.maxres == 1200 && res.devPro.width_format == 1);
    SCAN_CHECK(res.devPro.family == 40 && res.devPro.maxWidth == 2550 && res.devPro.maxHeight == 4200);
    SCAN_CHECK_EQ(res.devPro.basicres, 300u);
    const auto requests = HttpRequests();
    SCAN_CHECK_EQ(requests.size(), 1u);
    if (!requests.empty())
        SCAN_CHECK(requests[0] == "GET /netscan/capabilites HTTP/1.1\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
                                  "User-Agent: Jav/1.6.0_18\r\nHost: "
                                      + host + "\r\n\r\nConnection: Keep-Alive\r\n"
                                               "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
                                               "Content-Type: application/x-www-form-urlencoded\r\n\n");

    NetSet("caps DUPLEX=true COLOR=GRAY PROFILE=ENABLED PERMPROFILES=no MINRES=150 MAXRES=600 MAX_WIDTH=2480");
    SCAN_CHECK(ScanTcpDevProperties(sock, s, res));
    SCAN_CHECK(res.result == 0 && res.devPro.duplex && !res.devPro.color && res.devPro.profile);
    SCAN_CHECK(!res.devPro.permprofiles && res.devPro.minres == 150 && res.devPro.maxres == 600);
    SCAN_CHECK(res.devPro.maxWidth == 2480 && res.devPro.maxHeight == 0 && res.devPro.basicres == 0);
    NetSet("caps DUPLEX=false COLOR=COLOR MINRES=75 MAXRES=1200 WIDTH_FORMAT=1 FAMILY=40 PERMPROFILES=true "
           "PROFILE=ENABLED MAX_WIDTH=2550 MAX_HEIGHT=4200 BASIC_RESOLUTION=300");

    // Lines without "=", and a reply longer than the daemon's buffer.
    NetSet("httpreply " + Hex(HttpReply("PROFILE\r\nDISABLED\r\nMAXRES=300\r\n=\r\nPROFILE=DISABLED\r\n")));
    SCAN_CHECK(ScanTcpDevProperties(sock, s, res));
    SCAN_CHECK(res.result == 0 && res.devPro.maxres == 300 && !res.devPro.profile);
    NetSet("httpreply " + Hex(HttpReply("MAXRES=2400\r\n" + std::string(9000, 'x') + "\r\nMINRES=50\r\n")));
    SCAN_CHECK(ScanTcpDevProperties(sock, s, res));
    SCAN_CHECK(res.result == 0 && res.devPro.maxres == 2400 && res.devPro.minres == 0);
    HttpRequests();
}

void TestAdfStatus(int sock, const std::string &host)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    HttpRequests();
    const struct {
        const char *adf;
        int32_t st;
    } cases[] = {{"2", 2}, {"ADF=1", 1}, {"3", 3}};
    for (const auto &c : cases) {
        NetSet(std::string("adf ") + c.adf);
        TCPADFStatusRes res;
        SCAN_CHECK(ScanTcpAdfStatus(sock, s, res));
        SCAN_CHECK(res.result == 0 && res.st == c.st);
    }
    const auto requests = HttpRequests();
    SCAN_CHECK_EQ(requests.size(), 3u);
    if (!requests.empty())
        SCAN_CHECK(requests[0] == FormRequest("/cgi-bin/dynamic/printer/netscan/adfStatus.html", host, "GETADFSTATUS"));
    // A reply ending in anything else leaves the status as it was and says so.
    const int before = CountLines(c_strErrLog, "ADF status is invalid or not supported");
    NetSet("httpreply " + Hex(HttpReply("2\n")));
    TCPADFStatusRes res;
    SCAN_CHECK(ScanTcpAdfStatus(sock, s, res));
    SCAN_CHECK(res.result == 0 && res.st == 0);
    SCAN_CHECK(WaitUntil([&] { return CountLines(c_strErrLog, "ADF status is invalid or not supported") == before + 1; }));
    NetSet("adf 2");
}

tagSettingInfo Settings(uint8_t depth, uint32_t w, uint32_t h, bool feeder, uint8_t isClient, int32_t comp)
{
    tagSettingInfo s = ScanSettings(depth, w, h, 300, feeder, isClient, comp);
    s.xStart = 12;
    s.yStart = 34;
    s.BrightnessParam = 55;
    s.ContrastParam = 66;
    return s;
}

// Start posts for several settings, all refused as busy: no data connection, no records.
void TestStartPostsAndBusy(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    HttpRequests();
    const int conns = NetCount("dataconns");
    NetSet("result 91");
    struct stCase {
        tagSettingInfo info;
        std::string body;
    };
    tagSettingInfo bg = Settings(8, 850, 1100, false, 1, COMPRESSION_JPEG);
    bg.backgroundRemoval = 1;
    bg.backgroundRemovalParam = 7;
    const tagSettingInfo a = Settings(1, 2480, 3508, true, 0, COMPRESSION_NONE);
    const tagSettingInfo c = Settings(24, 100, 200, true, 1, COMPRESSION_WICKED);
    const stCase cases[] = {
        {a, PostBody(a, "other", "", "0", "RAW", "TRUE")},
        {bg, PostBody(bg, "8", "70", "7", "JPEG", "", "7")},
        {c, PostBody(c, "24", "", "0", "RAW", "")},
    };
    std::vector<std::string> bases;
    for (const stCase &k : cases) {
        TCPScanStartRes res;
        SCAN_CHECK(ScanTcpStart(sock, s, k.info, res));
        SCAN_CHECK_EQ(res.result, 3);
        SCAN_CHECK_EQ(res.socketDataFd, -1);
        bases.push_back(res.fileName);
    }
    const auto requests = HttpRequests();
    SCAN_CHECK_EQ(requests.size(), 3u);
    for (size_t i = 0; i < requests.size() && i < 3; ++i)
        SCAN_CHECK(requests[i] == FormRequest("/netscan/post", c_strPlaceholder, cases[i].body));
    // Each start counts, busy or not.
    SCAN_CHECK(bases.size() == 3 && bases[0] != bases[1] && bases[1] != bases[2]);
    // A reply without a RESULT line is busy too; any other RESULT is invalid.
    NetSet("result none");
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, a, res) && res.result == 3);
    NetSet("result 1");
    SCAN_CHECK(ScanTcpStart(sock, s, a, res) && res.result == 4);
    // A reply filling the whole buffer (and more) without RESULT in it.
    NetSet("httpreply " + Hex(std::string(8192, 'x')));
    SCAN_CHECK(ScanTcpStart(sock, s, a, res) && res.result == 3);
    NetSet("httpreply " + Hex(std::string(8191, 'x') + "RESULT=0\r\n"));
    SCAN_CHECK(ScanTcpStart(sock, s, a, res) && res.result == 3);
    NetSet("result 0");
    SCAN_CHECK_EQ(NetCount("dataconns"), conns);
    SCAN_CHECK(ScanNothingPending(sock));
    HttpRequests();
}

void TestTwoPageScan(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("pages 2");
    NetSet("block 5000");
    const tagSettingInfo info = Settings(24, 120, 50, true, 1, COMPRESSION_NONE);  // 18000 bytes a page
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, info, res));
    SCAN_CHECK_EQ(res.result, 0);
    SCAN_CHECK(res.socketDataFd > 2);
    const auto recs = ReadRecords(sock);
    // NEWFILE, 4 blocks, NEWFILE, 4 blocks, JOBDONE.
    SCAN_CHECK_EQ(recs.size(), 11u);
    if (recs.size() == 11) {
        SCAN_CHECK(recs[0].result == 0 && recs[0].st == 9 && recs[0].fileIndex == 0 && recs[0].bufferLen == 0);
        int32_t bytes = 0;
        for (int i = 1; i <= 4; ++i) {
            SCAN_CHECK(recs[size_t(i)].result == 0 && recs[size_t(i)].st == 0 && recs[size_t(i)].fileIndex == 1);
            bytes += recs[size_t(i)].bufferLen;
        }
        SCAN_CHECK_EQ(bytes, 18000);
        SCAN_CHECK(recs[5].st == 9 && recs[5].fileIndex == 1 && recs[5].bufferLen == 0);
        SCAN_CHECK(recs[6].fileIndex == 2 && recs[6].bufferLen == 5000);
        SCAN_CHECK(recs[10].result == 5 && recs[10].st == 1 && recs[10].fileIndex == 2 && recs[10].bufferLen == 0);
    }
    for (int page = 0; page < 2; ++page) {
        const std::string sent = Work("sent" + std::to_string(page));
        SCAN_CHECK(SimCtl("netscan " + g_strId + " sent " + std::to_string(page) + " " + sent));
        SCAN_CHECK(SameFiles(ScanPageName(res.fileName, page), sent));
    }
    SCAN_CHECK(!FileExists(ScanPageName(res.fileName, 2)));
    SCAN_CHECK(WaitUntil([&] { return CountLines(c_strInfoLog, "tcp scan record process exit:5 pid:") >= 1; }));
    for (int page = 0; page < 2; ++page)
        ScanDeleteFile(sock, ScanPageName(res.fileName, page));
    SCAN_CHECK(WaitUntil([&] { return !FileExists(ScanPageName(res.fileName, 1)); }));
}

void TestJpegScan(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    const tagSettingInfo info = Settings(24, 200, 120, false, 1, COMPRESSION_JPEG);
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, info, res) && res.result == 0);
    const auto recs = ReadRecords(sock);
    SCAN_CHECK(!recs.empty() && recs.back().result == 5 && recs.back().fileIndex == 1);
    const std::string page = ScanPageName(res.fileName, 0);
    SCAN_CHECK(SimCtl("netscan " + g_strId + " sent 0 " + Work("sentjpeg")));
    SCAN_CHECK(SameFiles(page, Work("sentjpeg")));
    SCAN_CHECK(Net("jpeginfo " + page) == "200 120 3 baseline");
    ScanDeleteFile(sock, page);
}

void TestDeviceCancel(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("block 1000");
    NetSet("cancel 3");
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 100, 100, false, 1, COMPRESSION_NONE), res) && res.result == 0);
    const auto recs = ReadRecords(sock);
    SCAN_CHECK_EQ(recs.size(), 5u);
    SCAN_CHECK(!recs.empty() && recs.back().result == 2 && recs.back().st == 4 && recs.back().bufferLen == 0);
    NetSet("cancel off");
    std::vector<unsigned char> page;
    SCAN_CHECK(ReadFile(ScanPageName(res.fileName, 0), page) && page.size() == 3000);
    ScanDeleteFile(sock, ScanPageName(res.fileName, 0));
}

int DataProcesses()
{
    int n = 0;
    const pid_t listener = ScanListenerPid();
    for (const stScanProc &p : ScanDaemonProcs())
        if (p.pid != listener && p.ppid != listener && p.state != 'Z')
            ++n;
    return n;
}

void TestAbortMidScan(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("block 4000");
    NetSet("hold 2");
    HttpRequests();
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 200, 200, true, 1, COMPRESSION_NONE), res) && res.result == 0);
    TCPRecordRes rec;
    int got = 0;
    for (int i = 0; i < 3 && ScanTcpReadRecord(sock, rec); ++i)
        got += rec.result == 0;
    SCAN_CHECK_EQ(got, 3);
    SCAN_CHECK(WaitUntil([] { return NetCount("held") == 1; }));
    SCAN_CHECK_EQ(DataProcesses(), 1);
    const std::string page = ScanPageName(res.fileName, 0);
    SCAN_CHECK(FileExists(page));
    const int aborts = NetCount("aborts");
    SCAN_CHECK_EQ(ScanTcpAbort(sock, ScanNetSocket(g_strAddr, res.socketDataFd), res.fileName), 0);
    SCAN_CHECK_EQ(NetCount("aborts"), aborts + 1);
    const auto requests = HttpRequests();
    SCAN_CHECK(!requests.empty() && requests.back() == FormRequest("/netscan/post", c_strPlaceholder, "SCANTYPE=4"));
    SCAN_CHECK(!FileExists(page));
    SCAN_CHECK_EQ(DataProcesses(), 0);
    // The scanner saw its data connection closed; the client connection still serves.
    SCAN_CHECK(WaitUntil([] { return NetCount("held") == 0; }));
    NetSet("hold off");
    TCPADFStatusRes adf;
    SCAN_CHECK(ScanTcpAdfStatus(sock, s, adf) && adf.result == 0 && adf.st == 2);
    SCAN_CHECK(ScanNothingPending(sock));
}

// A stream whose start header, block headers or lengths are broken, played raw by the device.
void TestBrokenStreams(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    const std::string start = "SCANDATA000004     \nINFO";
    const std::string newPage = "NEWFILE          \nPAGE  000000     \n";
    const tagSettingInfo info = Settings(8, 10, 10, false, 1, COMPRESSION_NONE);
    TCPScanStartRes res;

    NetSet("datareply " + Hex("SCANDATA0x0004     \nINFO"));
    SCAN_CHECK(ScanTcpStart(sock, s, info, res) && res.result == 9 && res.socketDataFd == -1);
    SCAN_CHECK(ScanNothingPending(sock));
    for (const std::string &bad : {std::string("DATA  -00001     \n"), std::string("DATA  +1e400     \n"),
                                   std::string("DATA  999999     \n") + "short"}) {
        NetSet("datareply " + Hex(start + newPage + "DATA  000003     \nabc" + bad));
        SCAN_CHECK(ScanTcpStart(sock, s, info, res) && res.result == 0);
        const auto recs = ReadRecords(sock);
        SCAN_CHECK_EQ(recs.size(), 3u);
        SCAN_CHECK(!recs.empty() && recs.back().result == 9 && recs.back().bufferLen == 0);
        std::vector<unsigned char> page;
        SCAN_CHECK(ReadFile(ScanPageName(res.fileName, 0), page) && page.size() == 3);
        ScanDeleteFile(sock, ScanPageName(res.fileName, 0));
    }
    // A stream that starts with data: its first record opens the first page.
    NetSet("datareply " + Hex(start + "DATA  000004     \nwxyzJOBDONE          \n"));
    SCAN_CHECK(ScanTcpStart(sock, s, info, res) && res.result == 0);
    const auto recs = ReadRecords(sock);
    SCAN_CHECK_EQ(recs.size(), 2u);
    if (recs.size() == 2) {
        SCAN_CHECK(recs[0].result == 0 && recs[0].st == 9 && recs[0].bufferLen == 4 && recs[0].fileIndex == 0);
        SCAN_CHECK(recs[1].result == 5 && recs[1].fileIndex == 1);
    }
    SCAN_CHECK(ReadText(ScanPageName(res.fileName, 0)) == "wxyz");
    ScanDeleteFile(sock, ScanPageName(res.fileName, 0));
}

// Scanner addresses that are not dotted IPv4 text within the field: result 4, no traffic.
void TestBadAddresses(int sock)
{
    HttpRequests();
    SimCtl("netscan " + g_strId + " oslrequests clear");
    const std::string bad[] = {"", "localhost", g_strAddr + "x", "127.0.0.1:80", "1.2.3", "255.255.255.2551",
                               std::string(16, '1')};
    for (const std::string &ip : bad) {
        const OrvoSocket s = ScanNetSocket(ip);
        int32_t len = 0;
        std::string text;
        SCAN_CHECK_EQ(ScanTcpSendOsl(sock, s, 0, len, text), 4);
        TCPADFStatusRes adf;
        SCAN_CHECK(ScanTcpAdfStatus(sock, s, adf) && adf.result == 4);
        TCPDevPropertiesRes props;
        SCAN_CHECK(ScanTcpDevProperties(sock, s, props) && props.result == 4);
        TCPScanStartRes res;
        SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 10, 10, false, 1, 0), res) && res.result == 4);
        SCAN_CHECK_EQ(ScanTcpAbort(sock, s, ""), 4);
    }
    SCAN_CHECK(HttpRequests().empty());
    SCAN_CHECK(Net("oslrequests").empty());
    SCAN_CHECK(ScanNothingPending(sock));
}

// Descriptor numbers a client sends back are never closed unless they are this connection's
// scan data connection: the logs and the client connection survive every small number.
void TestForeignDescriptors(int sock)
{
    NetSet("result 91");
    for (int32_t fd = 0; fd < 32; ++fd) {
        const OrvoSocket s = ScanNetSocket(g_strAddr, fd);
        const int lines = CountLines(c_strInfoLog, "recv scanCommandType 15");
        SCAN_CHECK_EQ(ScanTcpAbort(sock, s, ""), 0);
        TCPScanStartRes res;
        SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 10, 10, false, 1, 0), res) && res.result == 3);
        SCAN_CHECK(WaitUntil([&] { return CountLines(c_strInfoLog, "recv scanCommandType 15") == lines + 1; }));
    }
    NetSet("result 0");
    SCAN_CHECK(CountLines(c_strErrLog, "not this connection's scan data connection") >= 31);
    TCPADFStatusRes adf;
    SCAN_CHECK(ScanTcpAdfStatus(sock, ScanNetSocket(g_strAddr), adf));
    SCAN_CHECK_EQ(adf.result, 0);
}

// A device that does not answer ends each request with 9 within the time-outs.
void TestSilentDevice(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("silent on");
    TCPADFStatusRes adf;
    SCAN_CHECK(ScanTcpAdfStatus(sock, s, adf) && adf.result == 9);
    NetSet("silent off");
    // The scan is accepted but the data service refuses: 11 attempts, then 9, and no records.
    NetSet("data off");
    TCPScanStartRes res;
    SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 10, 10, false, 1, 0), res) && res.result == 9);
    SCAN_CHECK_EQ(CountLines(c_strErrLog, "orvo_init_tcp 2080 error"), 1);
    NetSet("data on");
    // No scanner at all on this address.
    SCAN_CHECK(ScanTcpAdfStatus(sock, ScanNetSocket("127.0.0.9"), adf) && adf.result == 9);
    SCAN_CHECK(ScanTcpStart(sock, ScanNetSocket("127.0.0.9"), Settings(8, 10, 10, false, 1, 0), res)
               && res.result == 9);
    SCAN_CHECK(ScanNothingPending(sock));
}

// --- guard mode: the scan folder is a 300 MiB file system of its own ---

// Records until one ends the scan; false when the stream broke first.
bool ReadNetToEnd(int sock, std::vector<TCPRecordRes> &recs)
{
    TCPRecordRes r;
    while (recs.size() < 100000 && ScanTcpReadRecord(sock, r)) {
        recs.push_back(r);
        if (r.result != 0)
            return true;
    }
    return false;
}

// A second start while a scan runs is busy and reaches neither the scanner nor the scan.
void TestSecondNetStart(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("clear");
    NetSet("block 1000");
    NetSet("hold 2");
    TCPScanStartRes res, second;
    SCAN_CHECK(ScanTcpStart(sock, s, Settings(8, 100, 50, false, 1, COMPRESSION_NONE), res) && res.result == 0);
    std::vector<TCPRecordRes> recs(3);
    for (TCPRecordRes &r : recs)
        SCAN_CHECK(ScanTcpReadRecord(sock, r) && r.result == 0);
    SCAN_CHECK(WaitUntil([] { return NetCount("held") == 1; }));
    const int posts = NetCount("posts");
    SCAN_CHECK(ScanTcpStart(sock, ScanNetSocket(g_strAddr, res.socketDataFd), Settings(8, 10, 10, false, 1, 0),
                            second)
               && second.result == 3 && second.socketDataFd == -1);
    SCAN_CHECK_EQ(NetCount("posts"), posts);
    NetSet("release");
    SCAN_CHECK(ReadNetToEnd(sock, recs) && recs.back().result == 5);
    std::vector<unsigned char> page;
    SCAN_CHECK(ReadFile(ScanPageName(res.fileName, 0), page) && page.size() == 5000);
    SCAN_CHECK(ScanDeleteFile(sock, ScanPageName(res.fileName, 0)));
    NetSet("hold off");
}

// A page larger than the scan folder's room: stopped while 256 MiB are still free.
void TestEndlessPage(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("clear");
    NetSet("block 65536");
    TCPScanStartRes res;
    const auto t0 = std::chrono::steady_clock::now();
    SCAN_CHECK(ScanTcpStart(sock, s, Settings(24, 6000, 6000, false, 1, COMPRESSION_NONE), res) && res.result == 0);
    std::vector<TCPRecordRes> recs;
    SCAN_CHECK(ReadNetToEnd(sock, recs) && recs.back().result == 9);
    long long bytes = 0;
    for (const TCPRecordRes &r : recs)
        bytes += r.bufferLen;
    printf("endless network page: stopped after %.1f MiB in %.1f s\n", double(bytes) / (1 << 20),
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    SCAN_CHECK(bytes < 60ll << 20);
    SCAN_CHECK(CountLines(c_strErrLog, "file system is nearly full") == 1);
    SCAN_CHECK(WaitUntil([] { return DataProcesses() == 0; }));
    SCAN_CHECK(!FileExists(ScanPageName(res.fileName, 0)));
}

// Last: the quit signal to the listening process in the middle of a network page.
void TestNetQuitMidScan(int sock)
{
    const OrvoSocket s = ScanNetSocket(g_strAddr);
    NetSet("clear");
    NetSet("block 1000");
    NetSet("hold 2");
    TCPScanStartRes res;
    // The scanner takes a new scan once it has noticed the end of the last one's stream.
    SCAN_CHECK(WaitUntil([&] {
        return ScanTcpStart(sock, s, Settings(8, 100, 50, false, 1, COMPRESSION_NONE), res) && res.result == 0;
    }));
    SCAN_CHECK(WaitUntil([] { return NetCount("held") == 1; }));
    SCAN_CHECK(WaitUntil([&] { return FileExists(ScanPageName(res.fileName, 0)); }));
    const auto t0 = std::chrono::steady_clock::now();
    SCAN_CHECK(kill(ScanListenerPid(), SIGQUIT) == 0);
    SCAN_CHECK(WaitUntil([] { return ScanDaemonProcs().empty(); }, 20000));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    printf("quit signal mid-scan (network): all daemon processes gone after %.2f s\n", took);
    SCAN_CHECK(took < 10);
    SCAN_CHECK(!FileExists(ScanPageName(res.fileName, 0)));
    NetSet("hold off");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: tst_scan_net SIM_SOCKET SCANNER_ADDR main|hostaddr|guard\n");
        return 2;
    }
    SimSetSocket(argv[1]);
    g_strAddr = argv[2];
    const std::string mode = argv[3];
    const int sock = ScanConnect();
    SCAN_CHECK(sock >= 0);
    if (sock < 0)
        return 1;
    if (mode == "guard") {
        TestSecondNetStart(sock);
        TestEndlessPage(sock);
        TestNetQuitMidScan(sock);
    } else if (mode == "hostaddr") {
        TestCapabilities(sock, "10.77.0.5");
        TestAdfStatus(sock, "10.77.0.5");
    } else {
        TestAttributes(sock);
        TestCapabilities(sock, c_strPlaceholder);
        TestAdfStatus(sock, c_strPlaceholder);
        TestStartPostsAndBusy(sock);
        TestTwoPageScan(sock);
        TestJpegScan(sock);
        TestDeviceCancel(sock);
        TestAbortMidScan(sock);
        TestBrokenStreams(sock);
        TestBadAddresses(sock);
        TestForeignDescriptors(sock);
        TestSilentDevice(sock);
    }
    close(sock);
    if (g_iScanFailures)
        fprintf(stderr, "%d check(s) failed\n", g_iScanFailures.load());
    return g_iScanFailures ? 1 : 0;
}
