// Firmware streams: what a printer takes on its bulk OUT endpoint 0x01, attempt by attempt,
// and the ways a printer fails while it takes them (stops taking data, takes a transfer only
// partly, is unplugged half-way, its interface is held by another program).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mfpsim-device.h"

// Hooks for the USB side; called with g_simLock held.

// A successful claim of an interface. Claiming the printer interface makes the next byte
// on 0x01 the first of a new attempt.
void StreamOnClaim(const stSimDevice &dev, int ifno);
// Whether claims of the printer interface fail as if another program held it.
bool StreamClaimRefused(const stSimDevice &dev);
// The bulk OUT address the printer interface describes: 0x01, unless a test moved it (a
// printer the suite cannot stream to). Takes effect from the next plug; safe from any thread.
uint8_t StreamOutEndpoint(const stSimDevice &dev);

struct stStreamVerdict {
    int iAccepted;  // bytes of the piece the printer takes (from its start)
    bool bHold;  // the piece never completes: it waits until the host gives up
};

// One piece of an OUT transfer: a URB, or a whole usbfs BULK call. bContinuation marks the
// later URBs of one transfer (libusb splits a transfer into several URBs).
stStreamVerdict StreamOnBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len, bool bContinuation);

// "stream ID ..." control commands; data lines go to out, failures to err.
void StreamCommand(const std::vector<std::string> &a, stSimDevice &dev, std::string &out, std::string &err);
// "clear ID" forgets the attempts too.
void StreamClear(const stSimDevice &dev);

// Unplugging mid-stream is done by the main thread: it polls this descriptor and then calls
// StreamOnWake (without g_simLock).
int StreamWakeFd();
void StreamOnWake();
