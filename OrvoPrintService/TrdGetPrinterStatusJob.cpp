// Job monitor: a job cancelled in CUPS while the printer prints it is cancelled in a USB
// printer too, because CUPS only stops sending and the printer keeps printing.
#include "TrdGetPrinterStatus.h"
#include "TrdGetPrinterStatusRules.h"
#include "UtilUsbPrinter.h"

#include "orvo-log.h"

#include <libusb.h>

#include <cstring>

namespace {
const int c_iUsbCancelRequest = 0x34;
const char *c_szSource = "../OrvoPrintService/TrdGetPrinterStatus";
}  // namespace

// The jobs come from the scheduler in-process (the scheduler asked again only after an event
// for the queue); the decision is the one the long job listing gave.
int TrdGetPrinterStatus::CheckJobStatus()
{
    QList<stCupsJob> jobs;
    const bool listed = GetCupsJobsCached(stCups, stPrinter.stInfo.strPrinterName, jobs);
    const QStringList cancels = StepJobMonitor(stPrinter.stInfo.strPrinterName, listed ? &jobs : nullptr,
                                               stPrinter.listJobState);
    for (const QString &job : cancels) {
        const int ret = CancelPrinterJob(stPrinter.stInfo.strPort);
        WriteStringLog(c_szSource, 660, "CheckJobStatus", "cancel %s in the printer, ret = %d",
                       job.toLocal8Bit().constData(), ret);
    }
    return 0;
}

int TrdGetPrinterStatus::CancelPrinterJob(const QString &port)
{
    libusb_device_handle *handle = nullptr;
    const int open = OpenUsbPrinter(port, c_stCancelLines, &handle);
    if (open < 0)
        return open;
    unsigned char buf[1017];
    memset(buf, 0, sizeof buf);
    const int ret = UsbClassRequest(handle, c_iUsbCancelRequest, buf, int(sizeof buf));
    ReleaseUsbPrinter(handle, ret);
    return ret;
}
