// The request dispatcher of a connection: one entry, and one function, per command.
#pragma once

#include <cstdint>

#include "orvo-scanproto.h"

struct stScanCommand {
    int32_t iCode;  // scanCommandType
    int iReqSize;  // bytes of the request record
    const char *szRecvErr;  // error-log line for a short request
    bool bRecvErrLen;  // the line ends in the bytes received
    bool bReplyShort;  // the command replies even to a short request
    void (*pfnRun)(int sock, const unsigned char *req, int len);
};

constexpr int c_iMaxRequestSize = int(sizeof(USBReopenDevReq));

const stScanCommand *FindScanCommand(int32_t code);

// The USB commands.
void CmdUsbFindDev(int sock, const unsigned char *req, int len);
void CmdUsbOpenDev(int sock, const unsigned char *req, int len);
void CmdUsbCloseDev(int sock, const unsigned char *req, int len);
void CmdUsbClearDev(int sock, const unsigned char *req, int len);
void CmdUsbResetDevEp(int sock, const unsigned char *req, int len);
void CmdUsbScanStart(int sock, const unsigned char *req, int len);
void CmdUsbScanAbort(int sock, const unsigned char *req, int len);
void CmdUsbScanLock(int sock, const unsigned char *req, int len);
void CmdUsbScanUnlock(int sock, const unsigned char *req, int len);
void CmdUsbScanAdfStatus(int sock, const unsigned char *req, int len);
void CmdUsbScanPowerOn(int sock, const unsigned char *req, int len);
void CmdUsbScanGetSizes(int sock, const unsigned char *req, int len);
void CmdUsbScanDevProperties(int sock, const unsigned char *req, int len);
void CmdUsbReopenDev(int sock, const unsigned char *req, int len);
void CmdDeleteFile(int sock, const unsigned char *req, int len);

// The network commands.
void CmdTcpSendOsl(int sock, const unsigned char *req, int len);
void CmdTcpScanStart(int sock, const unsigned char *req, int len);
void CmdTcpScanAbort(int sock, const unsigned char *req, int len);
void CmdTcpScanAdfStatus(int sock, const unsigned char *req, int len);
void CmdTcpScanDevProperties(int sock, const unsigned char *req, int len);
