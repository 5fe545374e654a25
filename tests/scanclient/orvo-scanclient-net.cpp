#include "orvo-scanclient-net.h"

#include <cstring>

OrvoSocket ScanNetSocket(const std::string &ip, int32_t dataFd)
{
    OrvoSocket s;
    memset(&s, 0, sizeof s);
    s.tcpFromScanner = dataFd;
    memcpy(s.szScannerIP, ip.data(), std::min(ip.size(), sizeof s.szScannerIP));
    return s;
}

int32_t ScanTcpSendOsl(int sock, const OrvoSocket &s, int32_t type, int32_t &bufferLen, std::string &text)
{
    TCPOSLReq req;
    memset(&req, 0, sizeof req);
    req.socket = s;
    req.type = type;
    TCPOSLRes res;
    text.clear();
    bufferLen = 0;
    if (!ScanSendRequest(sock, TCP_SEND_OSL, &req, sizeof req) || !ScanRecvExact(sock, &res, sizeof res))
        return c_iNoReply;
    bufferLen = res.bufferLen;
    if (res.bufferLen > 0) {
        text.resize(size_t(res.bufferLen));
        if (!ScanRecvExact(sock, &text[0], text.size()))
            return c_iNoReply;
    }
    return res.result;
}

bool ScanTcpStart(int sock, const OrvoSocket &s, const tagSettingInfo &info, TCPScanStartRes &res)
{
    TCPScanStartReq req;
    memset(&req, 0, sizeof req);
    req.socket = s;
    req.info = info;
    memset(&res, 0, sizeof res);
    return ScanSendRequest(sock, TCP_SCAN_START, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanTcpReadRecord(int sock, TCPRecordRes &rec)
{
    memset(&rec, 0, sizeof rec);
    return ScanRecvExact(sock, &rec, sizeof rec);
}

int32_t ScanTcpAbort(int sock, const OrvoSocket &s, const std::string &fileName)
{
    TCPScanAbortReq req;
    memset(&req, 0, sizeof req);
    req.socket = s;
    strncpy(req.fileName, fileName.c_str(), sizeof req.fileName - 1);
    int32_t result = c_iNoReply;
    if (!ScanSendRequest(sock, TCP_SCAN_ABORT, &req, sizeof req) || !ScanRecvExact(sock, &result, sizeof result))
        return c_iNoReply;
    return result;
}

bool ScanTcpAdfStatus(int sock, const OrvoSocket &s, TCPADFStatusRes &res)
{
    TCPCommonReq req;
    req.socket = s;
    memset(&res, 0, sizeof res);
    return ScanSendRequest(sock, TCP_SCAN_ADFST, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}

bool ScanTcpDevProperties(int sock, const OrvoSocket &s, TCPDevPropertiesRes &res)
{
    TCPCommonReq req;
    req.socket = s;
    memset(&res, 0, sizeof res);
    return ScanSendRequest(sock, TCP_SCAN_DEVPROPERTIES, &req, sizeof req) && ScanRecvExact(sock, &res, sizeof res);
}
