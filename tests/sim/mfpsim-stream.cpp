#include "mfpsim-stream.h"

#include <algorithm>
#include <fcntl.h>
#include <glib.h>
#include <map>
#include <memory>
#include <unistd.h>

#include "mfpsim-ctl.h"
#include "mfpsim-usb.h"

namespace {

constexpr int c_iStreamEndpoint = 0x01;
constexpr int c_iPrinterInterface = 0;

struct stChecksumFree {
    void operator()(GChecksum *p) const { g_checksum_free(p); }
};

struct stAttempt {
    uint64_t ullBytes = 0;
    std::vector<uint64_t> listSizes;  // bytes taken per transfer
    std::unique_ptr<GChecksum, stChecksumFree> pSha{g_checksum_new(G_CHECKSUM_SHA256)};
    long long llHold = -1;  // the limits this attempt runs under, -1 for none
    long long llPartial = -1;
    long long llUnplug = -1;
    bool bUnplugAsked = false;
};

struct stStream {
    bool bNewAttempt = true;
    std::vector<stAttempt> listAttempts;
    long long llHold = -1;  // every attempt: takes this many bytes, then nothing more
    long long llPartial = -1;  // next attempt only: takes this many bytes, then completes short
    long long llUnplug = -1;  // next attempt only: unplugged after this many bytes
    bool bBusy = false;
    unsigned uRefused = 0;  // claims refused as busy
    bool bUnplugPending = false;
};

std::map<const stSimDevice *, stStream> g_mapStreams;

// Read while a device is plugged, when g_simLock may or may not be held: a lock of its own.
std::mutex g_endpointLock;
std::map<const stSimDevice *, uint8_t> g_mapOutEndpoint;

// Made once, on first use from whichever thread.
const int *WakePipe()
{
    static int fds[2] = {-1, -1};
    static const int made = pipe2(fds, O_CLOEXEC | O_NONBLOCK);
    (void)made;
    return fds;
}

stStream &StreamOf(const stSimDevice &dev)
{
    return g_mapStreams[&dev];
}

void Wake()
{
    const char c = 1;
    ssize_t rc = write(WakePipe()[1], &c, 1);
    (void)rc;
}

stAttempt &BeginAttempt(stStream &s)
{
    s.listAttempts.emplace_back();
    stAttempt &at = s.listAttempts.back();
    at.llHold = s.llHold;
    at.llPartial = s.llPartial;
    at.llUnplug = s.llUnplug;
    s.llPartial = -1;
    s.llUnplug = -1;
    s.bNewAttempt = false;
    return at;
}

std::string Report(const stAttempt &at)
{
    std::unique_ptr<GChecksum, stChecksumFree> copy(g_checksum_copy(at.pSha.get()));
    std::string sizes;
    for (uint64_t n : at.listSizes)
        sizes += (sizes.empty() ? "" : ",") + std::to_string(n);
    return std::to_string(at.ullBytes) + " " + std::to_string(at.listSizes.size()) + " "
           + g_checksum_get_string(copy.get()) + " " + (sizes.empty() ? "-" : sizes);
}

// "N" or "off" into a limit.
bool ParseLimit(const std::string &s, long long &limit)
{
    unsigned long v = 0;
    if (s == "off") {
        limit = -1;
        return true;
    }
    if (!ParseNumber(s, v) || v > (1UL << 40))
        return false;
    limit = static_cast<long long>(v);
    return true;
}

}  // namespace

void StreamOnClaim(const stSimDevice &dev, int ifno)
{
    if (ifno == c_iPrinterInterface)
        StreamOf(dev).bNewAttempt = true;
}

bool StreamClaimRefused(const stSimDevice &dev)
{
    stStream &s = StreamOf(dev);
    if (s.bBusy)
        ++s.uRefused;
    return s.bBusy;
}

uint8_t StreamOutEndpoint(const stSimDevice &dev)
{
    std::lock_guard<std::mutex> lock(g_endpointLock);
    const auto it = g_mapOutEndpoint.find(&dev);
    return it == g_mapOutEndpoint.end() ? uint8_t(c_iStreamEndpoint) : it->second;
}

stStreamVerdict StreamOnBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len, bool bContinuation)
{
    if (ep != c_iStreamEndpoint)
        return {len, false};
    stStream &s = StreamOf(dev);
    stAttempt &at = (s.bNewAttempt || s.listAttempts.empty()) ? BeginAttempt(s) : s.listAttempts.back();
    if (!bContinuation || at.listSizes.empty())
        at.listSizes.push_back(0);

    // The lowest limit of the attempt decides what happens once it is reached.
    long long limit = -1;
    enum { HOLD,
           PARTIAL,
           UNPLUG } mode = HOLD;
    const std::pair<long long, int> limits[] = {{at.llHold, HOLD}, {at.llPartial, PARTIAL}, {at.llUnplug, UNPLUG}};
    for (const auto &l : limits)
        if (l.first >= 0 && (limit < 0 || l.first < limit)) {
            limit = l.first;
            mode = static_cast<decltype(mode)>(l.second);
        }

    stStreamVerdict v{len, false};
    if (limit >= 0 && static_cast<long long>(at.ullBytes) + len > limit) {
        v.iAccepted = static_cast<int>(std::max(0LL, limit - static_cast<long long>(at.ullBytes)));
        v.bHold = mode != PARTIAL;
        if (mode == UNPLUG && !at.bUnplugAsked) {
            at.bUnplugAsked = true;
            s.bUnplugPending = true;
            Wake();
        }
    }
    if (v.iAccepted > 0)
        g_checksum_update(at.pSha.get(), data, v.iAccepted);
    at.ullBytes += static_cast<uint64_t>(v.iAccepted);
    at.listSizes.back() += static_cast<uint64_t>(v.iAccepted);
    return v;
}

void StreamCommand(const std::vector<std::string> &a, stSimDevice &dev, std::string &out, std::string &err)
{
    const char *usage = "usage: stream ID hold|partial|unplug N|off, stream ID busy on|off, stream ID endpoint OUTEP, "
                        "stream ID attempts|clear|refused";
    if (!dev.bUsb || a.size() < 3 || a.size() > 4) {
        err = usage;
        return;
    }
    unsigned long ep = 0;
    if (a.size() == 4 && a[2] == "endpoint") {
        if (!ParseNumber(a[3], ep) || ep < 1 || ep > 0x0F) {
            err = "usage: stream ID endpoint OUTEP (1..15)";
            return;
        }
        std::lock_guard<std::mutex> lock(g_endpointLock);
        g_mapOutEndpoint[&dev] = uint8_t(ep);
        return;
    }
    std::lock_guard<std::mutex> lock(g_simLock);
    stStream &s = StreamOf(dev);
    const std::string &what = a[2];
    if (a.size() == 3 && what == "attempts") {
        for (const stAttempt &at : s.listAttempts)
            out += Report(at) + "\n";
    } else if (a.size() == 3 && what == "refused") {
        out += std::to_string(s.uRefused) + "\n";
    } else if (a.size() == 3 && what == "clear") {
        s.listAttempts.clear();
        s.bNewAttempt = true;
    } else if (a.size() == 4 && what == "busy" && (a[3] == "on" || a[3] == "off")) {
        s.bBusy = a[3] == "on";
    } else if (a.size() == 4 && what == "hold" && ParseLimit(a[3], s.llHold)) {
    } else if (a.size() == 4 && what == "partial" && ParseLimit(a[3], s.llPartial)) {
    } else if (a.size() == 4 && what == "unplug" && ParseLimit(a[3], s.llUnplug)) {
    } else {
        err = usage;
    }
}

void StreamClear(const stSimDevice &dev)
{
    stStream &s = StreamOf(dev);
    s.listAttempts.clear();
    s.bNewAttempt = true;
}

int StreamWakeFd()
{
    return WakePipe()[0];
}

void StreamOnWake()
{
    char buf[64];
    while (read(WakePipe()[0], buf, sizeof buf) > 0) {
    }
    std::vector<stSimDevice *> unplug;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        for (auto &d : SimDevices()) {
            stStream &s = StreamOf(*d);
            if (s.bUnplugPending) {
                s.bUnplugPending = false;
                unplug.push_back(d.get());
            }
        }
    }
    for (stSimDevice *d : unplug)
        UsbUnplug(*d);
}
