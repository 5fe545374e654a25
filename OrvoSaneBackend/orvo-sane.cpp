// The SANE backend "orvo": Orvo scanners, over USB and the network, through the Orvo
// scan daemon. The entry points of the SANE standard, under the backend's own prefix.
#include "orvo-sane-conf.h"
#include "orvo-sane-devices.h"
#include "orvo-sane-log.h"
#include "orvo-sane-names.h"
#include "orvo-sane-scan.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const int c_buildVersion = 1;

stOrvoSaneConf g_conf;
std::vector<stOrvoDevice> g_listDevice;
std::vector<SANE_Device> g_listSaneDevice;
std::vector<const SANE_Device *> g_listSaneDevicePtr;
std::vector<stOrvoHandle *> g_listHandle;

// A device named by the front end without a listing first: "usb:<serial>" or "net:<address>".
bool DeviceFromName(const std::string &name, stOrvoDevice &dev)
{
    for (const stOrvoDevice &d : g_listDevice)
        if (d.strName == name) {
            dev = d;
            return true;
        }
    if (name.compare(0, 4, "usb:") == 0 && name.size() > 4) {
        dev = stOrvoDevice();
        dev.strName = name;
        dev.strSerial = name.substr(4);
        dev.strModel = "USB MFP";
        return true;
    }
    if (name.compare(0, 4, "net:") == 0 && IsIPv4Text(name.substr(4))) {
        dev = stOrvoDevice();
        dev.bNet = true;
        dev.strName = name;
        dev.strAddress = name.substr(4);
        dev.strModel = "network MFP";
        return true;
    }
    return false;
}

stOrvoHandle *HandleOf(SANE_Handle handle)
{
    stOrvoHandle *h = static_cast<stOrvoHandle *>(handle);
    return std::find(g_listHandle.begin(), g_listHandle.end(), h) != g_listHandle.end() ? h : nullptr;
}

}  // namespace

extern "C" {

SANE_Status sane_init(SANE_Int *version_code, SANE_Auth_Callback)
{
    OrvoInitLog();
    std::vector<std::string> warnings;
    g_conf = ReadOrvoSaneConf(warnings);
    for (const std::string &w : warnings)
        OrvoLog(LOG_ERROR, "orvo.conf %s", w.c_str());
    if (version_code)
        *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR, c_buildVersion);
    return SANE_STATUS_GOOD;
}

void sane_exit(void)
{
    for (stOrvoHandle *h : g_listHandle) {
        OrvoCloseDevice(*h);
        delete h;
    }
    g_listHandle.clear();
    g_listSaneDevicePtr.clear();
    g_listSaneDevice.clear();
    g_listDevice.clear();
}

SANE_Status sane_get_devices(const SANE_Device ***device_list, SANE_Bool)
{
    std::string err;
    std::vector<stOrvoDevice> found;
    if (!OrvoFindDevices(g_conf, found, err))
        OrvoLog(LOG_ERROR, "cannot reach the Orvo scan daemon at 127.0.0.1:%d (%s); is it running?", ORVO_SCAN_PORT,
                err.c_str());
    g_listDevice = found;
    g_listSaneDevice.clear();
    for (const stOrvoDevice &d : g_listDevice) {
        SANE_Device s;
        s.name = d.strName.c_str();
        s.vendor = "Orvo";
        s.model = d.strModel.c_str();
        s.type = "multi-function peripheral";
        g_listSaneDevice.push_back(s);
    }
    g_listSaneDevicePtr.clear();
    for (const SANE_Device &s : g_listSaneDevice)
        g_listSaneDevicePtr.push_back(&s);
    g_listSaneDevicePtr.push_back(nullptr);
    *device_list = g_listSaneDevicePtr.data();
    return SANE_STATUS_GOOD;
}

SANE_Status sane_open(SANE_String_Const devicename, SANE_Handle *handle)
{
    std::string name = devicename ? devicename : "";
    if (name.empty()) {
        std::string err;
        if (g_listDevice.empty() && !OrvoFindDevices(g_conf, g_listDevice, err))
            OrvoLog(LOG_ERROR, "cannot reach the Orvo scan daemon at 127.0.0.1:%d (%s)", ORVO_SCAN_PORT, err.c_str());
        if (g_listDevice.empty())
            return SANE_STATUS_INVAL;
        name = g_listDevice.front().strName;
    }
    stOrvoDevice dev;
    if (!DeviceFromName(name, dev))
        return SANE_STATUS_INVAL;
    stOrvoHandle *h = new (std::nothrow) stOrvoHandle;
    if (!h)
        return SANE_STATUS_NO_MEM;
    h->dev = dev;
    h->iTimeoutSec = g_conf.iTimeoutSec;
    const SANE_Status st = OrvoOpenDevice(*h);
    if (st != SANE_STATUS_GOOD) {
        OrvoCloseDevice(*h);
        delete h;
        return st;
    }
    g_listHandle.push_back(h);
    *handle = h;
    return SANE_STATUS_GOOD;
}

void sane_close(SANE_Handle handle)
{
    stOrvoHandle *h = HandleOf(handle);
    if (!h)
        return;
    OrvoCloseDevice(*h);
    g_listHandle.erase(std::find(g_listHandle.begin(), g_listHandle.end(), h));
    delete h;
}

const SANE_Option_Descriptor *sane_get_option_descriptor(SANE_Handle handle, SANE_Int option)
{
    stOrvoHandle *h = HandleOf(handle);
    if (!h || option < 0 || option >= NUM_OPTIONS)
        return nullptr;
    return &h->opts.desc[option];
}

SANE_Status sane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void *value, SANE_Int *info)
{
    stOrvoHandle *h = HandleOf(handle);
    if (!h)
        return SANE_STATUS_INVAL;
    if (action != SANE_ACTION_GET_VALUE && h->job.bFrame)
        return SANE_STATUS_DEVICE_BUSY;
    return ControlOrvoOption(h->opts, option, action, value, info);
}

SANE_Status sane_get_parameters(SANE_Handle handle, SANE_Parameters *params)
{
    stOrvoHandle *h = HandleOf(handle);
    if (!h || !params)
        return SANE_STATUS_INVAL;
    // During a scan: the page as it is (a JPEG page has its own size); before: the estimate.
    FillSaneParameters(h->job.bFrame ? h->job.page.geo : OrvoGeometry(h->opts), params);
    return SANE_STATUS_GOOD;
}

SANE_Status sane_start(SANE_Handle handle)
{
    stOrvoHandle *h = HandleOf(handle);
    return h ? OrvoStartFrame(*h) : SANE_STATUS_INVAL;
}

SANE_Status sane_read(SANE_Handle handle, SANE_Byte *data, SANE_Int max_length, SANE_Int *length)
{
    stOrvoHandle *h = HandleOf(handle);
    if (length)
        *length = 0;
    if (!h || !data || !length || max_length <= 0)
        return SANE_STATUS_INVAL;
    return OrvoReadFrame(*h, data, max_length, length);
}

// Front ends call this from signal handlers too: the handle is not looked up in the list
// (no allocation, no iteration that a signal could interrupt).
void sane_cancel(SANE_Handle handle)
{
    if (handle)
        OrvoCancel(*static_cast<stOrvoHandle *>(handle));
}

SANE_Status sane_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking)
{
    if (!HandleOf(handle))
        return SANE_STATUS_INVAL;
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_get_select_fd(SANE_Handle, SANE_Int *)
{
    return SANE_STATUS_UNSUPPORTED;
}

SANE_String_Const sane_strstatus(SANE_Status status)
{
    switch (status) {
    case SANE_STATUS_GOOD:
        return "Success";
    case SANE_STATUS_UNSUPPORTED:
        return "Operation not supported";
    case SANE_STATUS_CANCELLED:
        return "Operation was cancelled";
    case SANE_STATUS_DEVICE_BUSY:
        return "Device busy";
    case SANE_STATUS_INVAL:
        return "Invalid argument";
    case SANE_STATUS_EOF:
        return "End of file reached";
    case SANE_STATUS_JAMMED:
        return "Document feeder jammed";
    case SANE_STATUS_NO_DOCS:
        return "Document feeder out of documents";
    case SANE_STATUS_COVER_OPEN:
        return "Scanner cover is open";
    case SANE_STATUS_IO_ERROR:
        return "Error during device I/O";
    case SANE_STATUS_NO_MEM:
        return "Out of memory";
    case SANE_STATUS_ACCESS_DENIED:
        return "Access to resource has been denied";
    default:
        return "Unknown SANE status code";
    }
}

}  // extern "C"
