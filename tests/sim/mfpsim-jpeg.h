// Baseline JPEG for the network MFP's compressed scans, and a decoder check for tests.
#pragma once
#include <string>

#include "mfpsim-device.h"

// Encodes rows of 1 (gray) or 3 (RGB) bytes per pixel; empty on failure.
Bytes EncodeJpeg(const Bytes &pixels, unsigned width, unsigned height, int components, int quality);
// Decodes a JPEG file; "WIDTH HEIGHT COMPONENTS" or an error text starting with "ERR".
std::string JpegInfo(const std::string &path);
