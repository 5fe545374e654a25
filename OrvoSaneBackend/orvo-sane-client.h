// The backend's side of the scan daemon's local protocol (TCP 127.0.0.1:7003). Every wait
// for the daemon ends at a deadline; a waiting call also ends early when *pCancel is set.
// A request or reply that fails half way (no answer in time, a record cut short) closes
// the connection: bytes arriving later would be taken for the answer to something else.
#pragma once
#include "orvo-scanproto.h"

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct stOrvoConn {
    int fd = -1;
    int64_t iLastReplyMs = 0;  // when the last whole reply arrived (OrvoNowMs)
};

enum enOrvoIo { IO_OK = 0,
                IO_TIMEOUT,
                IO_CLOSED,
                IO_ERROR,
                IO_CANCELLED };

int64_t OrvoNowMs();
const char *OrvoIoText(int io);

// Connects to the daemon; false (with the reason in strError) when it does not answer.
bool OrvoConnect(stOrvoConn &conn, int timeoutMs, std::string &strError);
void OrvoDisconnect(stOrvoConn &conn);

// One request: the 32-bit command code and the record, sent whole.
int OrvoSendRequest(stOrvoConn &conn, int32_t code, const void *rec, size_t len, int64_t deadline);
// Exactly len bytes before the deadline.
int OrvoRecvAll(stOrvoConn &conn, void *buf, size_t len, int64_t deadline,
                const volatile sig_atomic_t *pCancel = nullptr);
// A request and its fixed-size reply.
int OrvoCall(stOrvoConn &conn, int32_t code, const void *req, size_t reqLen, void *reply, size_t replyLen,
             int64_t deadline);
// Waits until the connection has bytes to read; IO_TIMEOUT when none came by the deadline.
int OrvoWaitReadable(stOrvoConn &conn, int64_t deadline, const volatile sig_atomic_t *pCancel);

// The daemon's USB devices of one vendor; the handles stay valid while the connection lives.
int OrvoFindUsb(stOrvoConn &conn, uint16_t vid, std::vector<USBFindDevRes> &list, int64_t deadline);

// A record reply of a running scan, the same for USB and network.
struct stOrvoRecord {
    int32_t st = 0;
    int32_t fileIndex = 0;
    int32_t dataSize = 0;
    int32_t result = 0;
};
stOrvoRecord OrvoDecodeRecord(const uint8_t raw[16], bool bNet);

// The scan start's reply may be preceded by record replies of the data process that the
// start created (both write to this connection). Its file name, an absolute path, sits
// where a record has its small file index: that tells them apart. A refusal that carries
// no name (a busy device) is told by its result and the empty name.
bool OrvoLooksLikeStartReply(const uint8_t first16[16], bool bNet);
