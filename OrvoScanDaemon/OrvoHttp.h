// Small HTTP helpers shared by the scanner's port-80 requests.
#pragma once
#include <cstddef>

#include "orvo-scanproto.h"

constexpr int c_iScanHttpPort = 80;
constexpr size_t c_iHttpReplySize = 8192;  // replies are read into this much, NUL included

// Body of a reply: after the first empty line; a reply starting with CR, or one without an
// empty line, is read from its start.
const char *orvo_http_body(const char *reply);
// Next non-empty line of a text split at CR and LF (the text is cut in place); null at the end.
char *orvo_next_line(char **cursor);
// One request on a new port-80 connection, one receive of up to the reply buffer's size
// (NUL-terminated), then the connection closes. 0, or 9 after a logged failure.
int orvo_http_exchange(const OrvoSocket *sock, const char *request, size_t len, char *reply, size_t replySize);
// Fills "POST <path> ..." with the fixed form headers, a Content-Length, the Host line and body.
int orvo_http_form_request(char *out, size_t size, const char *path, const char *hostLine, const char *body);
// Logs a device's reply by its length and HTTP status: its text is the device's (or
// whatever host a client named), and stays out of the logs.
void orvo_log_reply(const char *what, const char *reply);
