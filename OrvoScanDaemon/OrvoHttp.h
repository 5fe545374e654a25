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
// Before a request to the client's scanner: 0 with this host's Host line in hostLine, or
// SANE_STATUS_INVAL (logged) when the client's scanner address is not one.
int orvo_http_begin(const OrvoSocket *sock, char *hostLine, size_t size);
// One form POST to the client's scanner with this host's Host line; the reply is logged
// under what. 0 with the reply, SANE_STATUS_INVAL for no scanner address, or
// SANE_STATUS_IO_ERROR when the exchange failed.
int orvo_http_post_form(const OrvoSocket *sock, const char *path, const char *body, const char *what, char *reply,
                        size_t replySize);
// Logs a device's reply by its length and HTTP status: its text is the device's (or
// whatever host a client named), and stays out of the logs.
void orvo_log_reply(const char *what, const char *reply);
