// State of one simulated MFP; its status response is built by mfpsim-statusreply.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "mfpsim-number.h"
#include "mfpsim-statusreply.h"

using Bytes = StatusBytes;

struct stUsbNode;

constexpr int c_iVendorId = 0x300E;
constexpr int c_iForeignVendorId = 0x046D;
constexpr int c_iForeignProductId = 0xC31C;

struct stSimDevice {
    std::string strId;
    std::string strModel;
    int iProductId = 0;
    int iVendorId = c_iVendorId;
    bool bUsb = true;
    std::string strAddr;  // network devices: loopback address the UDP socket is bound to
    int iSlot = 0;  // USB devices: port number on the emulated bus

    int iStatusCode = 0;
    std::string strVendor = "Orvo";
    std::string strProduct;
    std::string strSerial;
    std::string strFirmware = "V1.00.00";
    std::string strFifthText;
    std::vector<uint16_t> listErrors;
    std::vector<uint16_t> listWarnings;
    std::map<uint16_t, Bytes> mapSupply;  // tag -> value bytes, sent in tag order
    bool bRawBody = false;  // tests may replace the whole response
    Bytes rawBody;

    bool bPlugged = true;
    bool bSilent = false;  // network: do not answer at all
    bool bStallStatus = false;  // USB: the status request stalls

    int iStatusRequests = 0;
    int iCancels = 0;
    std::vector<std::string> listControls;  // "bmRequestType bRequest wValue wIndex wLength"
    std::map<int, Bytes> mapBulkOut;  // endpoint -> bytes written
    std::map<int, int> mapBulkOutCount;  // endpoint -> transfers
    std::map<int, std::deque<Bytes>> mapBulkIn;  // endpoint -> queued replies
    std::vector<Bytes> listNetRx;
    std::deque<Bytes> queueNetReply;

    stUsbNode *pNode = nullptr;  // present USB node, null while unplugged
    int iUdpFd = -1;
};

// One lock guards every device; held by the testbed worker while it serves an ioctl
// and by the main thread while it runs a command or a datagram.
extern std::mutex g_simLock;

int LookupProductId(const std::string &model);  // -1 when unknown
int LookupVendorId(const std::string &model);

void InitSimDevice(stSimDevice &dev);
Bytes BuildStatusBody(const stSimDevice &dev);
Bytes BuildUdpStatusReply(const stSimDevice &dev);  // 7-byte reply header + body

// Named values of "set field"; false when the name or value is not accepted.
bool SetDeviceField(stSimDevice &dev, const std::string &name, const std::string &value, std::string &err);

std::string ToHex(const Bytes &b);
bool FromHex(const std::string &s, Bytes &out);
bool ParseCodeList(const std::string &s, std::vector<uint16_t> &out);
