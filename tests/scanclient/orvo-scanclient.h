// A client of the scan daemon's local protocol, for tests: packs requests, unpacks replies.
// Every call waits for its reply with a generous time-out, so a missing reply fails a
// check instead of hanging the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvo-scanproto.h"

constexpr int c_iScanReplyTimeoutMs = 60000;

// Connects to the daemon (127.0.0.1:7003 unless told otherwise); -1 on failure.
int ScanConnect(const char *addr = "127.0.0.1", int port = ORVO_SCAN_PORT);
// Sends the command code and the record in one call, as the daemon expects.
bool ScanSendRequest(int sock, int32_t code, const void *rec, size_t len);
// Receives exactly len bytes; false on time-out, error or end of stream.
bool ScanRecvExact(int sock, void *buf, size_t len, int timeoutMs = c_iScanReplyTimeoutMs);
// True when nothing at all arrives within the wait (used only where a reply must not come
// and the next request's reply follows to prove it).
bool ScanNothingPending(int sock);

// The commands. Results are the daemon's result codes; -1000 stands for "no reply".
constexpr int32_t c_iNoReply = -1000;

int32_t ScanFindDev(int sock, uint32_t vid, uint32_t pid, bool compareWithPID, std::vector<USBFindDevRes> &devs);
int32_t ScanHandleCommand(int sock, int32_t code, int32_t devfd);  // open/close/unlock/poweron/getsizes
int32_t ScanEndpointCommand(int sock, int32_t code, int32_t devfd, uint32_t ep);  // clear/reset endpoint
int32_t ScanLockDev(int sock, int32_t devfd, const tagSettingInfo &info);
bool ScanStartDev(int sock, int32_t devfd, USBScanStartRes &res);
bool ScanReadRecord(int sock, USBScanRecordRes &rec);
int32_t ScanAbortDev(int sock, int32_t devfd, const std::string &fileName);
bool ScanAdfStatus(int sock, int32_t devfd, USBScanAdfStatusRes &res);
bool ScanDevProperties(int sock, int32_t devfd, USBScanDevicePropertiesRes &res);
bool ScanReopenDev(int sock, int32_t devfd, uint32_t vid, uint32_t pid, const std::string &serial,
                   USBReopenDevRes &res);
bool ScanDeleteFile(int sock, const std::string &fileName);

// Settings with the fields a test usually varies; the rest zero.
tagSettingInfo ScanSettings(uint8_t bitDepth, uint32_t width, uint32_t height, uint16_t dpi, bool feeder,
                            uint8_t isClient = 1, int32_t compType = COMPRESSION_NONE);

// A page file's name: "<base>_<page>.tmp".
std::string ScanPageName(const std::string &base, int page);
