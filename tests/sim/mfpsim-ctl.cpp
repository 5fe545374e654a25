#include "mfpsim-ctl.h"

#include <sstream>

#include "mfpsim-maint.h"
#include "mfpsim-netscan.h"
#include "mfpsim-scan.h"
#include "mfpsim-stream.h"
#include "mfpsim-usb.h"

std::vector<std::unique_ptr<stSimDevice>> &SimDevices()
{
    static std::vector<std::unique_ptr<stSimDevice>> list;
    return list;
}

namespace {

using Args = std::vector<std::string>;

struct stReply {
    std::string strData;
    std::string strError;
    void Line(const std::string &s) { strData += s + "\n"; }
};

stSimDevice *FindDevice(const std::string &id)
{
    for (auto &d : SimDevices())
        if (d->strId == id)
            return d.get();
    return nullptr;
}

// Text after the first n words of the line, so texts may hold spaces.
std::string Rest(const std::string &line, size_t n)
{
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string::npos)
            return "";
        pos = line.find_first_of(" \t", pos);
        if (pos == std::string::npos)
            return "";
    }
    pos = line.find_first_not_of(" \t", pos);
    return pos == std::string::npos ? "" : line.substr(pos);
}

bool OnOff(const std::string &s, bool &v)
{
    v = s == "on";
    return s == "on" || s == "off";
}

// Optional "[EP] [clear]" words after a bulk query; the endpoint defaults to the printer's.
bool BulkOptions(const Args &a, size_t from, int defEp, int &ep, bool &clear)
{
    ep = defEp;
    clear = false;
    for (size_t i = from; i < a.size(); ++i) {
        unsigned long v = 0;
        if (a[i] == "clear")
            clear = true;
        else if (ParseNumber(a[i], v) && v <= 0xFF)
            ep = int(v);
        else
            return false;
    }
    return true;
}

void CmdSet(const Args &a, const std::string &line, stSimDevice &dev, stReply &r)
{
    const std::string &what = a[1];
    std::lock_guard<std::mutex> lock(g_simLock);
    if (what == "ink") {
        if (a.size() != 7) {
            r.strError = "usage: set ink ID K C M Y";
            return;
        }
        const char *names[] = {"black", "cyan", "red", "yellow"};
        for (int i = 0; i < 4; ++i)
            if (!SetDeviceField(dev, names[i], a[size_t(3 + i)], r.strError))
                return;
    } else if (what == "status") {
        unsigned long v = 0;
        if (a.size() != 4 || !ParseNumber(a[3], v) || v > 255)
            r.strError = "usage: set status ID CODE (0..255)";
        else
            dev.iStatusCode = int(v);
    } else if (what == "errors" || what == "warnings") {
        std::vector<uint16_t> codes;
        if (a.size() > 4 || !ParseCodeList(a.size() == 4 ? a[3] : "", codes))
            r.strError = "usage: set " + what + " ID [CODE,CODE...]";
        else
            (what == "errors" ? dev.listErrors : dev.listWarnings) = codes;
    } else if (what == "field") {
        if (a.size() < 4)
            r.strError = "usage: set field ID NAME VALUE";
        else
            SetDeviceField(dev, a[3], Rest(line, 4), r.strError);
    } else if (what == "raw") {
        Bytes b;
        if (a.size() > 4 || !FromHex(a.size() == 4 ? a[3] : "", b)) {
            r.strError = "usage: set raw ID [HEX]";
            return;
        }
        dev.bRawBody = a.size() == 4;
        dev.rawBody = b;
    } else {
        r.strError = "unknown setting " + what;
    }
}

void CmdGet(const Args &a, stSimDevice &dev, stReply &r)
{
    const std::string &what = a[2];
    std::lock_guard<std::mutex> lock(g_simLock);
    int ep = 0;
    bool clear = false;
    if (what == "cancels" && a.size() == 3) {
        r.Line(std::to_string(dev.iCancels));
    } else if (what == "requests" && a.size() == 3) {
        r.Line(std::to_string(dev.iStatusRequests));
    } else if (what == "controls" && BulkOptions(a, 3, 0, ep, clear)) {
        for (const auto &c : dev.listControls)
            r.Line(c);
        if (clear)
            dev.listControls.clear();
    } else if (what == "bulkout" && BulkOptions(a, 3, 0x01, ep, clear)) {
        r.Line(ToHex(dev.mapBulkOut[ep]));
        if (clear) {
            dev.mapBulkOut[ep].clear();
            dev.mapBulkOutCount[ep] = 0;
        }
    } else if (what == "bulkoutlen" && BulkOptions(a, 3, 0x01, ep, clear) && !clear) {
        r.Line(std::to_string(dev.mapBulkOut[ep].size()) + " " + std::to_string(dev.mapBulkOutCount[ep]));
    } else if (what == "bulkin" && BulkOptions(a, 3, 0x81, ep, clear) && !clear) {
        r.Line(std::to_string(dev.mapBulkIn[ep].size()));
    } else if (what == "netrx" && BulkOptions(a, 3, 0, ep, clear)) {
        for (const auto &d : dev.listNetRx)
            r.Line(ToHex(d));
        if (clear)
            dev.listNetRx.clear();
    } else if (what == "status" && a.size() == 3) {
        r.Line(ToHex(BuildStatusBody(dev)));
    } else if (what == "plugged" && a.size() == 3) {
        r.Line(dev.bPlugged ? "yes" : "no");
    } else {
        r.strError = "usage: get ID cancels|requests|controls [clear]|bulkout [EP] [clear]|bulkoutlen [EP]"
                     "|bulkin [EP]|netrx [clear]|status|plugged";
    }
}

void CmdQueue(const Args &a, stSimDevice &dev, stReply &r)
{
    Bytes b;
    int ep = 0x81;
    bool clear = false;
    const std::string &what = a.size() > 2 ? a[2] : "";
    const std::string hex = a.size() > 3 ? a[3] : "";
    if (what == "bulkin" && dev.bUsb && FromHex(hex, b) && BulkOptions(a, 4, 0x81, ep, clear) && !clear
        && (ep & 0x80)) {
        {
            std::lock_guard<std::mutex> lock(g_simLock);
            dev.mapBulkIn[ep].push_back(b);
        }
        UsbDeliverBulkIn(dev);
    } else if (what == "netreply" && !dev.bUsb && a.size() == 4 && FromHex(hex, b) && !b.empty()) {
        std::lock_guard<std::mutex> lock(g_simLock);
        dev.queueNetReply.push_back(b);
    } else {
        r.strError = dev.bUsb ? "usage: queue ID bulkin HEX [EP]" : "usage: queue ID netreply HEX";
    }
}

void CmdClear(stSimDevice &dev)
{
    std::lock_guard<std::mutex> lock(g_simLock);
    dev.iStatusRequests = 0;
    dev.iCancels = 0;
    dev.listControls.clear();
    dev.mapBulkOut.clear();
    dev.mapBulkOutCount.clear();
    dev.mapBulkIn.clear();
    dev.listNetRx.clear();
    dev.queueNetReply.clear();
    ScanClear(dev);
    StreamClear(dev);
    MaintClear(dev);
}

void CmdPlug(bool plug, stSimDevice &dev, stReply &r)
{
    if (!dev.bUsb) {
        std::lock_guard<std::mutex> lock(g_simLock);
        dev.bPlugged = plug;
        return;
    }
    bool plugged;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        plugged = dev.pNode != nullptr;
    }
    if (plug && !plugged)
        UsbPlug(dev, r.strError);
    else if (!plug && plugged)
        UsbUnplug(dev);
}

// "net ID silent on|off" and "usb ID stall on|off".
void CmdSwitch(const Args &a, stSimDevice &dev, stReply &r)
{
    std::lock_guard<std::mutex> lock(g_simLock);
    bool v = false;
    if (!OnOff(a[3], v))
        r.strError = "expected on or off";
    else if (a[0] == "net" && a[2] == "silent" && !dev.bUsb)
        dev.bSilent = v;
    else if (a[0] == "usb" && a[2] == "stall" && dev.bUsb)
        dev.bStallStatus = v;
    else
        r.strError = "usage: net ID silent on|off (network devices), usb ID stall on|off (USB devices)";
}

void CmdList(stReply &r)
{
    std::lock_guard<std::mutex> lock(g_simLock);
    for (auto &d : SimDevices())
        r.Line(d->strId + " " + (d->bUsb ? "usb " : "net ") + d->strModel + " "
               + (d->bUsb ? d->strSerial : d->strAddr) + (d->bPlugged ? " plugged" : " unplugged"));
}

}  // namespace

std::string RunControlCommand(const std::string &line, bool &quit)
{
    Args a;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        a.push_back(w);
    stReply r;
    if (a.empty()) {
        r.strError = "empty command";
    } else if (a[0] == "quit" && a.size() == 1) {
        quit = true;
    } else if (a[0] == "get" && a.size() == 2 && a[1] == "env") {
        r.Line("UMOCKDEV_DIR=" + UsbRootDir());
    } else if (a[0] == "list" && a.size() == 1) {
        CmdList(r);
    } else {
        const size_t idPos = (a[0] == "set") ? 2 : 1;
        stSimDevice *dev = a.size() > idPos ? FindDevice(a[idPos]) : nullptr;
        if (a.size() <= idPos)
            r.strError = "missing device id";
        else if (!dev)
            r.strError = "no device " + a[idPos];
        else if (a[0] == "set")
            CmdSet(a, line, *dev, r);
        else if (a[0] == "get" && a.size() >= 3)
            CmdGet(a, *dev, r);
        else if (a[0] == "queue")
            CmdQueue(a, *dev, r);
        else if (a[0] == "clear" && a.size() == 2)
            CmdClear(*dev);
        else if ((a[0] == "plug" || a[0] == "unplug") && a.size() == 2)
            CmdPlug(a[0] == "plug", *dev, r);
        else if (a[0] == "netscan")
            NetScanCommand(a, line, *dev, r.strData, r.strError);
        else if ((a[0] == "net" || a[0] == "usb") && a.size() == 4)
            CmdSwitch(a, *dev, r);
        else if (a[0] == "scan" && a.size() >= 3 && dev->bUsb) {
            r.strData = ScanControl(a, *dev, r.strError);
            UsbDeliverBulkIn(*dev);  // a released scan goes on for readers already waiting
        } else if (a[0] == "stream")
            StreamCommand(a, *dev, r.strData, r.strError);
        else if (a[0] == "maint")
            MaintCommand(a, *dev, r.strData, r.strError);
        else
            r.strError = "unknown command: " + line;
    }
    return r.strData + (r.strError.empty() ? "OK\n" : "ERR " + r.strError + "\n");
}
