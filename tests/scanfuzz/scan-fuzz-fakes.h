// The device and the system calls the scan daemon's code meets in the fuzz targets:
// descriptor c_iFakeDevFd is a scanner whose answers come from the fuzz input, every other
// descriptor is real. Device searches find nothing (no real device is ever opened) and
// fork fails (no data process is started). Connections to IPv4 addresses are refused.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int c_iFakeDevFd = 1000;

// Each read of the fake device takes a 2-byte little-endian length from the stream
// (0xFFFF: the call fails with a time-out), then that many bytes (bounded by the read's
// size; zeros when the stream ends early). An empty stream makes calls fail with ENODEV.
void FakeDeviceSet(const uint8_t *data, size_t size);
size_t FakeDeviceLeft();
int FakeNextByte();  // -1 when the stream is empty

// Opens both logs on /dev/null, so that every log line is formatted.
void FakeLogsOpen();
