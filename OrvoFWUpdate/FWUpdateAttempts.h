// Up to three attempts of the firmware stream, each from the image's first byte, and the
// text the user is shown for the last result.
#pragma once
#include <QString>

#include <functional>

constexpr int c_iFWUpdateAttempts = 3;
constexpr int c_iFWRetryPauseMs = 100;

// Told when an attempt starts (iSent 0) and after each of its chunks.
using FWAttemptProgressFn = std::function<void(int iAttempt, int iSent)>;

// Returns the last attempt's result; pauses 100 ms after every failed attempt.
int RunFWUpdateAttempts(int iVendorID, int iProductID, const QString &strPort, const unsigned char *pImage,
                        int iLength, unsigned int uiChunkTimeoutMs, const FWAttemptProgressFn &fnProgress = {});

QString FWUpdateResultText(int iResult);
