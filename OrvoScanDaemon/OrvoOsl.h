// Attribute requests to the scanner's XML service on port 5000.
#pragma once
#include "orvo-scanproto.h"

constexpr int c_iOslPort = 5000;
constexpr int c_iOslBufferSize = 8192;

// 0 with *ppText a newly allocated, NUL-terminated copy of the reply (caller frees) and
// *pLen its length; 4 for a bad address or type; 9 on a failure.
int orvo_send_osl(OrvoSocket *sock, char **ppText, int type, int *pLen);
