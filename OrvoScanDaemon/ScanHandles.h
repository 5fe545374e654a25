// Device handles this connection process obtained from a device search or reopen and has
// not closed. A handle a client names is used only when it is one of these: any other
// number could be one of the daemon's own descriptors (its logs, its client socket).
#pragma once

bool ScanHandleOwned(int fd);
void ScanHandleAdd(int fd);
void ScanHandleRemove(int fd);
// Closes every handle the connection still holds.
void ScanHandlesCloseAll();
