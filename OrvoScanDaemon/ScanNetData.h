// The network scan start, its data process, and the one scan data connection a connection
// process holds.
#pragma once

#include "orvo-scanproto.h"

// Puts into the record the data connection this process opened for its last scan (or -1),
// whatever descriptor the client sent back, and forgets it here: the caller's network
// function closes it. A client's number is never taken as a descriptor to close.
void ScanNetTakeDataFd(OrvoSocket *sock);
// Closes the data connection of this process's last scan, if it still holds one.
void ScanNetReleaseDataFd();
