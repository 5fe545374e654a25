// TCP transport to network scanners: connect with time-outs, complete receives, the host's
// own address for Host lines.
#pragma once
#include <cstddef>
#include <sys/types.h>

#include "orvo-scanproto.h"

constexpr int c_iScanTcpTimeoutSec = 5;

int orvo_init_tcp(const char *ip, int port);  // connected socket, or -1
void orvo_close_tcp(int sock);
// One receive "call": waits up to the 5-second time-out for bytes (for all of them when
// `all` is set), through any signal the process gets meanwhile (the connection process is
// told of its finished data process by SIGCHLD, which would otherwise cut a wait short).
// The bytes received; 0 when the peer closed before any came; -1 on time-out or failure.
ssize_t orvo_tcp_recv(int sock, void *buf, size_t len, bool all);
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
