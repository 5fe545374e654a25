// Drives the installed backend through its SANE entry points, as a front end does.
//   sane_drive BACKEND cycles N DEVICE
//       N times open, scan a page, cancel, close against the running scan daemon, and every
//       fourth cycle a scan on a handle kept open throughout: the process's descriptor count
//       stays where it was after the first cycle, and after sane_exit (which closes the kept
//       handle) where it was before sane_init.
//   sane_drive BACKEND hung SECONDS
//       against a stand-in daemon on 127.0.0.1:7003 that stops answering (at the scan
//       start, in the middle of a record, mid-page) with orvo.conf's timeout at SECONDS:
//       sane_start, sane_read and sane_close each return within SECONDS + 1 s with an
//       I/O error; a busy answer is reported as busy; the next scan reconnects and works.
// Prints one line per check with the time the call took.
#include "orvo-sane-options.h"
#include "orvo-scanproto.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sane/sane.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct stSane {
    SANE_Status (*init)(SANE_Int *, SANE_Auth_Callback);
    void (*exit)();
    SANE_Status (*open)(SANE_String_Const, SANE_Handle *);
    void (*close)(SANE_Handle);
    SANE_Status (*start)(SANE_Handle);
    SANE_Status (*read)(SANE_Handle, SANE_Byte *, SANE_Int, SANE_Int *);
    void (*cancel)(SANE_Handle);
    SANE_Status (*control)(SANE_Handle, SANE_Int, SANE_Action, void *, SANE_Int *);
    SANE_String_Const (*strstatus)(SANE_Status);
};
stSane g_sane;
int g_fails = 0;

template <typename F>
void Bind(void *lib, F &fn, const char *name)
{
    fn = reinterpret_cast<F>(dlsym(lib, name));
    if (!fn) {
        fprintf(stderr, "%s: %s\n", name, dlerror());
        exit(2);
    }
}

void Check(bool ok, const char *what, double seconds = -1)
{
    if (seconds >= 0)
        printf("%s %s (%.2f s)\n", ok ? "ok  " : "FAIL", what, seconds);
    else
        printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    fflush(stdout);
    g_fails += ok ? 0 : 1;
}

int CountFds()
{
    DIR *d = opendir("/proc/self/fd");
    int n = 0;
    while (readdir(d))
        ++n;
    closedir(d);
    return n;  // "." and ".." and the directory's own descriptor included, every time alike
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A small gray area at a low resolution: the cycles test the descriptors, not the scanner.
void SmallArea(SANE_Handle h)
{
    char gray[] = "Gray";
    g_sane.control(h, OPT_MODE, SANE_ACTION_SET_VALUE, gray, nullptr);
    SANE_Word res = 75, x = SANE_FIX(20.0), y = SANE_FIX(10.0);
    g_sane.control(h, OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &res, nullptr);
    g_sane.control(h, OPT_BR_X, SANE_ACTION_SET_VALUE, &x, nullptr);
    g_sane.control(h, OPT_BR_Y, SANE_ACTION_SET_VALUE, &y, nullptr);
}

// Reads until the page ends; the last status.
SANE_Status ReadPage(SANE_Handle h, long *pBytes = nullptr)
{
    SANE_Byte buf[32768];
    SANE_Int len = 0;
    SANE_Status st;
    long total = 0;
    while ((st = g_sane.read(h, buf, sizeof buf, &len)) == SANE_STATUS_GOOD)
        total += len;
    if (pBytes)
        *pBytes = total;
    return st;
}

SANE_Status ScanOnce(SANE_Handle h)
{
    SANE_Status st = g_sane.start(h);
    if (st == SANE_STATUS_GOOD)
        st = ReadPage(h);
    g_sane.cancel(h);
    return st;
}

SANE_Handle Open(const char *device)
{
    SANE_Handle h = nullptr;
    if (g_sane.open(device, &h) != SANE_STATUS_GOOD) {
        Check(false, "open");
        exit(1);
    }
    SmallArea(h);
    return h;
}

int Cycles(int n, const char *device)
{
    const int atStart = CountFds();
    g_sane.init(nullptr, nullptr);
    SANE_Handle kept = Open(device);
    int afterFirst = -1;
    for (int i = 0; i < n; ++i) {
        SANE_Handle h = Open(device);
        SANE_Status st = ScanOnce(h);
        g_sane.close(h);
        if (st == SANE_STATUS_EOF && i % 4 == 0)
            st = ScanOnce(kept);
        if (st != SANE_STATUS_EOF) {
            printf("FAIL cycle %d: %s\n", i, g_sane.strstatus(st));
            return 1;
        }
        if (i == 0)
            afterFirst = CountFds();
    }
    const int afterAll = CountFds();
    g_sane.exit();
    const int afterExit = CountFds();
    printf("descriptors: %d at start, %d after one cycle, %d after %d cycles, %d after sane_exit\n", atStart,
           afterFirst, afterAll, n, afterExit);
    Check(afterAll == afterFirst, "open/scan/close cycles keep the descriptor count");
    Check(afterExit == atStart, "sane_exit gives back every descriptor");
    return g_fails ? 1 : 0;
}

// ---- the stand-in daemon ----

enum enStandIn {
    SI_SCAN,  // a whole page: begin of page, the data, end of data
    SI_HANG_START,  // the scan start is never answered
    SI_PARTIAL_START,  // 8 bytes of the start reply, then nothing
    SI_HANG_PAGE,  // half the page, then nothing (an abort is not answered either)
    SI_PARTIAL_RECORD,  // half the page and 6 bytes of the next record, then nothing
    SI_HANG_AFTER_OPEN,  // nothing after the device is open
    SI_BUSY,  // the scan start answers busy, with no page name
};
std::atomic<int> g_mode{SI_SCAN};
std::atomic<int> g_scans{0};
std::atomic<long> g_pageBytes{0};  // of the last lock's settings

const int32_t c_devFd = 7;

size_t RequestSize(int32_t code)
{
    switch (code) {
    case USB_FIND_DEV:
        return sizeof(USBFindDevReq);
    case USB_SCAN_LOCK:
        return sizeof(USBScanLockReq);
    case USB_SCAN_ABORT:
        return sizeof(USBScanAbortReq);
    case CMD_DELETE_FILE:
        return sizeof(CmdDeleteFileReq);
    case USB_OPEN_DEV:
    case USB_CLOSE_DEV:
    case USB_SCAN_START:
    case USB_SCAN_UNLOCK:
    case USB_SCAN_ADFSTATUS:
    case USB_SCAN_DEVPROPERTIES:
        return sizeof(USBCommonReq);
    default:
        return 0;
    }
}

bool RecvAll(int fd, void *buf, size_t len)
{
    size_t got = 0;
    while (got < len) {
        const ssize_t n = recv(fd, static_cast<char *>(buf) + got, len - got, 0);
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

void Send(int fd, const void *p, size_t len)
{
    if (send(fd, p, len, MSG_NOSIGNAL) != ssize_t(len))
        perror("stand-in send");
}

void SendRecord(int fd, int32_t st, int32_t index, int32_t size, int32_t result, size_t len = 16)
{
    const USBScanRecordRes r{st, index, size, result};
    Send(fd, &r, len);
}

// Silent from here on: reads and drops what comes until the client goes.
void Hang(int fd)
{
    char buf[4096];
    while (recv(fd, buf, sizeof buf, 0) > 0) {
    }
}

void ScanStart(int fd)
{
    const int mode = g_mode;
    if (mode == SI_HANG_START)
        return Hang(fd);
    USBScanStartRes res{};
    if (mode == SI_BUSY) {
        res.result = SANE_STATUS_DEVICE_BUSY;
        return Send(fd, &res, sizeof res);
    }
    snprintf(res.fileName, sizeof res.fileName, "%s/orvoscandata_%d_%d", ORVO_SCAN_DIR, int(getpid()), g_scans++);
    if (mode == SI_PARTIAL_START) {
        Send(fd, &res, 8);
        return Hang(fd);
    }
    const std::string page = std::string(res.fileName) + "_0.tmp";
    const int pf = open(page.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Send(fd, &res, sizeof res);
    SendRecord(fd, SCAN_STATUS_BEGIN_OF_PAGE, 0, 0, 0);
    const std::vector<uint8_t> data(size_t(g_pageBytes), 0x80);
    const size_t half = mode == SI_SCAN ? data.size() : data.size() / 2;
    if (pf < 0 || write(pf, data.data(), half) != ssize_t(half))
        perror("stand-in page");
    if (pf >= 0)
        close(pf);
    SendRecord(fd, SCAN_STATUS_OPERATION_CONTINUOUS, 1, int32_t(half), 0);
    if (mode == SI_SCAN)
        return SendRecord(fd, SCAN_STATUS_END_OF_DATA, 1, 0, SANE_STATUS_EOF);
    if (mode == SI_PARTIAL_RECORD)
        SendRecord(fd, SCAN_STATUS_OPERATION_CONTINUOUS, 1, 100, 0, 6);
    Hang(fd);
}

void Serve(int fd)
{
    int32_t code;
    uint8_t req[1100];
    while (RecvAll(fd, &code, 4) && RequestSize(code) > 0 && RecvAll(fd, req, RequestSize(code))) {
        if (g_mode == SI_HANG_AFTER_OPEN && code != USB_FIND_DEV && code != USB_OPEN_DEV
            && code != USB_SCAN_DEVPROPERTIES)
            return Hang(fd);
        switch (code) {
        case USB_FIND_DEV: {
            const int32_t count = 1;
            USBFindDevRes dev{};
            dev.fd = c_devFd;
            dev.vid = 0x300E;
            snprintf(dev.Product, sizeof dev.Product, "K20NW");
            snprintf(dev.SerialNumber, sizeof dev.SerialNumber, "HUNG1");
            Send(fd, &count, sizeof count);
            Send(fd, &dev, sizeof dev);
            break;
        }
        case USB_SCAN_DEVPROPERTIES: {
            const USBScanDevicePropertiesRes props{};
            Send(fd, &props, sizeof props);
            break;
        }
        case USB_SCAN_START:
            ScanStart(fd);
            break;
        case USB_SCAN_LOCK: {
            const tagSettingInfo &info = reinterpret_cast<const USBScanLockReq *>(req)->info;
            g_pageBytes = long(info.width) * long(info.height) * (info.bitDepth == 24 ? 3 : 1);
            const int32_t result = 0;
            Send(fd, &result, 4);
            break;
        }
        case USB_SCAN_ABORT: {
            const USBScanAbortReq *r = reinterpret_cast<const USBScanAbortReq *>(req);
            unlink((std::string(r->fileName, strnlen(r->fileName, sizeof r->fileName)) + "_0.tmp").c_str());
            const int32_t result = 0;
            Send(fd, &result, 4);
            break;
        }
        case CMD_DELETE_FILE: {
            const CmdDeleteFileReq *r = reinterpret_cast<const CmdDeleteFileReq *>(req);
            unlink(std::string(r->fileName, strnlen(r->fileName, sizeof r->fileName)).c_str());
            break;
        }
        default: {
            const int32_t result = 0;
            Send(fd, &result, 4);
        }
        }
    }
}

void StandIn(int listener)
{
    for (;;) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Serve(fd);
        close(fd);
    }
}

int Hung(int seconds)
{
    char dir[] = "/tmp/sanedrive.XXXXXX";
    if (!mkdtemp(dir))
        return 2;
    const std::string conf = std::string(dir) + "/orvo.conf";
    FILE *f = fopen(conf.c_str(), "w");
    fprintf(f, "printerlist no\ntimeout %d\n", seconds);
    fclose(f);
    setenv("SANE_CONFIG_DIR", dir, 1);

    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(ORVO_SCAN_PORT);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0 || listen(listener, 8) < 0) {
        perror("stand-in daemon");
        return 2;
    }
    std::thread(StandIn, listener).detach();

    g_sane.init(nullptr, nullptr);
    const double bound = seconds + 1.0;
    auto timed = [](auto fn) {
        const double t0 = Now();
        fn();
        return Now() - t0;
    };
    SANE_Handle h = nullptr;
    auto openDevice = [&] {
        g_mode = SI_SCAN;
        h = nullptr;
        if (g_sane.open("usb:HUNG1", &h) != SANE_STATUS_GOOD) {
            Check(false, "open against the stand-in daemon");
            exit(1);
        }
        SmallArea(h);
    };
    char what[160];
    SANE_Status st = SANE_STATUS_GOOD;
    double t;

    for (int mode : {SI_HANG_START, SI_PARTIAL_START}) {
        openDevice();
        g_mode = mode;
        t = timed([&] { st = g_sane.start(h); });
        snprintf(what, sizeof what, "sane_start, daemon %s: %s", mode == SI_HANG_START ? "silent" : "stops mid-reply",
                 g_sane.strstatus(st));
        Check(st == SANE_STATUS_IO_ERROR && t < bound, what, t);
        t = timed([&] { g_sane.close(h); });
        Check(t < bound, "sane_close after it", t);
    }

    for (int mode : {SI_HANG_PAGE, SI_PARTIAL_RECORD}) {
        openDevice();
        g_mode = mode;
        // The wait falls into sane_start or a sane_read, wherever the missing part is due:
        // each call keeps the bound, and the page ends in an I/O error.
        t = timed([&] { st = g_sane.start(h); });
        Check(st == SANE_STATUS_GOOD && t < bound, "sane_start of a page the daemon stops sending", t);
        SANE_Byte buf[65536];
        long got = 0;
        SANE_Status last = SANE_STATUS_GOOD;
        double tMax = 0;
        while (last == SANE_STATUS_GOOD) {
            SANE_Int n = 0;
            t = timed([&] { last = g_sane.read(h, buf, sizeof buf, &n); });
            tMax = t > tMax ? t : tMax;
            got += n;
        }
        snprintf(what, sizeof what, "sane_read, daemon %s mid-page (%ld of %ld bytes): %s, longest read",
                 mode == SI_HANG_PAGE ? "silent" : "stops mid-record", got, long(g_pageBytes), g_sane.strstatus(last));
        Check(last == SANE_STATUS_IO_ERROR && got > 0 && got <= g_pageBytes / 2 && tMax < bound, what, tMax);
        g_mode = SI_SCAN;
        long bytes = 0;
        st = g_sane.start(h);
        if (st == SANE_STATUS_GOOD)
            st = ReadPage(h, &bytes);
        snprintf(what, sizeof what, "the next scan on the same handle: %s, %ld bytes", g_sane.strstatus(st), bytes);
        Check(st == SANE_STATUS_EOF && bytes == g_pageBytes && bytes > 0, what);
        g_sane.cancel(h);
        g_sane.close(h);
    }

    // Closed in the middle of a page while the daemon hangs: the abort is not answered.
    openDevice();
    g_mode = SI_HANG_PAGE;
    st = g_sane.start(h);
    t = timed([&] { g_sane.close(h); });
    Check(st == SANE_STATUS_GOOD && t < bound, "sane_close mid-page, daemon silent", t);

    // Nothing is answered after the open: close still returns in time.
    openDevice();
    g_mode = SI_HANG_AFTER_OPEN;
    t = timed([&] { g_sane.close(h); });
    Check(t < bound, "sane_close, daemon silent", t);

    openDevice();
    g_mode = SI_BUSY;
    t = timed([&] { st = g_sane.start(h); });
    snprintf(what, sizeof what, "sane_start, scanner busy with another client: %s", g_sane.strstatus(st));
    Check(st == SANE_STATUS_DEVICE_BUSY && t < 1.0, what, t);
    g_sane.close(h);

    g_sane.exit();
    unlink(conf.c_str());
    rmdir(dir);
    return g_fails ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: sane_drive BACKEND cycles N DEVICE | BACKEND hung SECONDS\n");
        return 2;
    }
    void *lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    Bind(lib, g_sane.init, "sane_orvo_init");
    Bind(lib, g_sane.exit, "sane_orvo_exit");
    Bind(lib, g_sane.open, "sane_orvo_open");
    Bind(lib, g_sane.close, "sane_orvo_close");
    Bind(lib, g_sane.start, "sane_orvo_start");
    Bind(lib, g_sane.read, "sane_orvo_read");
    Bind(lib, g_sane.cancel, "sane_orvo_cancel");
    Bind(lib, g_sane.control, "sane_orvo_control_option");
    Bind(lib, g_sane.strstatus, "sane_orvo_strstatus");
    const std::string mode = argv[2];
    if (mode == "cycles" && argc == 5)
        return Cycles(atoi(argv[3]), argv[4]);
    if (mode == "hung")
        return Hung(atoi(argv[3]));
    fprintf(stderr, "unknown mode %s\n", argv[2]);
    return 2;
}
