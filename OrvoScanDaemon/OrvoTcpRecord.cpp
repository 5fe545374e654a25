#include "OrvoTcpRecord.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "OrvoTcp.h"
#include "SaneStatus.h"
#include "ScanLog.h"

namespace {

const char c_szNewFile[] = "NEWFILE          \n";
const char c_szJobDone[] = "JOBDONE          \n";
const char c_szJobCancel[] = "JOBCANCEL        \n";
static_assert(sizeof c_szNewFile == c_iBlockHeaderSize + 1 && sizeof c_szJobDone == c_iBlockHeaderSize + 1
                  && sizeof c_szJobCancel == c_iBlockHeaderSize + 1,
              "block markers are 18 bytes");

int CloseWith(OrvoSocket *sock, int rc)
{
    orvo_close_tcp(sock->tcpFromScanner);
    sock->tcpFromScanner = -1;
    return rc;
}

// The page header after a NEWFILE marker describes the page; its content is not used.
int SkipPageHeader(OrvoSocket *sock)
{
    char header[c_iBlockHeaderSize];
    long length = 0;
    if (orvo_tcp_recv_with_retry(sock->tcpFromScanner, header, sizeof header) != 0
        || !orvo_block_length(header + 6, 6, &length)) {
        OrvoLogErr("[OrvoScanSDK] recv record scan data err\n");
        return CloseWith(sock, SANE_STATUS_IO_ERROR);
    }
    char *skip = static_cast<char *>(malloc(size_t(length) + 1));
    if (!skip) {
        OrvoLogErr("[OrvoScanSDK] realloc record headerBuffer error\n");
        return CloseWith(sock, SANE_STATUS_NO_MEM);
    }
    const int rc = orvo_tcp_recv_with_retry(sock->tcpFromScanner, skip, size_t(length));
    free(skip);
    if (rc != 0) {
        OrvoLogErr("[OrvoScanSDK] recv record header data error\n");
        return CloseWith(sock, SANE_STATUS_IO_ERROR);
    }
    return 0;
}

}  // namespace

bool orvo_block_length(const char *field, size_t width, long *length)
{
    long v = 0;
    for (size_t i = 0; i < width; ++i) {
        if (field[i] < '0' || field[i] > '9')
            return false;
        v = v * 10 + (field[i] - '0');
    }
    *length = v;
    return true;
}

int orvo_tcp_ScanRecord(OrvoSocket *sock, int32_t *pStatus, unsigned char **ppBuf, uint32_t *pBufSize, uint32_t *pLen)
{
    OrvoLogInfo("[OrvoScanSDK] ** %s\n", __func__);
    *pStatus = SCAN_STATUS_OPERATION_CONTINUOUS;
    *pLen = 0;
    char header[c_iBlockHeaderSize];
    if (orvo_tcp_recv_with_retry(sock->tcpFromScanner, header, sizeof header) != 0) {
        OrvoLogErr("[OrvoScanSDK] orvo_tcp_recv_with_retry blockdata err\n");
        return CloseWith(sock, SANE_STATUS_IO_ERROR);
    }
    if (memcmp(header, c_szNewFile, c_iBlockHeaderSize) == 0) {
        OrvoLogInfo("[OrvoScanSDK] newFileFlag\n");
        *pStatus = SCAN_STATUS_BEGIN_OF_PAGE;
        return SkipPageHeader(sock);
    }
    if (memcmp(header, c_szJobDone, c_iBlockHeaderSize) == 0) {
        OrvoLogInfo("[OrvoScanSDK] jobDoneFlag\n");
        *pStatus = SCAN_STATUS_END_OF_DATA;
        return CloseWith(sock, SANE_STATUS_EOF);
    }
    if (memcmp(header, c_szJobCancel, c_iBlockHeaderSize) == 0) {
        OrvoLogInfo("[OrvoScanSDK] jobCancelFlag\n");
        *pStatus = SCAN_STATUS_ABORTED_BY_DEVICE;
        return CloseWith(sock, SANE_STATUS_CANCELLED);
    }
    long length = 0;
    if (!orvo_block_length(header + 6, 6, &length)) {
        OrvoLogErr("[OrvoScanSDK] bad block header length\n");
        return CloseWith(sock, SANE_STATUS_IO_ERROR);
    }
    if (*pBufSize < uint32_t(length) || !*ppBuf) {
        void *grown = realloc(*ppBuf, size_t(length) + 1);
        if (!grown) {
            OrvoLogErr("[OrvoScanSDK] realloc bufSize err\n");
            return CloseWith(sock, SANE_STATUS_NO_MEM);
        }
        *ppBuf = static_cast<unsigned char *>(grown);
        *pBufSize = uint32_t(length);
    }
    if (orvo_tcp_recv_with_retry(sock->tcpFromScanner, *ppBuf, size_t(length)) != 0) {
        OrvoLogErr("[OrvoScanSDK] orvo_tcp_recv_with_retry recv err\n");
        return CloseWith(sock, SANE_STATUS_IO_ERROR);
    }
    *pLen = uint32_t(length);
    return 0;
}
