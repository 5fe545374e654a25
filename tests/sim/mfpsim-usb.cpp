#include "mfpsim-usb.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include "mfpsim-maint.h"
#include "mfpsim-scan.h"
#include "mfpsim-stream.h"

// One appearance of a device on the bus. A replug makes a new node with a new device
// number, as a real bus does; the old node only answers "no device" from then on.
struct stUrb {
    UMockdevIoctlClient *pClient;
    UMockdevIoctlData *pUrb;
    UMockdevIoctlData *pBuf;  // null for a zero-length buffer
    bool bDone = false;
};

// A synchronous USBDEVFS_BULK read that waits for data or its time-out.
struct stRawRead {
    UMockdevIoctlClient *pClient;
    UMockdevIoctlData *pArg;
    UMockdevIoctlData *pBuf;
    int iEndpoint;
    GSource *pTimer = nullptr;
};

struct stUsbNode {
    stSimDevice *pDev;
    int iDevnum;
    std::string strSysPath;
    std::string strDevNode;
    bool bGone = false;
    bool bDriverBound = true;  // "usblp" holds interface 0 until detached
    UMockdevIoctlBase *pHandler = nullptr;
    std::list<stUrb *> listUrbs;
    std::list<stRawRead *> listRawReads;
};

std::condition_variable g_usbDataCv;

namespace {

UMockdevTestbed *g_pTestbed = nullptr;
int g_iNextDevnum = 2;
std::vector<std::unique_ptr<stUsbNode>> g_listNodes;  // kept until exit: handlers may still fire

struct stCompletion {
    UMockdevIoctlClient *pClient;
    long lResult;
    int iErrno;
};

void FlushCompletions(std::vector<stCompletion> &list)
{
    for (auto &c : list) {
        umockdev_ioctl_client_complete(c.pClient, c.lResult, c.iErrno);
        g_object_unref(c.pClient);
    }
    list.clear();
}

void PutLe16(Bytes &b, unsigned v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

Bytes DeviceDescriptor(const stSimDevice &dev)
{
    Bytes b{18, 1, 0x00, 0x02, 0, 0, 0, 64};
    PutLe16(b, unsigned(dev.iVendorId));
    PutLe16(b, unsigned(dev.iProductId));
    b.insert(b.end(), {0x00, 0x01, 1, 2, 3, 1});
    return b;
}

Bytes ConfigDescriptor(const stSimDevice &dev)
{
    Bytes b{9, 2, 55, 0, 2, 1, 0, 0xC0, 0x32};
    auto iface = [&b](uint8_t num, uint8_t cls, uint8_t sub, uint8_t proto, uint8_t out, uint8_t in) {
        b.insert(b.end(), {9, 4, num, 0, 2, cls, sub, proto, 0});
        b.insert(b.end(), {7, 5, out, 2, 0x00, 0x02, 0});
        b.insert(b.end(), {7, 5, in, 2, 0x00, 0x02, 0});
    };
    iface(0, 7, 1, 2, StreamOutEndpoint(dev), 0x81);  // printer
    iface(1, 0xFF, 0, 0, 0x02, 0x82);  // scanner
    return b;
}

Bytes StringDescriptor(const std::string &s)
{
    Bytes b{uint8_t(2 + 2 * s.size()), 3};
    for (char c : s)
        PutLe16(b, uint8_t(c));
    return b;
}

// Answers a control request; returns the reply length, or -EPIPE for a stall.
int HandleControl(stUsbNode &node, const uint8_t *setup, uint8_t *data, int maxLen)
{
    stSimDevice &dev = *node.pDev;
    const unsigned type = setup[0], req = setup[1];
    const unsigned value = setup[2] | setup[3] << 8, index = setup[4] | setup[5] << 8;
    char line[64];
    snprintf(line, sizeof line, "%02X %02X %04X %04X %04X", type, req, value, index, unsigned(maxLen));
    dev.listControls.push_back(line);

    Bytes reply;
    if (type == 0x80 && req == 6) {
        const unsigned kind = value >> 8, idx = value & 0xFF;
        if (kind == 1)
            reply = DeviceDescriptor(dev);
        else if (kind == 2)
            reply = ConfigDescriptor(dev);
        else if (kind == 3 && idx == 0)
            reply = {4, 3, 0x09, 0x04};
        else if (kind == 3 && idx == 1)
            reply = StringDescriptor("Orvo");
        else if (kind == 3 && idx == 2)
            reply = StringDescriptor(dev.strModel);
        else if (kind == 3 && idx == 3)
            reply = StringDescriptor(dev.strSerial);
        else
            return -EPIPE;
    } else if (type == 0xA1 && req == 0x33) {
        ++dev.iStatusRequests;
        if (dev.bStallStatus)
            return -EPIPE;
        reply = BuildStatusBody(dev);
    } else if (type == 0xA1 && req == 0x34) {
        ++dev.iCancels;
        reply = {0x34, 0x00};
    } else if ((type & 0x80) == 0) {
        return 0;  // standard and class OUT requests are accepted without data
    } else {
        return -EPIPE;
    }
    const int n = std::min(int(reply.size()), maxLen);
    if (n > 0)
        memcpy(data, reply.data(), size_t(n));
    return n;
}

// Returns how many bytes the device took.
int RecordBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len)
{
    len = MaintBulkOut(dev, ep, data, len);
    Bytes &rec = dev.mapBulkOut[ep];
    rec.insert(rec.end(), data, data + len);
    ++dev.mapBulkOutCount[ep];
    if (ep == c_iScanEpOut)
        ScanOnBulkOut(dev, data, len);
    return len;
}

// Takes up to maxLen bytes of the first queued reply for the endpoint; false when none.
bool TakeBulkIn(stSimDevice &dev, int ep, uint8_t *data, int maxLen, int &n)
{
    auto &q = dev.mapBulkIn[ep];
    if (q.empty() && ep == c_iScanEpIn)
        ScanProduce(dev);  // a running scan's next record is made when it is asked for
    if (q.empty())
        return false;
    Bytes &front = q.front();
    n = std::min(int(front.size()), maxLen);
    if (n > 0)
        memcpy(data, front.data(), size_t(n));
    front.erase(front.begin(), front.begin() + n);
    if (front.empty())
        q.pop_front();
    return true;
}

usbdevfs_urb *UrbOf(stUrb *u)
{
    return reinterpret_cast<usbdevfs_urb *>(u->pUrb->data);
}

void FreeUrb(stUrb *u)
{
    g_object_unref(u->pUrb);
    if (u->pBuf)
        g_object_unref(u->pBuf);
    g_object_unref(u->pClient);
    delete u;
}

void FillPendingUrbs(stUsbNode &node)
{
    for (stUrb *u : node.listUrbs) {
        usbdevfs_urb *urb = UrbOf(u);
        if (u->bDone || !(urb->endpoint & 0x80) || urb->type != USBDEVFS_URB_TYPE_BULK)
            continue;
        int n = 0;
        if (!TakeBulkIn(*node.pDev, urb->endpoint, u->pBuf ? u->pBuf->data : nullptr, urb->buffer_length, n))
            break;  // later URBs must not overtake this one
        urb->actual_length = n;
        urb->status = (n < urb->buffer_length && (urb->flags & USBDEVFS_URB_SHORT_NOT_OK)) ? -EREMOTEIO : 0;
        u->bDone = true;
    }
}

void FillRawReads(stUsbNode &node, std::vector<stCompletion> &done)
{
    for (auto it = node.listRawReads.begin(); it != node.listRawReads.end();) {
        stRawRead *r = *it;
        auto *bt = reinterpret_cast<usbdevfs_bulktransfer *>(r->pArg->data);
        int n = 0;
        if (!TakeBulkIn(*node.pDev, r->iEndpoint, r->pBuf ? r->pBuf->data : nullptr, int(bt->len), n)) {
            ++it;
            continue;
        }
        if (r->pTimer)
            g_source_destroy(r->pTimer);
        done.push_back({r->pClient, n, 0});
        g_object_unref(r->pArg);
        if (r->pBuf)
            g_object_unref(r->pBuf);
        if (r->pTimer)
            g_source_unref(r->pTimer);
        delete r;
        it = node.listRawReads.erase(it);
    }
}

// URBs of a closed fd must not be reaped by the next one that reuses the client object.
void PurgeVanished(stUsbNode &node)
{
    for (auto it = node.listUrbs.begin(); it != node.listUrbs.end();) {
        if (!umockdev_ioctl_client_get_connected((*it)->pClient)) {
            FreeUrb(*it);
            it = node.listUrbs.erase(it);
        } else {
            ++it;
        }
    }
}

struct stTimerArg {
    stUsbNode *pNode;
    stRawRead *pRead;
};

gboolean OnRawReadTimeout(gpointer p)
{
    auto *t = static_cast<stTimerArg *>(p);
    std::vector<stCompletion> done;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        auto &list = t->pNode->listRawReads;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (*it != t->pRead)
                continue;
            stRawRead *r = *it;
            done.push_back({r->pClient, -1, ETIMEDOUT});
            g_object_unref(r->pArg);
            if (r->pBuf)
                g_object_unref(r->pBuf);
            g_source_unref(r->pTimer);
            delete r;
            list.erase(it);
            break;
        }
    }
    FlushCompletions(done);
    return G_SOURCE_REMOVE;
}

UMockdevIoctlData *Resolve(UMockdevIoctlData *d, size_t off, size_t len)
{
    GError *err = nullptr;
    UMockdevIoctlData *r = umockdev_ioctl_data_resolve(d, off, len, &err);
    if (err)
        g_error_free(err);
    return r;
}

void Complete(UMockdevIoctlClient *c, long res, int err)
{
    umockdev_ioctl_client_complete(c, res, err);
}

gboolean OnSubmitUrb(stUsbNode &node, UMockdevIoctlClient *c, UMockdevIoctlData *arg)
{
    UMockdevIoctlData *a = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!a) {
        Complete(c, -1, EFAULT);
        return TRUE;
    }
    auto *urb = reinterpret_cast<usbdevfs_urb *>(a->data);
    UMockdevIoctlData *b = nullptr;
    if (urb->buffer_length > 0)
        b = Resolve(a, offsetof(usbdevfs_urb, buffer), size_t(urb->buffer_length));
    auto *u = new stUrb{c, a, b};
    g_object_ref(c);
    urb->status = 0;
    urb->actual_length = 0;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        if (!b || urb->buffer_length < 8) {
            urb->status = -EINVAL;
        } else {
            const int n = HandleControl(node, b->data, b->data + 8, urb->buffer_length - 8);
            if (n < 0)
                urb->status = n;
            else
                urb->actual_length = n;
        }
        u->bDone = true;
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && !(urb->endpoint & 0x80)) {
        const stStreamVerdict v = StreamOnBulkOut(*node.pDev, urb->endpoint, b ? b->data : nullptr,
                                                  urb->buffer_length, urb->flags & USBDEVFS_URB_BULK_CONTINUATION);
        urb->actual_length = RecordBulkOut(*node.pDev, urb->endpoint, b ? b->data : nullptr, v.iAccepted);
        u->bDone = !v.bHold;  // a held URB ends when the host discards it or the device goes
    } else if (urb->type != USBDEVFS_URB_TYPE_BULK) {
        FreeUrb(u);
        Complete(c, -1, EINVAL);
        return TRUE;
    }
    node.listUrbs.push_back(u);
    FillPendingUrbs(node);
    Complete(c, 0, 0);
    return TRUE;
}

gboolean OnReapUrb(stUsbNode &node, UMockdevIoctlClient *c, UMockdevIoctlData *arg)
{
    for (auto it = node.listUrbs.begin(); it != node.listUrbs.end(); ++it) {
        stUrb *u = *it;
        if (u->pClient != c || !u->bDone)
            continue;
        UMockdevIoctlData *p = Resolve(arg, 0, sizeof(void *));
        if (!p) {
            Complete(c, -1, EFAULT);
            return TRUE;
        }
        umockdev_ioctl_data_set_ptr(p, 0, u->pUrb);
        g_object_unref(p);
        node.listUrbs.erase(it);
        FreeUrb(u);
        Complete(c, 0, 0);
        return TRUE;
    }
    Complete(c, -1, node.bGone ? ENODEV : EAGAIN);
    return TRUE;
}

gboolean OnDiscardUrb(stUsbNode &node, UMockdevIoctlClient *c, UMockdevIoctlData *arg)
{
    const gulong addr = *reinterpret_cast<gulong *>(arg->data);
    for (stUrb *u : node.listUrbs) {
        if (u->pClient == c && u->pUrb->client_addr == addr && !u->bDone) {
            UrbOf(u)->status = -ENOENT;
            u->bDone = true;
            Complete(c, 0, 0);
            return TRUE;
        }
    }
    Complete(c, -1, EINVAL);
    return TRUE;
}

gboolean OnRawBulk(stUsbNode &node, UMockdevIoctlClient *c, UMockdevIoctlData *arg)
{
    UMockdevIoctlData *a = Resolve(arg, 0, sizeof(usbdevfs_bulktransfer));
    if (!a) {
        Complete(c, -1, EFAULT);
        return TRUE;
    }
    auto *bt = reinterpret_cast<usbdevfs_bulktransfer *>(a->data);
    UMockdevIoctlData *b = bt->len ? Resolve(a, offsetof(usbdevfs_bulktransfer, data), bt->len) : nullptr;
    const int ep = int(bt->ep & 0xFF);
    if (!(ep & 0x80)) {
        // A synchronous call cannot be held here: a printer that stops taking data shows as a short write.
        const int accepted = StreamOnBulkOut(*node.pDev, ep, b ? b->data : nullptr, int(bt->len), false).iAccepted;
        const long len = RecordBulkOut(*node.pDev, ep, b ? b->data : nullptr, accepted);
        g_object_unref(a);
        if (b)
            g_object_unref(b);
        Complete(c, len, 0);
        std::vector<stCompletion> done;  // an answer may be what another fd's read waits for
        FillPendingUrbs(node);
        FillRawReads(node, done);
        FlushCompletions(done);
        g_usbDataCv.notify_all();
        return TRUE;
    }
    if (ep == c_iScanEpIn && ScanTakeStall(*node.pDev)) {
        g_object_unref(a);
        if (b)
            g_object_unref(b);
        Complete(c, -1, EPIPE);
        return TRUE;
    }
    auto *r = new stRawRead{c, a, b, ep};
    g_object_ref(c);
    if (bt->timeout) {
        r->pTimer = g_timeout_source_new(bt->timeout);
        g_source_set_callback(r->pTimer, OnRawReadTimeout, new stTimerArg{&node, r},
                              [](gpointer p) { delete static_cast<stTimerArg *>(p); });
        g_source_attach(r->pTimer, g_main_context_get_thread_default());
    }
    node.listRawReads.push_back(r);
    std::vector<stCompletion> done;
    FillRawReads(node, done);
    FlushCompletions(done);
    return TRUE;
}

gboolean OnRawControl(stUsbNode &node, UMockdevIoctlClient *c, UMockdevIoctlData *arg)
{
    UMockdevIoctlData *a = Resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!a) {
        Complete(c, -1, EFAULT);
        return TRUE;
    }
    auto *ct = reinterpret_cast<usbdevfs_ctrltransfer *>(a->data);
    UMockdevIoctlData *b = ct->wLength ? Resolve(a, offsetof(usbdevfs_ctrltransfer, data), ct->wLength) : nullptr;
    const uint8_t setup[8] = {ct->bRequestType, ct->bRequest, uint8_t(ct->wValue), uint8_t(ct->wValue >> 8),
                              uint8_t(ct->wIndex), uint8_t(ct->wIndex >> 8), uint8_t(ct->wLength),
                              uint8_t(ct->wLength >> 8)};
    const int n = HandleControl(node, setup, b ? b->data : nullptr, ct->wLength);
    if (b)
        g_object_unref(b);
    g_object_unref(a);
    if (n < 0)
        Complete(c, -1, -n);
    else
        Complete(c, n, 0);
    return TRUE;
}

gboolean OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *c, gpointer p)
{
    stUsbNode &node = *static_cast<stUsbNode *>(p);
    const unsigned long req = umockdev_ioctl_client_get_request(c);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(c);
    std::lock_guard<std::mutex> lock(g_simLock);
    PurgeVanished(node);
    if (req == USBDEVFS_REAPURBNDELAY)
        return OnReapUrb(node, c, arg);
    if (req == USBDEVFS_DISCARDURB)
        return OnDiscardUrb(node, c, arg);
    if (node.bGone) {
        Complete(c, -1, ENODEV);
        return TRUE;
    }
    switch (req) {
    case USBDEVFS_SUBMITURB:
        return OnSubmitUrb(node, c, arg);
    case USBDEVFS_BULK:
        return OnRawBulk(node, c, arg);
    case USBDEVFS_CONTROL:
        return OnRawControl(node, c, arg);
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData *d = Resolve(arg, 0, sizeof(uint32_t));
        if (!d) {
            Complete(c, -1, EFAULT);
            return TRUE;
        }
        const uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_ZERO_PACKET
                              | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        memcpy(d->data, &caps, sizeof caps);
        g_object_unref(d);
        Complete(c, 0, 0);
        return TRUE;
    }
    case USBDEVFS_GETDRIVER: {
        UMockdevIoctlData *d = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
        if (!d) {
            Complete(c, -1, EFAULT);
            return TRUE;
        }
        auto *gd = reinterpret_cast<usbdevfs_getdriver *>(d->data);
        const bool bound = gd->interface == 0 && node.bDriverBound;
        if (bound)
            snprintf(gd->driver, sizeof gd->driver, "usblp");
        g_object_unref(d);
        Complete(c, bound ? 0 : -1, bound ? 0 : ENODATA);
        return TRUE;
    }
    case USBDEVFS_IOCTL: {
        UMockdevIoctlData *d = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
        if (!d) {
            Complete(c, -1, EFAULT);
            return TRUE;
        }
        auto *io = reinterpret_cast<usbdevfs_ioctl *>(d->data);
        const int ifno = io->ifno;
        const unsigned long code = static_cast<unsigned long>(static_cast<unsigned>(io->ioctl_code));
        g_object_unref(d);
        if (code == USBDEVFS_DISCONNECT) {
            const bool was = ifno == 0 && node.bDriverBound;
            node.bDriverBound = node.bDriverBound && ifno != 0;
            Complete(c, was ? 0 : -1, was ? 0 : ENODATA);
        } else if (code == USBDEVFS_CONNECT) {
            node.bDriverBound = node.bDriverBound || ifno == 0;
            Complete(c, 0, 0);
        } else {
            Complete(c, -1, ENOTTY);
        }
        return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE: {
        UMockdevIoctlData *d = Resolve(arg, 0, sizeof(unsigned));
        if (!d) {
            Complete(c, -1, EFAULT);
            return TRUE;
        }
        unsigned ifno = 0;
        memcpy(&ifno, d->data, sizeof ifno);
        g_object_unref(d);
        if (ifno > 1)
            Complete(c, -1, ENOENT);
        else if (ifno == 0 && (node.bDriverBound || StreamClaimRefused(*node.pDev)))
            Complete(c, -1, EBUSY);
        else {
            StreamOnClaim(*node.pDev, int(ifno));
            Complete(c, 0, 0);
        }
        return TRUE;
    }
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESET:
        ScanOnReset(*node.pDev);
        Complete(c, 0, 0);
        return TRUE;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        Complete(c, 0, 0);
        return TRUE;
    default:  // DISCONNECT_CLAIM among others: libusb then falls back to detach + claim
        Complete(c, -1, ENOTTY);
        return TRUE;
    }
}

gboolean OnRead(UMockdevIoctlBase *, UMockdevIoctlClient *c, gpointer p)
{
    stUsbNode &node = *static_cast<stUsbNode *>(p);
    bool gone;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        gone = node.bGone;
    }
    if (!gone)
        return FALSE;  // the node file holds the descriptors that read() returns
    Complete(c, -1, ENODEV);
    return TRUE;
}

std::string DeviceRecord(const stUsbNode &node)
{
    const stSimDevice &dev = *node.pDev;
    const Bytes desc = [&] {
        Bytes d = DeviceDescriptor(dev);
        const Bytes cfg = ConfigDescriptor(dev);
        d.insert(d.end(), cfg.begin(), cfg.end());
        return d;
    }();
    char nums[512];
    snprintf(nums, sizeof nums,
             "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=%s\nE: BUSNUM=001\nE: DEVNUM=%03d\n"
             "E: PRODUCT=%x/%x/100\nE: MAJOR=189\nE: MINOR=%d\n"
             "A: busnum=1\\n\nA: devnum=%d\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\nA: dev=189:%d\\n\n"
             "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n",
             node.strDevNode.c_str(), node.iDevnum, dev.iVendorId, dev.iProductId, node.iDevnum - 1,
             node.iDevnum, node.iDevnum - 1, dev.iVendorId, dev.iProductId);
    return "P: " + node.strSysPath + "\n" + nums + "A: manufacturer=Orvo\\n\nA: product=" + dev.strModel
           + "\\n\nA: serial=" + dev.strSerial + "\\n\nH: descriptors=" + ToHex(desc) + "\nN: "
           + node.strDevNode.substr(5) + "=" + ToHex(desc) + "\n";
}

}  // namespace

bool UsbStart(std::string &err)
{
    g_pTestbed = umockdev_testbed_new();
    if (!g_pTestbed) {
        err = "cannot create the umockdev testbed";
        return false;
    }
    return true;
}

std::string UsbRootDir()
{
    gchar *root = umockdev_testbed_get_root_dir(g_pTestbed);
    std::string s = root ? root : "";
    g_free(root);
    return s;
}

bool UsbPlug(stSimDevice &dev, std::string &err)
{
    auto node = std::make_unique<stUsbNode>();
    node->pDev = &dev;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        node->iDevnum = g_iNextDevnum++;
    }
    char path[64];
    snprintf(path, sizeof path, "/devices/1-%d", dev.iSlot);
    node->strSysPath = path;
    snprintf(path, sizeof path, "/dev/bus/usb/001/%03d", node->iDevnum);
    node->strDevNode = path;
    if (UsbRootDir().size() + 7 + node->strDevNode.size() >= 108) {
        err = "TMPDIR is too long for the testbed's socket paths";
        return false;
    }

    // The handler must exist before the node does, and everything must be in place
    // before the "add" event goes out, or libusb may look at a half-made device.
    node->pHandler = UMOCKDEV_IOCTL_BASE(g_object_new(umockdev_ioctl_base_get_type(), nullptr));
    g_signal_connect(node->pHandler, "handle-ioctl", G_CALLBACK(OnIoctl), node.get());
    g_signal_connect(node->pHandler, "handle-read", G_CALLBACK(OnRead), node.get());
    GError *gerr = nullptr;
    if (!umockdev_testbed_attach_ioctl(g_pTestbed, node->strDevNode.c_str(), node->pHandler, &gerr)
        || !umockdev_testbed_add_from_string(g_pTestbed, DeviceRecord(*node).c_str(), &gerr)) {
        err = gerr ? gerr->message : "cannot add the device";
        if (gerr)
            g_error_free(gerr);
        return false;
    }
    const std::string sysDir = "/sys" + node->strSysPath;
    if (!umockdev_in_mock_environment())  // add_from_string announces the device only inside a testbed
        umockdev_testbed_uevent(g_pTestbed, sysDir.c_str(), "add");
    std::lock_guard<std::mutex> lock(g_simLock);
    dev.pNode = node.get();
    dev.bPlugged = true;
    g_listNodes.push_back(std::move(node));
    return true;
}

void UsbUnplug(stSimDevice &dev)
{
    stUsbNode *node;
    std::vector<stCompletion> done;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        node = dev.pNode;
        if (!node)
            return;
        dev.pNode = nullptr;
        dev.bPlugged = false;
        node->bGone = true;
        for (stUrb *u : node->listUrbs) {
            if (!u->bDone) {
                UrbOf(u)->status = -ESHUTDOWN;
                u->bDone = true;
            }
        }
        for (stRawRead *r : node->listRawReads) {
            if (r->pTimer) {
                g_source_destroy(r->pTimer);
                g_source_unref(r->pTimer);
            }
            done.push_back({r->pClient, -1, ENODEV});
            g_object_unref(r->pArg);
            if (r->pBuf)
                g_object_unref(r->pBuf);
            delete r;
        }
        node->listRawReads.clear();
    }
    FlushCompletions(done);
    // The event reads the device's uevent file, so it has to go out before the removal.
    const std::string sysDir = "/sys" + node->strSysPath;
    umockdev_testbed_uevent(g_pTestbed, sysDir.c_str(), "remove");
    umockdev_testbed_remove_device(g_pTestbed, sysDir.c_str());
}

void UsbDeliverBulkIn(stSimDevice &dev)
{
    std::vector<stCompletion> done;
    {
        std::lock_guard<std::mutex> lock(g_simLock);
        if (!dev.pNode)
            return;
        FillPendingUrbs(*dev.pNode);
        FillRawReads(*dev.pNode, done);
    }
    FlushCompletions(done);
    g_usbDataCv.notify_all();
}

void UsbStop()
{
    if (g_pTestbed)
        g_object_unref(g_pTestbed);
    g_pTestbed = nullptr;
}

stSimDevice *UsbPresentDevice(const std::string &devNode)
{
    for (auto &n : g_listNodes)
        if (!n->bGone && n->strDevNode == devNode)
            return n->pDev;
    return nullptr;
}

int UsbHandleControl(stSimDevice &dev, const uint8_t *setup, uint8_t *data, int maxLen)
{
    return dev.pNode ? HandleControl(*dev.pNode, setup, data, maxLen) : -ENODEV;
}

void UsbRecordBulkOut(stSimDevice &dev, int ep, const uint8_t *data, int len)
{
    RecordBulkOut(dev, ep, data, len);
}

bool UsbTakeBulkIn(stSimDevice &dev, int ep, uint8_t *data, int maxLen, int &n)
{
    return TakeBulkIn(dev, ep, data, maxLen, n);
}
