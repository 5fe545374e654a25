// The network commands of the local protocol, for tests: same conventions as orvo-scanclient.h.
#pragma once

#include <cstdint>
#include <string>

#include "orvo-scanclient.h"

// A socket record naming the scanner; the text is copied as is (at most 16 bytes, so a test
// can also send a field without a terminator).
OrvoSocket ScanNetSocket(const std::string &ip, int32_t dataFd = -1);

// TCP_SEND_OSL: the result, the announced length and the text that followed it.
int32_t ScanTcpSendOsl(int sock, const OrvoSocket &s, int32_t type, int32_t &bufferLen, std::string &text);
bool ScanTcpStart(int sock, const OrvoSocket &s, const tagSettingInfo &info, TCPScanStartRes &res);
bool ScanTcpReadRecord(int sock, TCPRecordRes &rec);
int32_t ScanTcpAbort(int sock, const OrvoSocket &s, const std::string &fileName);
bool ScanTcpAdfStatus(int sock, const OrvoSocket &s, TCPADFStatusRes &res);
bool ScanTcpDevProperties(int sock, const OrvoSocket &s, TCPDevPropertiesRes &res);
