// Fuzz target: the scanner command protocol fed arbitrary device answers. Input: a
// sequence of operations, each one byte choosing what the daemon asks, followed by the
// answers the device gives (see scan-fuzz-fakes.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "OrvoScanner.h"
#include "OrvoUsb.h"
#include "scan-fuzz-fakes.h"

namespace {

// A data process's record loop: records until one ends the scan.
void Records()
{
    unsigned char *buf = nullptr;
    uint16_t bufSize = 0;
    for (int i = 0; i < 64 && FakeDeviceLeft(); ++i) {
        int st = 0;
        uint16_t got = 0;
        const int r = ScanRecord(c_iFakeDevFd, &st, &buf, &bufSize, &got);
        if (got > bufSize)
            abort();  // more image bytes reported than the buffer holds
        if (got)
            memset(buf, 0, got);
        if (r != 0)
            break;
    }
    free(buf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FakeLogsOpen();
    FakeDeviceSet(data, size);
    for (int op; (op = FakeNextByte()) >= 0;) {
        const int arg = FakeNextByte();
        switch (op % 8) {
        case 0:
            ResponseScanner(c_iFakeDevFd, CommandType((arg < 0 ? 0 : arg) % 9));
            break;
        case 1:
            Records();
            break;
        case 2: {
            int adf = 0;
            ScanADFStatus(c_iFakeDevFd, &adf);
            break;
        }
        case 3: {
            ResScanDeviceProperties props;
            ScanDeviceProperties(c_iFakeDevFd, &props);
            break;
        }
        case 4:
            ScanPowerOn(c_iFakeDevFd);
            break;
        case 5: {
            tagSettingInfo info = {};
            info.bitDepth = uint8_t(arg);
            info.feederEnabled = uint8_t(arg & 1);
            info.xResolution = 1200;
            ScanLock(c_iFakeDevFd, &info);
            break;
        }
        case 6: {
            usb_device_descriptor des = {};
            des.iManufacturer = uint8_t(arg);
            des.iProduct = uint8_t(arg >> 1);
            des.iSerialNumber = uint8_t(arg >> 2);
            const USBFindDevRes res = converToDevRes(c_iFakeDevFd, &des);
            if (memchr(res.Manufacturer, 0, sizeof res.Manufacturer) == nullptr
                || memchr(res.Product, 0, sizeof res.Product) == nullptr
                || memchr(res.SerialNumber, 0, sizeof res.SerialNumber) == nullptr)
                abort();  // a string without its terminator
            break;
        }
        default: {
            unsigned char buf[700];
            ReadWithRetry(c_iFakeDevFd, buf, (arg < 0 ? 0 : arg) * 2 + 100);
            break;
        }
        }
    }
    return 0;
}
