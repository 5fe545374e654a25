#include "ScanHandles.h"

#include <cstdint>
#include <unistd.h>

#include "ScanLog.h"

namespace {

constexpr int c_iMaxHandle = 65536;
unsigned char g_ucOwned[c_iMaxHandle / 8];

bool InRange(int fd)
{
    return fd > 0 && fd < c_iMaxHandle;
}

}  // namespace

bool ScanHandleOwned(int fd)
{
    return InRange(fd) && (g_ucOwned[fd / 8] & (1u << (fd % 8)));
}

void ScanHandleAdd(int fd)
{
    if (InRange(fd))
        g_ucOwned[fd / 8] |= uint8_t(1u << (fd % 8));
    else
        OrvoLogErr("[OrvoScanSDK] device handle %d out of range\n", fd);
}

void ScanHandleRemove(int fd)
{
    if (InRange(fd))
        g_ucOwned[fd / 8] &= uint8_t(~(1u << (fd % 8)));
}

void ScanHandlesCloseAll()
{
    for (int fd = 1; fd < c_iMaxHandle; ++fd)
        if (ScanHandleOwned(fd)) {
            close(fd);
            ScanHandleRemove(fd);
        }
}
