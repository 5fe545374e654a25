// Serves usbfs calls forwarded by usbfwd-preload (see mfpsim-usbfwd-wire.h), each on its
// own connection and thread, so that a bulk read blocked on a device does not hold up
// another process's call on the same descriptor.
#pragma once

#include <string>

bool UsbFwdStart(const std::string &path, std::string &err);
void UsbFwdStop();
