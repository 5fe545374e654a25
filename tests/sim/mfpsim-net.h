// Network side: one UDP socket on port 9300 of a loopback address per network MFP.
#pragma once

#include <string>

#include "mfpsim-device.h"

constexpr int c_iStatusPort = 9300;

bool NetOpen(stSimDevice &dev, std::string &err);
void NetReceive(stSimDevice &dev);  // serves one datagram; takes g_simLock itself
