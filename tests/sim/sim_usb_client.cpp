// Checks the simulator the way the suite's programs see it: a plain libusb program and a
// UDP client in a separate process, run under the umockdev preload.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <libusb.h>

namespace {

int g_iFailures = 0;

#define CHECK(cond)                                                         \
    do {                                                                    \
        if (!(cond)) {                                                      \
            ++g_iFailures;                                                  \
            fprintf(stderr, "FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond); \
        }                                                                   \
    } while (0)

std::string g_strSock;

// One control command; returns the data lines joined by '\n', and whether it ended in OK.
bool Ctl(const std::string &cmd, std::string *out = nullptr)
{
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    snprintf(sa.sun_path, sizeof sa.sun_path, "%s", g_strSock.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        close(fd);
        return false;
    }
    const std::string line = cmd + "\n";
    if (write(fd, line.data(), line.size()) != ssize_t(line.size())) {
        close(fd);
        return false;
    }
    shutdown(fd, SHUT_WR);
    std::string reply;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        reply.append(buf, size_t(n));
    close(fd);
    const bool ok = reply.size() >= 3 && reply.compare(reply.size() - 3, 3, "OK\n") == 0
                    && (reply.size() == 3 || reply[reply.size() - 4] == '\n');
    if (out) {
        *out = ok ? reply.substr(0, reply.size() - 3) : "";
        if (!out->empty() && out->back() == '\n')
            out->pop_back();
    }
    return ok;
}

std::string CtlValue(const std::string &cmd)
{
    std::string v;
    return Ctl(cmd, &v) ? v : "<ERR>";
}

std::string Hex(const unsigned char *p, size_t n)
{
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02X", p[i]);
        s += b;
    }
    return s;
}

// A small reader of the status response, independent of the suite's parser.
struct stStatus {
    std::string strVendor, strProduct, strSerial, strFirmware;
    int iCode = -1;
    std::vector<unsigned> listErrors, listWarnings;
    std::vector<std::pair<unsigned, unsigned long>> listSupply;
    unsigned long Supply(unsigned tag) const
    {
        for (auto &s : listSupply)
            if (s.first == tag)
                return s.second;
        return ~0ul;
    }
};

bool ReadStatus(const unsigned char *buf, size_t len, stStatus &st)
{
    size_t p = 12;
    auto u8 = [&](unsigned &v) { if (p + 1 > len) return false; v = buf[p++]; return true; };
    auto u16 = [&](unsigned &v) { if (p + 2 > len) return false; v = buf[p] << 8 | buf[p + 1]; p += 2; return true; };
    auto text = [&](std::string &s) {
        unsigned n;
        if (!u16(n) || p + n > len)
            return false;
        s.assign(reinterpret_cast<const char *>(buf + p), n);
        p += n;
        return true;
    };
    auto codes = [&](std::vector<unsigned> &l) {
        unsigned n, c;
        if (!u8(n))
            return false;
        for (unsigned i = 0; i < n; ++i) {
            if (!u16(c))
                return false;
            l.push_back(c);
        }
        return true;
    };
    unsigned v, s;
    std::string fifth;
    if (len <= 7 || !text(st.strVendor) || !text(st.strProduct) || !text(st.strSerial) || !u16(v) || !u8(v))
        return false;
    st.iCode = int(v);
    if (!text(st.strFirmware) || !text(fifth) || !codes(st.listErrors) || !codes(st.listWarnings) || !u8(v)
        || !u16(v) || !u16(v) || !u8(s))
        return false;
    for (unsigned i = 0; i < s; ++i) {
        unsigned tag, n;
        if (!u16(tag) || !u8(n) || p + n > len)
            return false;
        unsigned long val = 0;
        for (unsigned k = 0; k < n; ++k)
            val = val << 8 | buf[p + k];
        p += n;
        st.listSupply.emplace_back(tag, val);
    }
    return true;
}

std::string Serial(libusb_device_handle *h)
{
    libusb_device_descriptor d;
    unsigned char s[64] = {0};
    if (libusb_get_device_descriptor(libusb_get_device(h), &d) != 0
        || libusb_get_string_descriptor_ascii(h, d.iSerialNumber, s, sizeof s) < 0)
        return "";
    return reinterpret_cast<char *>(s);
}

// Opens the 300E:2005 device with the given serial, or null.
libusb_device_handle *OpenBySerial(libusb_context *ctx, const std::string &serial, int *count = nullptr)
{
    libusb_device **list;
    const ssize_t n = libusb_get_device_list(ctx, &list);
    libusb_device_handle *found = nullptr;
    int matching = 0;
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d;
        if (libusb_get_device_descriptor(list[i], &d) != 0 || d.idVendor != 0x300E || d.idProduct != 0x2005)
            continue;
        ++matching;
        libusb_device_handle *h;
        if (found || libusb_open(list[i], &h) != 0)
            continue;
        if (Serial(h) == serial)
            found = h;
        else
            libusb_close(h);
    }
    if (n >= 0)
        libusb_free_device_list(list, 1);
    if (count)
        *count = matching;
    return found;
}

int StatusRequest(libusb_device_handle *h, unsigned char *buf1024)
{
    memset(buf1024, 0, 1024);
    return libusb_control_transfer(h, 0xA1, 0x33, 0, 0, buf1024 + 7, 1017, 2000);
}

void TestUsbStatusAndCancel(libusb_context *ctx)
{
    CHECK(Ctl("set ink p1 75 50 25 5"));
    CHECK(Ctl("set status p1 16"));
    CHECK(Ctl("set errors p1 0x6151,0x5200"));
    CHECK(Ctl("set warnings p1 0x6143"));
    CHECK(Ctl("set field p1 firmware V2.3.4 beta"));
    CHECK(Ctl("set field p1 pages 0x12345"));
    CHECK(Ctl("set field p1 waste -"));

    int count = 0;
    libusb_device_handle *h = OpenBySerial(ctx, "AB1234", &count);
    CHECK(count == 2);
    CHECK(h != nullptr);
    if (!h)
        return;
    CHECK(libusb_kernel_driver_active(h, 0) == 1);
    CHECK(libusb_claim_interface(h, 0) == LIBUSB_ERROR_BUSY);
    CHECK(libusb_detach_kernel_driver(h, 0) == 0);
    CHECK(libusb_kernel_driver_active(h, 0) == 0);
    CHECK(libusb_claim_interface(h, 0) == 0);

    unsigned char buf[1024];
    const int n = StatusRequest(h, buf);
    CHECK(n > 33);
    stStatus st;
    CHECK(n > 0 && ReadStatus(buf, size_t(n) + 7, st));
    CHECK(st.strVendor == "Orvo");
    CHECK(st.strProduct == "K20NW");
    CHECK(st.strSerial == "AB1234");
    CHECK(st.strFirmware == "V2.3.4 beta");
    CHECK(st.iCode == 16);
    CHECK((st.listErrors == std::vector<unsigned>{0x6151, 0x5200}));
    CHECK((st.listWarnings == std::vector<unsigned>{0x6143}));
    CHECK(st.Supply(0x4043) == 75 && st.Supply(0x4143) == 50 && st.Supply(0x4243) == 25 && st.Supply(0x4343) == 5);
    CHECK(st.Supply(0x1003) == 0x12345);
    CHECK(st.Supply(0x1001) == ~0ul);
    CHECK(st.Supply(0x1000) == 100);
    CHECK(n > 0 && ReadStatus(buf, size_t(n) + 6, st) == false);  // one byte short fails
    CHECK(CtlValue("get p1 requests") == "1");

    CHECK(CtlValue("get p1 cancels") == "0");
    unsigned char junk[1017];
    CHECK(libusb_control_transfer(h, 0xA1, 0x34, 0, 0, junk, sizeof junk, 2000) >= 0);
    CHECK(CtlValue("get p1 cancels") == "1");
    CHECK(CtlValue("get p2 cancels") == "0");

    CHECK(Ctl("usb p1 stall on"));
    CHECK(StatusRequest(h, buf) == LIBUSB_ERROR_PIPE);
    CHECK(Ctl("usb p1 stall off"));
    CHECK(Ctl("set raw p1 0102"));
    CHECK(StatusRequest(h, buf) == 2 && buf[7] == 1 && buf[8] == 2);
    CHECK(Ctl("set raw p1"));
    CHECK(StatusRequest(h, buf) == n);
    libusb_close(h);

    // The second printer of the same model keeps its own, default state.
    h = OpenBySerial(ctx, "CD5678");
    CHECK(h != nullptr);
    if (!h)
        return;
    CHECK(libusb_detach_kernel_driver(h, 0) == 0 && libusb_claim_interface(h, 0) == 0);
    const int n2 = StatusRequest(h, buf);
    stStatus st2;
    CHECK(n2 > 0 && ReadStatus(buf, size_t(n2) + 7, st2));
    CHECK(st2.strSerial == "CD5678" && st2.iCode == 0 && st2.listErrors.empty());
    CHECK(st2.Supply(0x4043) == 80 && st2.Supply(0x4143) == 60 && st2.Supply(0x4243) == 40 && st2.Supply(0x4343) == 20);
    libusb_close(h);
}

void TestBulk(libusb_context *ctx)
{
    libusb_device_handle *h = OpenBySerial(ctx, "AB1234");
    CHECK(h != nullptr);
    if (!h)
        return;
    libusb_set_auto_detach_kernel_driver(h, 1);
    CHECK(libusb_claim_interface(h, 0) == 0);
    unsigned char frame[] = {0xA5, 0x00, 0x05, 0x50, 0xE0, 0x74, 0x08, 0x10};
    int done = 0;
    CHECK(libusb_bulk_transfer(h, 0x01, frame, sizeof frame, &done, 2000) == 0 && done == int(sizeof frame));
    CHECK(CtlValue("get p1 bulkout clear") == "A5000550E0740810");
    CHECK(CtlValue("get p1 bulkout") == "");

    std::vector<unsigned char> big(100000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<unsigned char>(i * 7);
    CHECK(libusb_bulk_transfer(h, 0x01, big.data(), int(big.size()), &done, 5000) == 0 && done == 100000);
    std::string lens = CtlValue("get p1 bulkoutlen");
    CHECK(lens.rfind("100000 ", 0) == 0);
    CHECK(CtlValue("get p1 bulkout clear") == Hex(big.data(), big.size()));

    unsigned char in[1024];
    CHECK(Ctl("queue p1 bulkin A50004DEADBEEF"));
    CHECK(libusb_bulk_transfer(h, 0x81, in, sizeof in, &done, 2000) == 0);
    CHECK(Hex(in, size_t(done)) == "A50004DEADBEEF");
    // Nothing queued: the read times out after its own time-out.
    CHECK(libusb_bulk_transfer(h, 0x81, in, sizeof in, &done, 200) == LIBUSB_ERROR_TIMEOUT);
    // A reply queued while the read is waiting is delivered to it.
    bool queued = false;
    std::thread later([&queued] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        queued = Ctl("queue p1 bulkin 0102030405");
    });
    CHECK(libusb_bulk_transfer(h, 0x81, in, sizeof in, &done, 3000) == 0 && Hex(in, size_t(done)) == "0102030405");
    later.join();
    CHECK(queued);
    // A reply longer than the buffer is handed out over several reads; an empty one reads as 0 bytes.
    CHECK(Ctl("queue p1 bulkin 112233"));
    CHECK(Ctl("queue p1 bulkin"));
    CHECK(CtlValue("get p1 bulkin") == "2");
    CHECK(libusb_bulk_transfer(h, 0x81, in, 2, &done, 2000) == 0 && Hex(in, size_t(done)) == "1122");
    CHECK(libusb_bulk_transfer(h, 0x81, in, 2, &done, 2000) == 0 && Hex(in, size_t(done)) == "33");
    CHECK(libusb_bulk_transfer(h, 0x81, in, sizeof in, &done, 2000) == 0 && done == 0);
    std::string controls = CtlValue("get p1 controls clear");
    CHECK(controls.find("A1 34 0000 0000 03F9") != std::string::npos);
    CHECK(CtlValue("get p1 controls") == "");
    libusb_close(h);
}

// The scanner side is driven through usbfs directly, without libusb.
void TestRawUsbfs(libusb_context *ctx)
{
    libusb_device_handle *h = OpenBySerial(ctx, "CD5678");
    CHECK(h != nullptr);
    if (!h)
        return;
    char node[64];
    snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", libusb_get_bus_number(libusb_get_device(h)),
             libusb_get_device_address(libusb_get_device(h)));
    libusb_close(h);
    const int fd = open(node, O_RDWR);
    CHECK(fd >= 0);
    if (fd < 0)
        return;
    unsigned char desc[18];
    CHECK(read(fd, desc, sizeof desc) == 18 && desc[8] == 0x0E && desc[9] == 0x30 && desc[10] == 0x05);
    unsigned iface = 1;
    CHECK(ioctl(fd, USBDEVFS_CLAIMINTERFACE, &iface) == 0);

    unsigned char buf[1017];
    usbdevfs_ctrltransfer ct{0xA1, 0x33, 0, 0, sizeof buf, 2000, buf};
    const int n = ioctl(fd, USBDEVFS_CONTROL, &ct);
    stStatus st;
    std::vector<unsigned char> full(7, 0);
    full.insert(full.end(), buf, buf + (n > 0 ? n : 0));
    CHECK(n > 0 && ReadStatus(full.data(), full.size(), st) && st.strSerial == "CD5678");

    unsigned char cmd[] = {'S', 'C', 'A', 'N'};
    usbdevfs_bulktransfer out{0x02, sizeof cmd, 1000, cmd};
    CHECK(ioctl(fd, USBDEVFS_BULK, &out) == 4);
    CHECK(CtlValue("get p2 bulkout 0x02 clear") == "5343414E");
    CHECK(Ctl("queue p2 bulkin 0A0B0C 0x82"));
    unsigned char in[512];
    usbdevfs_bulktransfer rd{0x82, sizeof in, 1000, in};
    CHECK(ioctl(fd, USBDEVFS_BULK, &rd) == 3 && Hex(in, 3) == "0A0B0C");
    const auto t0 = std::chrono::steady_clock::now();
    rd.timeout = 200;
    CHECK(ioctl(fd, USBDEVFS_BULK, &rd) == -1 && errno == ETIMEDOUT);
    CHECK(std::chrono::steady_clock::now() - t0 >= std::chrono::milliseconds(190));
    close(fd);
}

void TestUnplug(libusb_context *ctx)
{
    libusb_device_handle *held = OpenBySerial(ctx, "AB1234");
    CHECK(held != nullptr);
    bool unplugged = false;
    std::thread later([&unplugged] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        unplugged = Ctl("unplug p1");
    });
    if (held) {  // a read waiting when the device goes away ends at once
        libusb_set_auto_detach_kernel_driver(held, 1);
        unsigned char in[64];
        int done = 0;
        const auto t0 = std::chrono::steady_clock::now();
        CHECK(libusb_claim_interface(held, 0) == 0);
        CHECK(libusb_bulk_transfer(held, 0x81, in, sizeof in, &done, 3000) == LIBUSB_ERROR_NO_DEVICE);
        CHECK(std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(2000));
    }
    later.join();
    CHECK(unplugged);
    CHECK(CtlValue("get p1 plugged") == "no");
    unsigned char buf[1024];
    if (held) {
        CHECK(StatusRequest(held, buf) < 0);
        libusb_close(held);
    }
    // A fresh context, as every exchange of the suite makes, no longer finds it.
    libusb_context *fresh;
    CHECK(libusb_init(&fresh) == 0);
    int count = -1;
    libusb_device_handle *h = OpenBySerial(fresh, "AB1234", &count);
    CHECK(h == nullptr && count == 1);
    libusb_exit(fresh);

    CHECK(Ctl("plug p1"));
    CHECK(libusb_init(&fresh) == 0);
    h = OpenBySerial(fresh, "AB1234", &count);
    CHECK(h != nullptr && count == 2);
    if (h) {
        CHECK(libusb_kernel_driver_active(h, 0) == 1);  // the new appearance is bound again
        CHECK(libusb_detach_kernel_driver(h, 0) == 0 && libusb_claim_interface(h, 0) == 0);
        stStatus st;
        const int n = StatusRequest(h, buf);
        CHECK(n > 0 && ReadStatus(buf, size_t(n) + 7, st) && st.iCode == 16);  // state survives the replug
        libusb_close(h);
    }
    libusb_exit(fresh);
}

int UdpExchange(const unsigned char *req, size_t len, unsigned char *reply, size_t cap, int timeoutMs)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(9300);
    inet_pton(AF_INET, "127.0.0.2", &sa.sin_addr);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    int n = -1;
    if (sendto(fd, req, len, 0, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == ssize_t(len))
        n = int(recv(fd, reply, cap, 0));
    close(fd);
    return n;
}

void TestUdp()
{
    const unsigned char req[15] = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03};
    unsigned char reply[2048];
    CHECK(Ctl("set ink n1 10 20 30 40"));
    int n = UdpExchange(req, sizeof req, reply, sizeof reply, 2000);
    CHECK(n > 40);
    if (n > 7) {
        CHECK(reply[0] == 0xA5 && (reply[1] << 8 | reply[2]) == n - 3);
        CHECK(Hex(reply + 3, 4) == "50E07408");
        stStatus st;
        CHECK(ReadStatus(reply, size_t(n), st));
        CHECK(st.strProduct == "K40N" && st.iCode == 0);
        CHECK(st.Supply(0x4043) == 10 && st.Supply(0x4343) == 40);
    }
    CHECK(CtlValue("get n1 requests") == "1");

    const unsigned char frame[] = {0xA5, 0x00, 0x04, 0x50, 0xE0, 0x74, 0x20};
    CHECK(UdpExchange(frame, sizeof frame, reply, sizeof reply, 300) < 0);  // nothing queued: no answer
    CHECK(Ctl("queue n1 netreply A50002CAFE"));
    n = UdpExchange(frame, sizeof frame, reply, sizeof reply, 2000);
    CHECK(n == 5 && Hex(reply, 5) == "A50002CAFE");
    CHECK(CtlValue("get n1 netrx clear") == "A5000450E07420\nA5000450E07420");
    CHECK(CtlValue("get n1 netrx") == "");

    CHECK(Ctl("net n1 silent on"));
    CHECK(UdpExchange(req, sizeof req, reply, sizeof reply, 300) < 0);
    CHECK(Ctl("net n1 silent off"));
    CHECK(UdpExchange(req, sizeof req, reply, sizeof reply, 2000) > 40);
    CHECK(CtlValue("get n1 requests") == "3");
}

void TestControlErrors()
{
    CHECK(!Ctl("set ink nosuch 1 2 3 4"));
    CHECK(!Ctl("set ink p1 1 2 3"));
    CHECK(!Ctl("set errors p1 0x6151,zz"));
    CHECK(!Ctl("set field p1 nosuch 1"));
    CHECK(!Ctl("net p1 silent on"));
    CHECK(!Ctl("queue n1 bulkin 00"));
    CHECK(!Ctl("frobnicate"));
    std::string env;
    CHECK(Ctl("get env", &env) && env == std::string("UMOCKDEV_DIR=") + (getenv("UMOCKDEV_DIR") ?: ""));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: sim_usb_client SOCKET\n");
        return 2;
    }
    g_strSock = argv[1];
    libusb_context *ctx;
    if (libusb_init(&ctx) != 0) {
        fprintf(stderr, "FAIL libusb_init\n");
        return 1;
    }
    TestUsbStatusAndCancel(ctx);
    TestBulk(ctx);
    TestRawUsbfs(ctx);
    libusb_exit(ctx);
    CHECK(libusb_init(&ctx) == 0);
    TestUnplug(ctx);
    libusb_exit(ctx);
    TestUdp();
    TestControlErrors();
    printf("%s: %d failure(s)\n", argv[0], g_iFailures);
    return g_iFailures == 0 ? 0 : 1;
}
