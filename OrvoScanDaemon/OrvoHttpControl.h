// Scan abort and document-feeder state over the scanner's HTTP service.
#pragma once
#include <cstdint>

#include "orvo-scanproto.h"

int orvo_http_ScanAbort(OrvoSocket *sock);  // 0, 4 or 9
int orvo_http_adfstatus(OrvoSocket *sock, int32_t *pStatus);  // 0, 4 or 9
