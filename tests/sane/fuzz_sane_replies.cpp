// libFuzzer entry: any bytes as what the scan daemon answers, read by the backend's own
// code as a front end drives it: the device search and open, scan starts, records, aborts,
// the close. The first byte picks USB or network and flatbed or feeder; the rest waits in
// the connection, which then ends. Every call must return, and no descriptor stays open.
#include "orvo-sane-log.h"
#include "orvo-sane-scan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

// Scan starts that got the daemon's answer (not an I/O error): the suite's pass checks
// that its seeds get that far.
int g_iFuzzStartsAnswered = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The backend's requests go unread into the socket's buffer: inputs stay small enough
    // that they all fit.
    if (size < 1 || size > 8192)
        return 0;
    // The backend's complaints about the replies would fill the output: not printed.
    static const bool c_bQuiet = [] {
        setenv("SANE_DEBUG_ORVO", "0", 1);
        OrvoInitLog();
        return true;
    }();
    (void)c_bQuiet;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) < 0)
        return 0;
    if (write(sv[1], data + 1, size - 1) != ssize_t(size - 1))
        __builtin_trap();
    shutdown(sv[1], SHUT_WR);

    stOrvoHandle *h = new stOrvoHandle;
    h->dev.bNet = data[0] & 1;
    h->dev.strName = h->dev.bNet ? "net:192.0.2.1" : "usb:FUZZ";
    h->dev.strSerial = "FUZZ";
    h->dev.strAddress = "192.0.2.1";
    // The input ends the connection: a call that waits for the timeout instead is a hang,
    // which the fuzzer reports.
    h->iTimeoutSec = 3600;
    h->conn.fd = sv[0];
    h->iLastLifeMs = OrvoNowMs();  // the call begins now, as an entry point's would
    if (OrvoIdentifyDevice(*h) == SANE_STATUS_GOOD) {
        InitOrvoOptions(h->opts, h->caps);
        h->opts.value[OPT_BR_X] = SANE_FIX(10.0);
        h->opts.value[OPT_BR_Y] = SANE_FIX(10.0);
        if ((data[0] & 2) && h->caps.bAdf)
            ControlOrvoOption(h->opts, OPT_SOURCE, SANE_ACTION_SET_VALUE, const_cast<char *>("ADF"), nullptr);
        // A connection that broke is not made again here: no daemon is asked for real.
        for (int scan = 0; scan < 3 && h->conn.fd >= 0; ++scan) {
            const SANE_Status st = OrvoStartFrame(*h);
            g_iFuzzStartsAnswered += st != SANE_STATUS_IO_ERROR;
            if (st != SANE_STATUS_GOOD)
                continue;
            SANE_Byte buf[4096];
            SANE_Int len = 0;
            for (int i = 0; i < 64 && OrvoReadFrame(*h, buf, sizeof buf, &len) == SANE_STATUS_GOOD; ++i) {
            }
        }
        OrvoCancel(*h);
    }
    OrvoCloseDevice(*h);
    if (h->job.iInotify >= 0 || h->conn.fd >= 0)
        __builtin_trap();  // a descriptor the backend kept
    delete h;
    close(sv[1]);
    return 0;
}
