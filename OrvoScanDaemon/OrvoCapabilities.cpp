#include "OrvoCapabilities.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "OrvoHttp.h"
#include "SaneStatus.h"
#include "ScanLog.h"

namespace {

// A decimal number as the device writes it; out-of-range text saturates instead of wrapping.
uint32_t Number(const char *value)
{
    const long long v = strtoll(value, nullptr, 10);
    return v < 0 ? 0 : v > UINT32_MAX ? UINT32_MAX
                                      : uint32_t(v);
}

}  // namespace

int orvo_SetScanCapabilities(ScannerCapabilities *caps, const char *key, const char *value)
{
    struct stNumberKey {
        const char *key;
        uint32_t ScannerCapabilities::*field;
    };
    static const stNumberKey numbers[] = {
        {"MINRES", &ScannerCapabilities::minres},
        {"MAXRES", &ScannerCapabilities::maxres},
        {"WIDTH_FORMAT", &ScannerCapabilities::width_format},
        {"FAMILY", &ScannerCapabilities::family},
        {"MAX_WIDTH", &ScannerCapabilities::maxWidth},
        {"MAX_HEIGHT", &ScannerCapabilities::maxHeight},
        {"BASIC_RESOLUTION", &ScannerCapabilities::basicres},
    };
    if (strcmp(key, "DUPLEX") == 0)
        caps->duplex = strcmp(value, "true") == 0;
    else if (strcmp(key, "COLOR") == 0)
        caps->color = strcmp(value, "COLOR") == 0;
    else if (strcmp(key, "PERMPROFILES") == 0)
        caps->permprofiles = strcmp(value, "true") == 0;
    else if (strcmp(key, "PROFILE") == 0)
        caps->profile = strcmp(value, "DISABLED") != 0;
    else
        for (const auto &n : numbers)
            if (strcmp(key, n.key) == 0)
                caps->*n.field = Number(value);
    return 0;
}

int orvo_ParseScanCapabilities(ScannerCapabilities *caps, const char *reply)
{
    const char *body = orvo_http_body(reply);
    OrvoLogInfo("[OrvoScanSDK] orvo_ParseScanCapabilities %zu bytes\n", strlen(body));
    const size_t size = strlen(body) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (!copy) {
        OrvoLogErr("[OrvoScanSDK] orvo_ParseScanCapabilities out of memory\n");
        return 0;
    }
    memcpy(copy, body, size);
    char *cursor = copy;
    for (char *line; (line = orvo_next_line(&cursor));) {
        char *eq = strchr(line, '=');
        if (!eq)
            continue;
        *eq = '\0';
        orvo_SetScanCapabilities(caps, line, eq + 1);
    }
    free(copy);
    return 0;
}

int orvo_http_DeviceProperties(OrvoSocket *sock, ScannerCapabilities *caps)
{
    char hostLine[64];
    if (const int rc = orvo_http_begin(sock, hostLine, sizeof hostLine))
        return rc;
    char request[1024];
    const int len = snprintf(request, sizeof request,
                             "GET /netscan/capabilites HTTP/1.1\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
                             "User-Agent: Jav/1.6.0_18\r\n%s\r\nConnection: Keep-Alive\r\n"
                             "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\n\n",
                             hostLine);
    static char reply[c_iHttpReplySize];
    if (orvo_http_exchange(sock, request, size_t(len), reply, sizeof reply) != 0)
        return SANE_STATUS_IO_ERROR;
    return orvo_ParseScanCapabilities(caps, reply);
}
