// TCP transport to network scanners: connect with time-outs, complete receives, the host's
// own address for Host lines.
#pragma once
#include <cstddef>

#include "orvo-scan-interim.h"

constexpr int c_iScanTcpTimeoutSec = 5;

int orvo_init_tcp(const char *ip, int port);  // connected socket, or -1
void orvo_close_tcp(int sock);
int orvo_tcp_recv_with_retry(int sock, void *buf, size_t len);  // 0 when all arrived, else -1
// Sends every byte (never raising SIGPIPE); false on a failure, errno set.
bool orvo_tcp_send_all(int sock, const void *buf, size_t len);
int GetHostIPAddress(char *buf, size_t size);  // 0 when an address was copied, else -1

// The scanner address of a client record is used only when it is dotted IPv4 text inside
// its field; anything else must not reach the resolver or a connect.
bool orvo_scanner_ip_valid(const OrvoSocket *sock);
// "Host: <addr>\r\n" with this host's address, or the placeholder when the host has none
// but loopback (scanners reject requests without a Host line).
void orvo_host_line(char *out, size_t size);
