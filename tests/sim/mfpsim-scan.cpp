#include "mfpsim-scan.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "mfpsim-scanpattern.h"
#include "mfpsim-usb.h"

namespace {

constexpr uint8_t c_ucStart = 0x1B;
constexpr uint8_t c_ucClassScan = 0x53;
constexpr uint8_t c_ucClassDevice = 0x44;
constexpr uint8_t c_ucOk = 0x80;
constexpr int c_iRecordFields = 23;
constexpr int c_iMaxChunk = 65535 - c_iRecordFields;

enum enPhase { PHASE_IDLE,
               PHASE_BEGIN_PAGE,
               PHASE_DATA,
               PHASE_END_PAGE,
               PHASE_END_DATA };

struct stSimScanner {
    // Settings and behaviour chosen by the test.
    int iFeederPages = 2;  // pages a multi-page feeder scan delivers
    int iAdfStatus = 2;  // loaded
    int iChunk = 32768;  // image bytes per record
    int iWarmup = 5;  // seconds reported by power-on
    std::map<int, uint8_t> mapFlags;  // command code -> answer flag (default 0x80)
    int iLeftoverRecords = 0;  // record answers put in front of the next answer
    bool bLeftoverAbort = false;  // and an abort answer after them
    int iStalls = 0;  // reads of the IN endpoint that stall
    int iAbortAfter = -1;  // data records before the device aborts by itself
    int iHoldAfter = -1;  // records of a scan after which it pauses until "release"

    // What the host did.
    Bytes lockRequest;
    int iLocks = 0, iUnlocks = 0, iStarts = 0, iAborts = 0, iResets = 0, iRecords = 0;
    int iWaiting = 0;
    bool bLocked = false;

    // The running scan.
    enPhase enState = PHASE_IDLE;
    int iDepth = 24;
    uint32_t uWidth = 0, uHeight = 0;
    int iPages = 1;
    int iPage = 0;
    uint64_t ulOffset = 0;
    int iDataRecords = 0;
    int iScanRecords = 0;
};

std::map<const stSimDevice *, stSimScanner> g_mapScanners;

stSimScanner &Scanner(const stSimDevice &dev)
{
    return g_mapScanners[&dev];
}

Bytes Answer(uint8_t cls, uint8_t code, uint8_t flag, const Bytes &data = {}, uint8_t reserved = 0)
{
    Bytes b(8 + data.size());
    const uint8_t head[8] = {c_ucStart, cls, code, 0, uint8_t(data.size()), uint8_t(data.size() >> 8), flag, reserved};
    std::copy(head, head + 8, b.begin());
    std::copy(data.begin(), data.end(), b.begin() + 8);
    return b;
}

void PutLe32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

Bytes RecordAnswer(const stSimScanner &s, int status, int imageBytes)
{
    Bytes b{c_ucStart, c_ucClassScan, 0x02, 0};
    const int dataSize = c_iRecordFields + imageBytes;
    b.push_back(uint8_t(dataSize));
    b.push_back(uint8_t(dataSize >> 8));
    b.push_back(c_ucOk);
    b.push_back(0);
    b.push_back(uint8_t(status));
    b.push_back(0);  // flip
    b.push_back(0);  // split
    PutLe32(b, s.uWidth);
    PutLe32(b, s.uHeight);
    PutLe32(b, 0);
    PutLe32(b, 0);
    PutLe32(b, 0);
    return b;
}

void Queue(stSimDevice &dev, Bytes b)
{
    dev.mapBulkIn[c_iScanEpIn].push_back(std::move(b));
}

// Left-over records (and an abort answer) of an earlier scan, when the test asked for them.
void QueueLeftovers(stSimDevice &dev, stSimScanner &s)
{
    for (; s.iLeftoverRecords > 0; --s.iLeftoverRecords)
        Queue(dev, RecordAnswer(s, 0, 0));
    if (s.bLeftoverAbort)
        Queue(dev, Answer(c_ucClassScan, 0x0F, c_ucOk));
    s.bLeftoverAbort = false;
}

uint8_t FlagFor(const stSimScanner &s, int code)
{
    const auto it = s.mapFlags.find(code);
    return it == s.mapFlags.end() ? c_ucOk : it->second;
}

uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
}

void OnLock(stSimScanner &s, const uint8_t *data, int len)
{
    s.lockRequest.assign(data, data + len);
    ++s.iLocks;
    if (len < 55)
        return;
    s.iDepth = data[8] == 1 ? 1 : data[8] == 2 ? 8
                                               : 24;
    s.uWidth = Le32(data + 12);
    s.uHeight = Le32(data + 16);
    s.iPages = data[32] == 3 ? s.iFeederPages : 1;
}

void OnStart(stSimScanner &s)
{
    ++s.iStarts;
    s.enState = s.uWidth && s.uHeight ? PHASE_BEGIN_PAGE : PHASE_END_DATA;
    s.iPage = 0;
    s.ulOffset = 0;
    s.iDataRecords = 0;
    s.iScanRecords = 0;
}

void OnAbort(stSimDevice &dev, stSimScanner &s)
{
    ++s.iAborts;
    s.enState = PHASE_IDLE;
    dev.mapBulkIn[c_iScanEpIn].clear();
    Queue(dev, Answer(c_ucClassScan, 0x0F, c_ucOk));
}

}  // namespace

void ScanOnBulkOut(stSimDevice &dev, const uint8_t *data, int len)
{
    if (len < 8 || data[0] != c_ucStart)
        return;
    stSimScanner &s = Scanner(dev);
    const uint8_t cls = data[1], code = data[2];
    if (cls == c_ucClassScan && code == 0x0F) {
        OnAbort(dev, s);
        return;
    }
    QueueLeftovers(dev, s);
    const uint8_t flag = FlagFor(s, cls == c_ucClassDevice ? 0x100 | code : code);
    if (cls == c_ucClassDevice && code == 0x04) {
        Queue(dev, Answer(cls, code, flag, {uint8_t(s.iWarmup)}));
        return;
    }
    if (cls != c_ucClassScan) {
        Queue(dev, Answer(cls, code, 0x81));
        return;
    }
    switch (code) {
    case 0x01:
        Queue(dev, Answer(cls, code, flag));
        if (flag == c_ucOk)
            OnStart(s);
        break;
    case 0x03: {
        Bytes props{1, 2, 0, 3, 4, 8, 0, 0};
        PutLe32(props, 0x11223344);
        props.insert(props.end(), {0x66, 0x55, 0x07, 0});
        Queue(dev, Answer(cls, code, flag, props));
        break;
    }
    case 0x04:
        Queue(dev, Answer(cls, code, flag, {}, uint8_t(s.iAdfStatus)));
        break;
    case 0x05:
        OnLock(s, data, len);
        s.bLocked = s.bLocked || flag == c_ucOk;
        Queue(dev, Answer(cls, code, flag));
        break;
    case 0x06:
        ++s.iUnlocks;
        s.bLocked = false;
        Queue(dev, Answer(cls, code, flag));
        break;
    case 0x0A:
        Queue(dev, Answer(cls, code, flag, {0}));
        break;
    default:
        Queue(dev, Answer(cls, code, 0x81));
        break;
    }
}

bool ScanProduce(stSimDevice &dev)
{
    stSimScanner &s = Scanner(dev);
    if (s.enState == PHASE_IDLE || (s.iHoldAfter >= 0 && s.iScanRecords >= s.iHoldAfter))
        return false;
    ++s.iRecords;
    ++s.iScanRecords;
    switch (s.enState) {
    case PHASE_BEGIN_PAGE:
        Queue(dev, RecordAnswer(s, 9, 0));
        s.enState = PHASE_DATA;
        s.ulOffset = 0;
        break;
    case PHASE_DATA: {
        if (s.iAbortAfter >= 0 && s.iDataRecords >= s.iAbortAfter) {
            Queue(dev, Answer(c_ucClassScan, 0x0F, c_ucOk));
            s.enState = PHASE_IDLE;
            break;
        }
        const uint64_t pageBytes = uint64_t(ScanPatternRowBytes(s.iDepth, s.uWidth)) * s.uHeight;
        const int n = int(std::min<uint64_t>(uint64_t(s.iChunk), pageBytes - s.ulOffset));
        Queue(dev, RecordAnswer(s, 0, n));
        Bytes image(static_cast<size_t>(n));
        ScanPatternFill(s.iDepth, s.uWidth, s.iPage, s.ulOffset, image.data(), image.size());
        Queue(dev, std::move(image));
        s.ulOffset += uint64_t(n);
        ++s.iDataRecords;
        if (s.ulOffset >= pageBytes)
            s.enState = PHASE_END_PAGE;
        break;
    }
    case PHASE_END_PAGE:
        Queue(dev, RecordAnswer(s, 7, 0));
        ++s.iPage;
        s.enState = s.iPage < s.iPages ? PHASE_BEGIN_PAGE : PHASE_END_DATA;
        break;
    case PHASE_END_DATA:
        Queue(dev, RecordAnswer(s, 1, 0));
        s.enState = PHASE_IDLE;
        break;
    case PHASE_IDLE:
        break;
    }
    return true;
}

bool ScanTakeStall(stSimDevice &dev)
{
    stSimScanner &s = Scanner(dev);
    if (s.iStalls <= 0)
        return false;
    --s.iStalls;
    return true;
}

void ScanOnReset(stSimDevice &dev)
{
    ++Scanner(dev).iResets;
}

void ScanClear(stSimDevice &dev)
{
    g_mapScanners.erase(&dev);
}

void ScanReaderWaits(stSimDevice &dev, int delta)
{
    Scanner(dev).iWaiting += delta;
}

std::string ScanControl(const std::vector<std::string> &a, stSimDevice &dev, std::string &err)
{
    std::lock_guard<std::mutex> lock(g_simLock);
    stSimScanner &s = Scanner(dev);
    const std::string &what = a[2];
    unsigned long v = 0, v2 = 0;
    const bool num = a.size() >= 4 && ParseNumber(a[3], v);
    std::string out;
    if (what == "info" && a.size() == 3) {
        out = "locks " + std::to_string(s.iLocks) + "\nunlocks " + std::to_string(s.iUnlocks) + "\nstarts "
              + std::to_string(s.iStarts) + "\naborts " + std::to_string(s.iAborts) + "\nresets "
              + std::to_string(s.iResets) + "\nrecords " + std::to_string(s.iRecords) + "\nwaiting "
              + std::to_string(s.iWaiting) + "\nscanning " + (s.enState != PHASE_IDLE ? "1" : "0") + "\nlocked "
              + (s.bLocked ? "1" : "0") + "\n";
    } else if (what == "lockreq" && a.size() == 3) {
        out = ToHex(s.lockRequest) + "\n";
    } else if (what == "pages" && num && a.size() == 4 && v >= 1 && v <= 100) {
        s.iFeederPages = int(v);
    } else if (what == "adf" && num && a.size() == 4 && v <= 255) {
        s.iAdfStatus = int(v);
    } else if (what == "chunk" && num && a.size() == 4 && v >= 1 && v <= unsigned(c_iMaxChunk)) {
        s.iChunk = int(v);
    } else if (what == "warmup" && num && a.size() == 4 && v <= 255) {
        s.iWarmup = int(v);
    } else if (what == "flag" && num && a.size() == 5 && ParseNumber(a[4], v2) && v <= 0x1FF && v2 <= 0xFF) {
        s.mapFlags[int(v)] = uint8_t(v2);
    } else if (what == "leftover" && num && (a.size() == 4 || (a.size() == 5 && a[4] == "abort"))) {
        s.iLeftoverRecords = int(v);
        s.bLeftoverAbort = a.size() == 5;
    } else if (what == "stall" && num && a.size() == 4) {
        s.iStalls = int(v);
    } else if (what == "abortafter" && num && a.size() == 4) {
        s.iAbortAfter = int(v);
    } else if (what == "hold" && num && a.size() == 4) {
        s.iHoldAfter = int(v);
    } else if (what == "release" && a.size() == 3) {
        s.iHoldAfter = -1;
    } else {
        err = "usage: scan ID info|lockreq|pages N|adf N|chunk N|warmup N|flag CODE FLAG|leftover N [abort]"
              "|stall N|abortafter N|hold N|release";
        return "";
    }
    return out;
}
