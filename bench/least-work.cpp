// The least work the print service's device side needs, as the reference its benchmark is
// measured against: one USB class status request per USB printer every 1.5 s on a device kept
// open, and one UDP status exchange per network printer every second. Nothing else: no
// scheduler, no files, no threads.
// With --cups-poll it also does the least the job monitor needs from the scheduler: one
// subscription to job and printer state events, fetched with one Get-Notifications every
// 250 ms on one kept connection (the events are not looked at).
//   least-work [--usb VID:PID:SERIAL]... [--net IPV4]... [--cups-poll]   runs until killed
#include <cups/cups.h>
#include <libusb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct UsbPrinter {
    libusb_device_handle *handle = nullptr;
    Clock::time_point next;
};
struct NetPrinter {
    sockaddr_in addr{};
    int sock = -1;
    Clock::time_point next;
};

const unsigned char c_request[15] = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03, 0, 0, 0, 0, 0, 0, 0};

struct CupsPoll {
    http_t *http = nullptr;
    int subscription = 0;
    int sequence = 1;
    Clock::time_point next;
};

ipp_t *ServerRequest(ipp_op_t op)
{
    ipp_t *request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

bool Subscribe(CupsPoll &poll)
{
    static const char *const events[] = {"job-state-changed", "job-completed", "printer-state-changed"};
    poll.http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    if (!poll.http)
        return false;
    ipp_t *request = ServerRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events", 3, nullptr, events);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", 300);
    ipp_t *response = cupsDoRequest(poll.http, request, "/");
    ipp_attribute_t *id = response ? ippFindAttribute(response, "notify-subscription-id", IPP_TAG_INTEGER) : nullptr;
    poll.subscription = id ? ippGetInteger(id, 0) : 0;
    ippDelete(response);
    return poll.subscription != 0;
}

void Fetch(CupsPoll &poll)
{
    ipp_t *request = ServerRequest(IPP_OP_GET_NOTIFICATIONS);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", poll.subscription);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers", poll.sequence);
    ipp_t *response = cupsDoRequest(poll.http, request, "/");
    for (ipp_attribute_t *a = response ? ippFindAttribute(response, "notify-sequence-number", IPP_TAG_INTEGER) : nullptr;
         a; a = ippFindNextAttribute(response, "notify-sequence-number", IPP_TAG_INTEGER))
        poll.sequence = std::max(poll.sequence, ippGetInteger(a, 0) + 1);
    ippDelete(response);
}

libusb_device_handle *OpenPrinter(libusb_context *ctx, unsigned vid, unsigned pid, const std::string &serial)
{
    libusb_device **list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &list);
    libusb_device_handle *found = nullptr;
    for (ssize_t i = 0; i < n && !found; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 || d.idVendor != vid || d.idProduct != pid)
            continue;
        libusb_device_handle *h = nullptr;
        if (libusb_open(list[i], &h) != 0)
            continue;
        unsigned char text[64] = {};
        if (libusb_get_string_descriptor_ascii(h, d.iSerialNumber, text, sizeof text - 1) > 0
            && serial == reinterpret_cast<char *>(text)) {
            found = h;
        } else {
            libusb_close(h);
        }
    }
    if (n >= 0)
        libusb_free_device_list(list, 1);
    if (found) {
        libusb_set_auto_detach_kernel_driver(found, 1);
        if (libusb_claim_interface(found, 0) != 0) {
            libusb_close(found);
            found = nullptr;
        }
    }
    return found;
}
}  // namespace

int main(int argc, char **argv)
{
    libusb_context *ctx = nullptr;
    if (libusb_init(&ctx) != 0) {
        fprintf(stderr, "least-work: no USB context\n");
        return 1;
    }
    std::vector<UsbPrinter> usb;
    std::vector<NetPrinter> net;
    CupsPoll cups;
    bool cupsPoll = false;
    const Clock::time_point start = Clock::now();
    for (int i = 1; i < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--cups-poll") {
            cupsPoll = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "least-work: %s wants a value\n", opt.c_str());
            return 2;
        }
        const std::string value = argv[i + 1];
        if (opt == "--usb") {
            unsigned vid = 0, pid = 0;
            char serial[64] = {};
            if (sscanf(value.c_str(), "%x:%x:%63s", &vid, &pid, serial) != 3) {
                fprintf(stderr, "least-work: bad --usb %s\n", value.c_str());
                return 2;
            }
            UsbPrinter p;
            p.handle = OpenPrinter(ctx, vid, pid, serial);
            if (!p.handle) {
                fprintf(stderr, "least-work: USB printer %s not found\n", value.c_str());
                return 1;
            }
            p.next = start;
            usb.push_back(p);
        } else if (opt == "--net") {
            NetPrinter p;
            p.addr.sin_family = AF_INET;
            p.addr.sin_port = htons(9300);
            if (inet_pton(AF_INET, value.c_str(), &p.addr.sin_addr) != 1) {
                fprintf(stderr, "least-work: bad --net %s\n", value.c_str());
                return 2;
            }
            p.sock = socket(AF_INET, SOCK_DGRAM, 0);
            timeval timeout{2, 0};
            setsockopt(p.sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            p.next = start;
            net.push_back(p);
        } else {
            fprintf(stderr, "least-work: unknown option %s\n", opt.c_str());
            return 2;
        }
    }
    if (cupsPoll && !Subscribe(cups)) {
        fprintf(stderr, "least-work: no event subscription from the scheduler\n");
        return 1;
    }
    cups.next = start;
    printf("ready\n");
    fflush(stdout);
    unsigned char buf[2048];
    for (;;) {
        Clock::time_point due = Clock::now() + std::chrono::seconds(1);
        for (UsbPrinter &p : usb) {
            if (Clock::now() >= p.next) {
                libusb_control_transfer(p.handle, 0xA1, 0x33, 0, 0, buf, 1017, 2000);
                p.next += std::chrono::milliseconds(1500);
            }
            due = std::min(due, p.next);
        }
        for (NetPrinter &p : net) {
            if (Clock::now() >= p.next) {
                sendto(p.sock, c_request, sizeof c_request, 0, reinterpret_cast<const sockaddr *>(&p.addr), sizeof p.addr);
                recv(p.sock, buf, sizeof buf, 0);
                p.next += std::chrono::seconds(1);
            }
            due = std::min(due, p.next);
        }
        if (cupsPoll) {
            if (Clock::now() >= cups.next) {
                Fetch(cups);
                cups.next += std::chrono::milliseconds(250);
            }
            due = std::min(due, cups.next);
        }
        std::this_thread::sleep_until(due);
    }
}
