// The scanner's capabilities page: KEY=VALUE lines read into ScannerCapabilities.
#pragma once
#include "orvo-scanproto.h"

int orvo_http_DeviceProperties(OrvoSocket *sock, ScannerCapabilities *caps);  // 0, 4 or 9
int orvo_ParseScanCapabilities(ScannerCapabilities *caps, const char *reply);  // 0
int orvo_SetScanCapabilities(ScannerCapabilities *caps, const char *key, const char *value);  // 0
