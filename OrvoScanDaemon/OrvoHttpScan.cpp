#include "OrvoHttpScan.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "OrvoHttp.h"
#include "OrvoTcp.h"
#include "OrvoTcpRecord.h"
#include "SaneStatus.h"
#include "ScanLog.h"

namespace {

const char *const c_szPostKeys[eNumPostCmd] = {
    "SCANTYPE", "ADVCONTRAST", "BACKGROUNDREMOVAL", "COMPRESSION", "CONTRAST", "DARKNESS", "DEPTH",
    "DOCSOURCE", "EDGETOEDGE", "IPADDRESS", "JPEGQUALITY", "KEEPALIVE", "NAME", "ORIENTATION",
    "RESOLUTION", "SCANSOURCE", "SHARPNESS", "START_NOW", "TCPPORT", "TYPE", "SINGLEPAGE",
    "CUSTOM_WIDTH", "CUSTOM_HEIGHT", "OFFSETX", "OFFSETY"};

void SetValue(LSP_POST_CMD &f, unsigned long v)
{
    snprintf(f.value, sizeof f.value, "%lu", v);
}

// The login name of the daemon's user, as the scanner shows it on its panel.
void LoginName(char *out, size_t size)
{
    passwd pw;
    passwd *found = nullptr;
    char buf[1024];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found)
        snprintf(out, size, "%s", found->pw_name);
}

// Whole seconds are too coarse for the 500 ms pause between connection attempts.
void PauseMs(long ms)
{
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// Reads the start header and the header block that follows it, which carries nothing we use.
int ReadStartHeader(int dataFd)
{
    char header[20];
    if (orvo_tcp_recv_with_retry(dataFd, header, sizeof header) != 0) {
        OrvoLogErr("[OrvoScanSDK] recv record scan data err\n");
        return SANE_STATUS_IO_ERROR;
    }
    long length = 0;
    if (!orvo_block_length(header + 8, 6, &length)) {
        OrvoLogErr("[OrvoScanSDK] recv record scan data err\n");
        return SANE_STATUS_IO_ERROR;
    }
    char *block = static_cast<char *>(malloc(size_t(length) + 1));
    if (!block) {
        OrvoLogErr("[OrvoScanSDK] realloc record headerBuffer error\n");
        return SANE_STATUS_IO_ERROR;
    }
    const int rc = orvo_tcp_recv_with_retry(dataFd, block, size_t(length));
    free(block);
    if (rc != 0) {
        OrvoLogErr("[OrvoScanSDK] recv record header data error\n");
        return SANE_STATUS_IO_ERROR;
    }
    return 0;
}

}  // namespace

void orvo_fill_post_fields(LSP_POST_CMD fields[eNumPostCmd], const tagSettingInfo *info)
{
    memset(fields, 0, sizeof(LSP_POST_CMD) * eNumPostCmd);
    for (int i = 0; i < eNumPostCmd; ++i)
        snprintf(fields[i].key, sizeof fields[i].key, "%s", c_szPostKeys[i]);
    const bool jpeg = info->compType == COMPRESSION_JPEG;
    snprintf(fields[eScanType].value, 256, "2");
    SetValue(fields[eAdvContrast], info->ContrastParam);
    if (info->backgroundRemoval)
        SetValue(fields[eBackgroundRemoval], info->backgroundRemovalParam);
    snprintf(fields[eCompression].value, 256, "JPEG");
    snprintf(fields[eContrast].value, 256, "MIXED");
    SetValue(fields[eDarkness], info->BrightnessParam);
    snprintf(fields[eDepth].value, 256, "%s", info->bitDepth == 1 ? "other" : info->bitDepth == 8 ? "8"
                                                                                                  : "24");
    snprintf(fields[eDocSource].value, 256, "0");
    snprintf(fields[eEdgeToEdge].value, 256, "0");
    snprintf(fields[eIpAddress].value, 256, "%s", c_szPlaceholderIP);
    if (jpeg)
        snprintf(fields[eJpegQuality].value, 256, "70");
    snprintf(fields[eKeepAlive].value, 256, "0");
    LoginName(fields[eName].value, sizeof fields[eName].value);
    snprintf(fields[eOrientation].value, 256, "PORTRAIT");
    SetValue(fields[eResolution], info->xResolution);
    snprintf(fields[eScanSource].value, 256, "%d", info->feederEnabled ? SCAN_SOURCE_ADF : SCAN_SOURCE_FLATBED);
    snprintf(fields[eSharpness].value, 256, "0");
    snprintf(fields[eStartNow].value, 256, "1");
    SetValue(fields[eTcpPort], c_iScanDataPort);
    snprintf(fields[eType].value, 256, "%s", jpeg ? "JPEG" : "RAW");
    if (info->feederEnabled && info->isClient == 0)
        snprintf(fields[eSinglePage].value, 256, "TRUE");
    SetValue(fields[eCustomWidth], info->width);
    SetValue(fields[eCustomHeight], info->height);
    SetValue(fields[eOffsetX], info->xStart);
    SetValue(fields[eOffsetY], info->yStart);
}

int orvo_build_post_body(const LSP_POST_CMD fields[eNumPostCmd], char *out, size_t size)
{
    size_t len = 0;
    out[0] = '\0';
    for (int i = 0; i < eNumPostCmd; ++i) {
        const int n = snprintf(out + len, size - len, "%s=%s&", fields[i].key, fields[i].value);
        if (n < 0 || size_t(n) >= size - len)
            return -1;
        len += size_t(n);
    }
    return int(len);
}

int orvo_http_ScanStartResult(const char *reply)
{
    const size_t size = strlen(reply) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (!copy)
        return 0;
    memcpy(copy, reply, size);
    char *cursor = copy + (orvo_http_body(reply) - reply);
    int rc = SANE_STATUS_GOOD;
    for (char *line; (line = orvo_next_line(&cursor));) {
        char *eq = strchr(line, '=');
        if (!eq)
            continue;
        *eq = '\0';
        if (strcmp(line, "RESULT") != 0)
            continue;
        const long v = strtol(eq + 1, nullptr, 10);
        rc = v == RESULT_SUCCESS ? SANE_STATUS_GOOD : v == RESULT_DEVICEBUSY ? SANE_STATUS_DEVICE_BUSY
                                                                             : SANE_STATUS_INVAL;
        break;
    }
    free(copy);
    return rc;
}

int orvo_http_ScanStart(OrvoSocket *sock, const tagSettingInfo *info)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    if (sock->tcpFromScanner >= 0) {
        orvo_close_tcp(sock->tcpFromScanner);
        sock->tcpFromScanner = -1;
    }
    if (!orvo_scanner_ip_valid(sock)) {
        OrvoLogErr("[OrvoScanSDK] invalid scanner address\n");
        return SANE_STATUS_INVAL;
    }
    LSP_POST_CMD fields[eNumPostCmd];
    orvo_fill_post_fields(fields, info);
    static char body[8192];
    static char request[12288];
    char hostLine[64];
    snprintf(hostLine, sizeof hostLine, "Host: %s\r\n", c_szPlaceholderIP);
    int len = orvo_build_post_body(fields, body, sizeof body);
    if (len >= 0)
        len = orvo_http_form_request(request, sizeof request, "/netscan/post", hostLine, body);
    if (len < 0 || size_t(len) >= sizeof request)
        return SANE_STATUS_INVAL;
    OrvoLogInfo("[OrvoScanSDK] %s\n", request);

    const int http = orvo_init_tcp(sock->szScannerIP, c_iScanHttpPort);
    if (http < 0) {
        OrvoLogErr("[OrvoScanSDK] orvo_init_tcp 80 ERR\n");
        return SANE_STATUS_IO_ERROR;
    }
    if (!orvo_tcp_send_all(http, request, size_t(len))) {
        OrvoLogErr("[OrvoScanSDK] send orvo_http_ScanStart msg error: %s(errno: %d)\n", strerror(errno), errno);
        orvo_close_tcp(http);
        return SANE_STATUS_IO_ERROR;
    }
    // The reply is bounded by the buffer: a device that fills it without a RESULT line is busy.
    static char reply[c_iHttpReplySize];
    size_t got = 0;
    reply[0] = '\0';
    for (int call = 0; call < 10 && !strstr(reply, "RESULT=") && got < sizeof reply - 1; ++call) {
        const ssize_t n = orvo_tcp_recv(http, reply + got, sizeof reply - 1 - got, false);
        if (n > 0) {
            got += size_t(n);
            reply[got] = '\0';
        } else {
            usleep(1);
        }
    }
    if (!strstr(reply, "RESULT=")) {
        orvo_log_reply("orvo_http_ScanStart", reply);
        orvo_close_tcp(http);
        OrvoLogErr("[OrvoScanSDK] recv orvo_http_ScanStart error\n");
        return SANE_STATUS_DEVICE_BUSY;
    }
    orvo_log_reply("orvo_http_ScanStart", reply);
    const int result = orvo_http_ScanStartResult(reply);
    if (result != 0) {
        OrvoLogErr("[OrvoScanSDK] parse orvo_http_ScanStartResult error\n");
        orvo_close_tcp(http);
        return result;
    }

    int data = -1;
    for (int attempt = 0; attempt < 11 && data < 0; ++attempt) {
        data = orvo_init_tcp(sock->szScannerIP, c_iScanDataPort);
        if (data < 0)
            PauseMs(500);
    }
    if (data < 0) {
        OrvoLogErr("[OrvoScanSDK] orvo_init_tcp 2080 error\n");
        orvo_close_tcp(http);
        return SANE_STATUS_IO_ERROR;
    }
    const int rc = ReadStartHeader(data);
    orvo_close_tcp(http);
    if (rc != 0) {
        orvo_close_tcp(data);
        return rc;
    }
    sock->tcpFromScanner = data;
    return 0;
}
