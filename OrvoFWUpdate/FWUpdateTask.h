// The firmware stream: the image as it is (no header, length or checksum), in 1 MiB chunks,
// to the printer's bulk OUT endpoint. No reply is read; the printer updates itself afterwards.
#pragma once
#include <QString>

#include <functional>

constexpr int c_iFWChunkSize = 1048576;

// A printer that takes no data for this long ends the attempt with -7. 30 s per 1 MiB chunk
// is about 35 KiB/s: a slow but healthy printer (USB full speed moves a chunk in about a
// second) never comes near it, and a stuck one no longer holds the updater for good.
constexpr unsigned int c_uiFWChunkTimeoutMs = 30000;

// Told after each chunk how many bytes of the image the printer has taken so far.
using FWProgressFn = std::function<void(int iSent)>;

// Results: 0 whole image written (also for 0 bytes), -1 libusb init, -2 no such printer,
// -3 no printer interface, -4 open, -5 claim or detach, -7 a write failed, timed out or was short.
int FWUpdateTask(int iVendorID, int iProductID, const QString &strPort, const unsigned char *pImage, int iLength,
                 unsigned int uiChunkTimeoutMs = c_uiFWChunkTimeoutMs, const FWProgressFn &fnProgress = {});
