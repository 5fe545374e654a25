// The local server: listening process, one connection process per client.
#pragma once

#include <sys/types.h>

// A request whose first byte came must be whole within this time, or the connection ends.
constexpr int c_iRequestTimeoutMs = 10000;

void mainProc();
// A connection process's start: its reaper of data processes, its own log streams, its
// secret for page names.
void ScanConnectionBegin();
// Serves one client connection until it disconnects or the quit signal; the connection
// process's whole life.
void ServeConnection(int sock);
// Sends the whole record in at most 10 send calls; the bytes sent, or -1.
ssize_t serverTcpSendWithRetry(int sock, const void *data, size_t length, int flags);
// Sends a reply; on failure writes "[OrvoScanSDK] <sendErr>\n" to the error log.
bool ScanReply(int sock, const void *data, size_t length, const char *sendErr);
