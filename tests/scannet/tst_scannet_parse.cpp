// The network scanner side's parsers and data-stream reader, fed fixed and random bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <pthread.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "OrvoCapabilities.h"
#include "OrvoHttpScan.h"
#include "OrvoTcp.h"
#include "OrvoTcpRecord.h"

namespace {

int g_iFailures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond); \
            ++g_iFailures;                                                           \
        }                                                                            \
    } while (0)

struct stRecord {
    int rc;
    int32_t status;
    std::string data;
};

// Runs orvo_tcp_ScanRecord over a socket pair whose far end has sent `stream` and closed.
std::vector<stRecord> ReadStream(const std::string &stream, size_t maxRecords = 64)
{
    int sv[2];
    std::vector<stRecord> out;
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return out;
    int bufSize = 1 << 20;
    setsockopt(sv[1], SOL_SOCKET, SO_SNDBUF, &bufSize, sizeof bufSize);
    setsockopt(sv[0], SOL_SOCKET, SO_RCVBUF, &bufSize, sizeof bufSize);
    if (write(sv[1], stream.data(), stream.size()) != ssize_t(stream.size()))
        fprintf(stderr, "short socket pair write\n");
    close(sv[1]);
    OrvoSocket sock{sv[0], "127.0.0.1"};
    unsigned char *buf = nullptr;
    uint32_t bufSize32 = 0;
    for (size_t i = 0; i < maxRecords; ++i) {
        stRecord r{};
        uint32_t len = 0;
        r.rc = orvo_tcp_ScanRecord(&sock, &r.status, &buf, &bufSize32, &len);
        if (r.rc == 0 && len)
            r.data.assign(reinterpret_cast<char *>(buf), len);
        CHECK(len <= bufSize32);
        out.push_back(r);
        if (r.rc != 0) {
            CHECK(sock.tcpFromScanner == -1);
            break;
        }
    }
    if (sock.tcpFromScanner >= 0)
        close(sock.tcpFromScanner);
    free(buf);
    return out;
}

std::string Block(const std::string &payload)
{
    char header[19];
    snprintf(header, sizeof header, "DATA  %06zu     \n", payload.size());
    return std::string(header, 18) + payload;
}

const std::string c_strNewFile = "NEWFILE          \n";
const std::string c_strJobDone = "JOBDONE          \n";
const std::string c_strJobCancel = "JOBCANCEL        \n";

std::string NewPage()
{
    return c_strNewFile + Block("PAGE HEADER");
}

void TestStartResult()
{
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nRESULT=0\r\n") == 0);
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nX=1\r\nRESULT=91\r\n") == 3);
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nRESULT=1") == 4);
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nRESULT=0091\nRESULT=0") == 3);
    // Only the body counts: a header line that happens to read RESULT is not the result.
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\nRESULT=91\r\n\r\nSTATE=1\r\n") == 0);
    CHECK(orvo_http_ScanStartResult("\rRESULT=91\r\n") == 3);
    // Without an empty line the whole text is the body.
    CHECK(orvo_http_ScanStartResult("RESULT=91") == 3);
    CHECK(orvo_http_ScanStartResult("") == 0);
    CHECK(orvo_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nRESULTS=91\r\nRESULT") == 0);
}

void TestCapabilities()
{
    ScannerCapabilities caps{};
    caps.maxres = 77;  // absent keys keep what the record held
    orvo_ParseScanCapabilities(&caps, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"
                                      "DUPLEX=true\r\nCOLOR=GRAY\r\nMINRES=75\r\nPROFILE=ENABLED\r\n"
                                      "no equals sign here\r\nWIDTH_FORMAT=2\nFAMILY=12\nPERMPROFILES=false\n"
                                      "MAX_WIDTH=8500\nMAX_HEIGHT=14000\nBASIC_RESOLUTION=300\nUNKNOWN=5\nMINRES");
    CHECK(caps.duplex && !caps.color && caps.profile && !caps.permprofiles);
    CHECK(caps.minres == 75 && caps.maxres == 77 && caps.width_format == 2 && caps.family == 12);
    CHECK(caps.maxWidth == 8500 && caps.maxHeight == 14000 && caps.basicres == 300);
    orvo_ParseScanCapabilities(&caps, "\r\nCOLOR=COLOR\r\nPROFILE=DISABLED\r\nDUPLEX=TRUE\r\nMAXRES=99999999999\r\n"
                                      "MINRES=-4\r\nPERMPROFILES=true\r\n");
    CHECK(caps.color && !caps.profile && !caps.duplex && caps.permprofiles);
    CHECK(caps.maxres == UINT32_MAX && caps.minres == 0);
}

void TestPostBody()
{
    tagSettingInfo info{};
    info.bitDepth = 1;
    info.compType = 0;
    info.width = 2480;
    info.height = 3508;
    info.xStart = 10;
    info.yStart = 20;
    info.xResolution = 300;
    info.feederEnabled = true;
    info.BrightnessParam = 50;
    info.ContrastParam = 60;
    LSP_POST_CMD fields[eNumPostCmd];
    orvo_fill_post_fields(fields, &info);
    snprintf(fields[eName].value, sizeof fields[eName].value, "user");
    char body[8192];
    const int len = orvo_build_post_body(fields, body, sizeof body);
    const std::string expected =
        "SCANTYPE=2&ADVCONTRAST=60&BACKGROUNDREMOVAL=&COMPRESSION=JPEG&CONTRAST=MIXED&DARKNESS=50&DEPTH=other&"
        "DOCSOURCE=0&EDGETOEDGE=0&IPADDRESS=169.254.100.100&JPEGQUALITY=&KEEPALIVE=0&NAME=user&"
        "ORIENTATION=PORTRAIT&RESOLUTION=300&SCANSOURCE=0&SHARPNESS=0&START_NOW=1&TCPPORT=2080&TYPE=RAW&"
        "SINGLEPAGE=TRUE&CUSTOM_WIDTH=2480&CUSTOM_HEIGHT=3508&OFFSETX=10&OFFSETY=20&";
    CHECK(len == int(expected.size()) && body == expected);
    // A buffer too small for the body is refused, not overrun.
    CHECK(orvo_build_post_body(fields, body, 100) == -1);
}

void TestStream()
{
    const std::string page(4096, 'x');
    auto recs = ReadStream(NewPage() + Block(page) + Block("ab") + NewPage() + Block("cd") + c_strJobDone);
    CHECK(recs.size() == 6);
    if (recs.size() == 6) {
        CHECK(recs[0].rc == 0 && recs[0].status == 9 && recs[0].data.empty());
        CHECK(recs[1].rc == 0 && recs[1].status == 0 && recs[1].data == page);
        CHECK(recs[2].rc == 0 && recs[2].data == "ab");
        CHECK(recs[3].rc == 0 && recs[3].status == 9);
        CHECK(recs[4].data == "cd");
        CHECK(recs[5].rc == 5 && recs[5].status == 1);
    }
    recs = ReadStream(NewPage() + c_strJobCancel);
    CHECK(recs.size() == 2 && recs.back().rc == 2 && recs.back().status == 4);
    // Length fields that are not plain digits end the scan instead of sizing a buffer.
    for (const char *bad : {"DATA  -00001     \n", "DATA   4096      \n", "DATA  40x6       \n", "DATA  \0\0\0\0\0\0     \n"}) {
        recs = ReadStream(NewPage() + std::string(bad, 18) + std::string(4096, 'y'));
        CHECK(recs.size() == 2 && recs.back().rc == 9);
    }
    // A block that announces more than the stream delivers, and a torn header.
    recs = ReadStream(NewPage() + "DATA  999999     \n" + std::string(1000, 'z'));
    CHECK(recs.size() == 2 && recs.back().rc == 9);
    recs = ReadStream(NewPage() + "DATA  00");
    CHECK(recs.size() == 2 && recs.back().rc == 9);
    recs = ReadStream(c_strNewFile + "PAGE  x00001     \n");
    CHECK(recs.size() == 1 && recs.back().rc == 9);
    recs = ReadStream(Block(""));
    CHECK(recs.size() == 2 && recs[0].rc == 0 && recs[0].data.empty() && recs[1].rc == 9);
}

void OnTestSignal(int) {}

// The connection process gets SIGCHLD whenever a data process ends; a receive with a
// time-out is not restarted after a handler even with SA_RESTART, so a wait for a device's
// reply must outlast signals instead of failing at the first one.
void TestSignalsDuringReceive()
{
    struct sigaction sa = {};
    sa.sa_handler = OnTestSignal;
    sa.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &sa, nullptr);
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return;
    timeval tv{5, 0};
    setsockopt(sv[0], SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const pthread_t reader = pthread_self();
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i) {
            pthread_kill(reader, SIGUSR1);
            usleep(1000);
        }
        CHECK(write(sv[1], "0123456789", 10) == 10);
    });
    char buf[10];
    CHECK(orvo_tcp_recv(sv[0], buf, sizeof buf, true) == 10 && memcmp(buf, "0123456789", 10) == 0);
    writer.join();
    close(sv[1]);
    CHECK(orvo_tcp_recv(sv[0], buf, sizeof buf, true) == 0);
    close(sv[0]);
}

// Arbitrary bytes: every parser returns one of its codes without touching memory it does not own.
void RandomPass()
{
    std::mt19937 rng(20261208);
    const std::string pieces[] = {"\r\n", "\r\n\r\n", "=", "RESULT", "RESULT=91", "NEWFILE          \n",
                                  "JOBDONE          \n", "DATA  000010     \n", "COLOR", "PROFILE=", "\n", "\r"};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        const int parts = int(rng() % 12);
        for (int i = 0; i < parts; ++i) {
            if (rng() % 2)
                s += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
            else
                for (unsigned n = rng() % 24; n; --n)
                    s += char(rng() % 256);
        }
        const std::string text(s.c_str());
        const int r = orvo_http_ScanStartResult(text.c_str());
        CHECK(r == 0 || r == 3 || r == 4);
        ScannerCapabilities caps{};
        CHECK(orvo_ParseScanCapabilities(&caps, text.c_str()) == 0);
        for (const auto &rec : ReadStream(s, 16))
            CHECK(rec.rc == 0 || rec.rc == 2 || rec.rc == 5 || rec.rc == 9);
    }
}

}  // namespace

int main()
{
    TestStartResult();
    TestCapabilities();
    TestPostBody();
    TestStream();
    TestSignalsDuringReceive();
    RandomPass();
    if (g_iFailures)
        fprintf(stderr, "%d check(s) failed\n", g_iFailures);
    else
        printf("all checks passed\n");
    return g_iFailures ? 1 : 0;
}
