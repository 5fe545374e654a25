#include "orvo-scanclient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

template <typename T>
int32_t ResultOf(int sock, int32_t code, const T &req)
{
    int32_t result = c_iNoReply;
    if (!ScanSendRequest(sock, code, &req, sizeof req) || !ScanRecvExact(sock, &result, sizeof result))
        return c_iNoReply;
    return result;
}

}  // namespace

int ScanConnect(const char *addr, int port)
{
    const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (sock < 0 || inet_pton(AF_INET, addr, &sa.sin_addr) != 1
        || connect(sock, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (sock >= 0)
            close(sock);
        return -1;
    }
    return sock;
}

bool ScanSendRequest(int sock, int32_t code, const void *rec, size_t len)
{
    std::vector<unsigned char> buf(sizeof code + len);
    memcpy(buf.data(), &code, sizeof code);
    if (len)
        memcpy(buf.data() + sizeof code, rec, len);
    return send(sock, buf.data(), buf.size(), MSG_NOSIGNAL) == ssize_t(buf.size());
}

bool ScanRecvExact(int sock, void *buf, size_t len, int timeoutMs)
{
    size_t got = 0;
    while (got < len) {
        pollfd p = {sock, POLLIN, 0};
        const int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const ssize_t n = recv(sock, static_cast<char *>(buf) + got, len - got, 0);
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

bool ScanNothingPending(int sock)
{
    pollfd p = {sock, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

int32_t ScanFindDev(int sock, uint32_t vid, uint32_t pid, bool compareWithPID, std::vector<USBFindDevRes> &devs)
{
    devs.clear();
    USBFindDevReq req = {};
    req.vid = vid;
    req.pid = pid;
    req.compareWithPID = compareWithPID;
    int32_t count = c_iNoReply;
    if (!ScanSendRequest(sock, USB_FIND_DEV, &req, sizeof req) || !ScanRecvExact(sock, &count, sizeof count))
        return c_iNoReply;
    if (count > 0) {
        devs.resize(size_t(count));
        if (!ScanRecvExact(sock, devs.data(), devs.size() * sizeof(USBFindDevRes)))
            return c_iNoReply;
    }
    return count;
}

int32_t ScanHandleCommand(int sock, int32_t code, int32_t devfd)
{
    const USBCommonReq req = {devfd};
    return ResultOf(sock, code, req);
}

int32_t ScanEndpointCommand(int sock, int32_t code, int32_t devfd, uint32_t ep)
{
    const USBClearDevEpReq req = {devfd, ep};
    return ResultOf(sock, code, req);
}

int32_t ScanLockDev(int sock, int32_t devfd, const tagSettingInfo &info)
{
    USBScanLockReq req = {};
    req.devfd = devfd;
    req.info = info;
    return ResultOf(sock, USB_SCAN_LOCK, req);
}

bool ScanStartDev(int sock, int32_t devfd, USBScanStartRes &res)
{
    const USBCommonReq req = {devfd};
    memset(&res, 0, sizeof res);
    return ScanSendRequest(sock, USB_SCAN_START, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanReadRecord(int sock, USBScanRecordRes &rec)
{
    memset(&rec, 0, sizeof rec);
    return ScanRecvExact(sock, &rec, sizeof rec);
}

int32_t ScanAbortDev(int sock, int32_t devfd, const std::string &fileName)
{
    USBScanAbortReq req = {};
    req.devfd = devfd;
    strncpy(req.fileName, fileName.c_str(), sizeof req.fileName - 1);
    return ResultOf(sock, USB_SCAN_ABORT, req);
}

bool ScanAdfStatus(int sock, int32_t devfd, USBScanAdfStatusRes &res)
{
    const USBCommonReq req = {devfd};
    return ScanSendRequest(sock, USB_SCAN_ADFSTATUS, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanDevProperties(int sock, int32_t devfd, USBScanDevicePropertiesRes &res)
{
    const USBCommonReq req = {devfd};
    return ScanSendRequest(sock, USB_SCAN_DEVPROPERTIES, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanReopenDev(int sock, int32_t devfd, uint32_t vid, uint32_t pid, const std::string &serial,
                   USBReopenDevRes &res)
{
    USBReopenDevReq req = {};
    req.devfd = devfd;
    req.vid = vid;
    req.pid = pid;
    strncpy(req.SerialNumber, serial.c_str(), sizeof req.SerialNumber - 1);
    return ScanSendRequest(sock, USB_REOPEN_DEV, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanDeleteFile(int sock, const std::string &fileName)
{
    CmdDeleteFileReq req = {};
    strncpy(req.fileName, fileName.c_str(), sizeof req.fileName - 1);
    return ScanSendRequest(sock, CMD_DELETE_FILE, &req, sizeof req);
}

tagSettingInfo ScanSettings(uint8_t bitDepth, uint32_t width, uint32_t height, uint16_t dpi, bool feeder,
                            uint8_t isClient, int32_t compType)
{
    tagSettingInfo s = {};
    s.bitDepth = bitDepth;
    s.compType = compType;
    s.width = width;
    s.height = height;
    s.xResolution = dpi;
    s.yResolution = dpi;
    s.feederEnabled = feeder;
    s.isClient = isClient;
    return s;
}

std::string ScanPageName(const std::string &base, int page)
{
    return base + "_" + std::to_string(page) + ".tmp";
}
