// The scan data stream of a running network scan: one framed block per call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "orvo-scanproto.h"

constexpr size_t c_iBlockHeaderSize = 18;

// Length field of a block or start header: only ASCII digits (a NUL-free, fixed-width
// field, so a header cannot announce a negative or unbounded length). False otherwise.
bool orvo_block_length(const char *field, size_t width, long *length);

// 0 (image bytes in *ppBuf, *pLen of them; or a begin of page with none), 2 (cancelled by
// the device), 5 (end of data), 9 (stream failure) or 10 (no memory). On every result but 0
// the data connection is closed and tcpFromScanner set to -1.
int orvo_tcp_ScanRecord(OrvoSocket *sock, int32_t *pStatus, unsigned char **ppBuf, uint32_t *pBufSize, uint32_t *pLen);
