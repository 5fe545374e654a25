// The printer status reply as a printer lays it out: one encoder for the simulator, the
// tests that write status files and the scripts that draw the tray tool (orvo-statusreply).
// Plain C++, no Qt, so that the simulator links it as well as the Qt tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using StatusBytes = std::vector<uint8_t>;

// Supply record tags the suite reads.
constexpr uint16_t c_wSupplySerial = 0x0000;
constexpr uint16_t c_wSupplyType = 0x0001;
constexpr uint16_t c_wSupplyToner = 0x1000;
constexpr uint16_t c_wSupplyWaste = 0x1001;
constexpr uint16_t c_wSupplyOpc = 0x1002;
constexpr uint16_t c_wSupplyPages = 0x1003;
constexpr uint16_t c_wSupplyPrints = 0x1004;
constexpr uint16_t c_wSupplyDots = 0x1100;
constexpr uint16_t c_wSupplyPrinterPages = 0x1101;
constexpr uint16_t c_wSupplyPrinterPrints = 0x1102;
constexpr uint16_t c_wSupplyBlack = 0x4043;
constexpr uint16_t c_wSupplyCyan = 0x4143;
constexpr uint16_t c_wSupplyRed = 0x4243;
constexpr uint16_t c_wSupplyYellow = 0x4343;

// The command byte of the status request, which a printer echoes at offset 7.
constexpr uint8_t c_byStatusCommand = 0x03;

struct stStatusSupply {
    uint16_t wTag = 0;
    StatusBytes value;  // sent as it is; numbers big-endian (StatusNumber)
};

// Every field of one reply. Texts are counted, not terminated, so they may hold zero bytes.
// A text, list or value longer than its count field can say is cut to what the count
// says, so the bytes always stay a well-formed reply.
struct stStatusReply {
    uint8_t byReserved1 = c_byStatusCommand;
    uint16_t wReserved2 = 0;
    uint16_t wReserved3 = 0;
    std::string strVendor;
    std::string strProduct;
    std::string strSerial;
    uint16_t wReserved4 = 0;
    uint8_t byStatus = 0;  // device status code: 0 ready, 3 cancelling, 16 printing, ...
    std::string strFirmware;
    std::string strFifthText;
    std::vector<uint16_t> listErrors;
    std::vector<uint16_t> listWarnings;
    uint8_t byReserved5 = 0;
    uint16_t wReserved6 = 0;
    uint16_t wReserved7 = 0;
    std::vector<stStatusSupply> listSupply;  // sent in this order, repeats included
    int iAnnouncedSupplies = -1;  // supply count sent; -1: the number of records
};

// width bytes of v, most significant first.
StatusBytes StatusNumber(uint64_t v, int width);
stStatusSupply SupplyNumber(uint16_t tag, uint64_t v, int width);
stStatusSupply SupplyText(uint16_t tag, const std::string &text);
// Sets the record of tag, or appends one: the four inks (black, cyan, red, yellow).
void SetSupply(stStatusReply &r, uint16_t tag, const StatusBytes &value);
void SetInks(stStatusReply &r, unsigned black, unsigned cyan, unsigned red, unsigned yellow);

// The bytes from offset 7 on: what a USB printer returns to the class request.
StatusBytes EncodeStatusBody(const stStatusReply &r);
// Seven zero bytes, then the body: a USB reply as the service hands it to the parser and
// stores it in the status file.
StatusBytes EncodeUsbStatusReply(const stStatusReply &r);
// The datagram of a network printer: reply header A5 LL LL 50 E0 74 08 (LL LL: big-endian
// count of the bytes after it, the framing of the request), then the body.
StatusBytes UdpStatusReply(const StatusBytes &body);
