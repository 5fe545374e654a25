// The firmware stream: the image as it is (no header, length or checksum), in 1 MiB chunks,
// to the printer's bulk OUT endpoint. No reply is read; the printer updates itself afterwards.
#pragma once
#include "UtilLibusb.h"

#include <QString>

#include <functional>

constexpr int c_iFWChunkSize = 1048576;

// Source tag of the stream's log lines and of the shared USB module's (main names it there).
constexpr const char *c_szFWUsbLogSource = "OrvoFWUpdate/UtilLibusb";

// The stream's own failure, beside the opening steps' enUsbResult codes: a chunk was not
// taken whole (the transfer failed, timed out or was short). It never reports
// USB_WRITE_FAILED; this value is the one the updater has always reported.
constexpr int c_iFWStreamFailed = USB_READ_FAILED;

// A printer that takes no data for this long ends the attempt with c_iFWStreamFailed. 30 s per 1 MiB chunk
// is about 35 KiB/s: a slow but healthy printer (USB full speed moves a chunk in about a
// second) never comes near it, and a stuck one no longer holds the updater for good.
constexpr unsigned int c_uiFWChunkTimeoutMs = 30000;

// Told after each chunk how many bytes of the image the printer has taken so far.
using FWProgressFn = std::function<void(int iSent)>;

// Results: USB_OK, the whole image written (also for 0 bytes); USB_INIT_FAILED …
// USB_CLAIM_FAILED from opening the printer; c_iFWStreamFailed.
int FWUpdateTask(int iVendorID, int iProductID, const QString &strPort, const unsigned char *pImage, int iLength,
                 unsigned int uiChunkTimeoutMs = c_uiFWChunkTimeoutMs, const FWProgressFn &fnProgress = {});
