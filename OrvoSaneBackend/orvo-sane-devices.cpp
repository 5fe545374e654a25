#include "orvo-sane-devices.h"
#include "orvo-ipv4-plain.h"
#include "orvo-modelids-plain.h"
#include "orvo-printerlist-plain.h"
#include "orvo-sane-family.h"
#include "orvo-sane-log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace {

const int c_connectTimeoutMs = 5000;
const size_t c_maxNetProbes = 32;
const int32_t c_maxFamilyReply = 8192;  // the daemon's reply buffer

// A network queue's host as the scheduler reads it ("127.000.000.012" is 127.0.0.10), in the
// dotted form the scan daemon takes; empty when it is no address.
std::string QueueAddress(const std::string &port)
{
    in_addr addr{};
    return ParseIPv4Address(port, addr) ? IPv4AddressText(addr) : std::string();
}

std::string ModelOfProduct(const std::string &product)
{
    return product.empty() ? "USB MFP" : product;
}

// The scanner's own model name, asked through the daemon's attribute request.
std::string FamilyModel(stOrvoConn &conn, const std::string &address, int64_t deadline)
{
    TCPOSLReq req{};
    req.socket.tcpFromScanner = -1;
    snprintf(req.socket.szScannerIP, sizeof req.socket.szScannerIP, "%s", address.c_str());
    req.type = OSL_CMD_FAMILYTYPE;
    TCPOSLRes res{};
    if (OrvoCall(conn, TCP_SEND_OSL, &req, sizeof req, &res, sizeof res, deadline) != IO_OK || res.result != 0
        || res.bufferLen <= 0 || res.bufferLen > c_maxFamilyReply)
        return {};
    std::string text(size_t(res.bufferLen), '\0');
    if (OrvoRecvAll(conn, &text[0], text.size(), deadline) != IO_OK)
        return {};
    return OrvoModelFromFamily(text);
}

// One probe per address, all at once on their own connections: an address that does not
// answer costs the daemon's network time-out once, not once per address.
void ProbeNet(const std::vector<std::string> &addresses, const stOrvoSaneConf &conf,
              std::vector<stOrvoDevice> &list)
{
    const std::vector<stPlainPrinter> printers = conf.bPrinterList ? ReadPrinterListPlain() : std::vector<stPlainPrinter>();
    std::vector<stOrvoConn> conns(addresses.size());
    const int64_t deadline = OrvoNowMs() + int64_t(conf.iTimeoutSec) * 1000;
    for (size_t i = 0; i < addresses.size(); ++i) {
        std::string err;
        if (!OrvoConnect(conns[i], c_connectTimeoutMs, err))
            continue;
        TCPCommonReq req{};
        req.socket.tcpFromScanner = -1;
        snprintf(req.socket.szScannerIP, sizeof req.socket.szScannerIP, "%s", addresses[i].c_str());
        if (OrvoSendRequest(conns[i], TCP_SCAN_DEVPROPERTIES, &req, sizeof req, deadline) != IO_OK)
            OrvoDisconnect(conns[i]);
    }
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (conns[i].fd < 0)
            continue;
        TCPDevPropertiesRes res{};
        const int io = OrvoRecvAll(conns[i], &res, sizeof res, deadline);
        if (io != IO_OK || res.result != 0) {
            OrvoDisconnect(conns[i]);
            OrvoLog(LOG_INFO, "no scanner answers at %s (%s, result %d)", addresses[i].c_str(), OrvoIoText(io),
                    res.result);
            continue;
        }
        stOrvoDevice dev;
        dev.bNet = true;
        dev.strAddress = addresses[i];
        dev.strName = "net:" + addresses[i];
        dev.strModel = FamilyModel(conns[i], addresses[i], deadline);
        OrvoDisconnect(conns[i]);
        if (dev.strModel.empty())
            dev.strModel = "network MFP";
        for (const stPlainPrinter &p : printers)
            if (p.iConnectType == 2 && QueueAddress(p.strPort) == addresses[i] && !p.strModel.empty())
                dev.strModel = p.strModel.compare(0, 5, "Orvo ") == 0 ? p.strModel.substr(5) : p.strModel;
        list.push_back(dev);
    }
}

}  // namespace

std::vector<std::string> OrvoNetCandidates(const stOrvoSaneConf &conf)
{
    std::vector<std::string> out;
    auto add = [&out](const std::string &a) {
        if (IsIPv4Text(a) && std::find(out.begin(), out.end(), a) == out.end() && out.size() < c_maxNetProbes)
            out.push_back(a);
    };
    for (const std::string &a : conf.listNetAddress)
        add(a);
    if (conf.bPrinterList)
        for (const stPlainPrinter &p : ReadPrinterListPlain())
            if (p.iConnectType == 2) {
                const std::string address = QueueAddress(p.strPort);
                if (!address.empty())
                    add(address);
                else
                    OrvoLog(LOG_INFO, "printer %s: network host \"%s\" is not an IPv4 address, not probed",
                            p.strName.c_str(), p.strPort.c_str());
            }
    return out;
}

bool OrvoFindDevices(const stOrvoSaneConf &conf, std::vector<stOrvoDevice> &list, std::string &strError)
{
    list.clear();
    stOrvoConn conn;
    if (!OrvoConnect(conn, c_connectTimeoutMs, strError))
        return false;
    std::vector<USBFindDevRes> usb;
    const int io = OrvoFindUsb(conn, c_wOrvoVendorID, usb, OrvoNowMs() + int64_t(conf.iTimeoutSec) * 1000);
    // Closing the connection ends its process in the daemon, which closes the handles.
    OrvoDisconnect(conn);
    if (io != IO_OK)
        OrvoLog(LOG_ERROR, "USB search through the scan daemon: %s", OrvoIoText(io));
    for (const USBFindDevRes &d : usb) {
        stOrvoDevice dev;
        dev.strSerial = d.SerialNumber;
        if (dev.strSerial.empty()) {
            OrvoLog(LOG_ERROR, "USB device %04x:%04x has no serial number and cannot be named; skipped", d.vid, d.pid);
            continue;
        }
        dev.strName = "usb:" + dev.strSerial;
        dev.strModel = ModelOfProduct(d.Product);
        list.push_back(dev);
    }
    ProbeNet(OrvoNetCandidates(conf), conf, list);
    return true;
}
