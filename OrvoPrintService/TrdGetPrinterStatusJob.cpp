// Job monitor: a job cancelled in CUPS while the printer prints it is cancelled in a USB
// printer too, because CUPS only stops sending and the printer keeps printing.
#include "TrdGetPrinterStatus.h"
#include "UtilUsbPrinter.h"

#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-spawn.h"

#include <QDir>
#include <QFile>
#include <libusb.h>

#include <cstring>

namespace {
const int c_iUsbCancelRequest = 0x34;

struct stJobWords {
    static bool IsAlerts(const QString &l) { return l.startsWith("Alerts:") || l.startsWith(QString::fromUtf8("警告")); }
    static bool IsStatus(const QString &l) { return l.startsWith("Status:") || l.startsWith(QString::fromUtf8("状态")); }
};
} // namespace

int TrdGetPrinterStatus::CheckJobStatus()
{
    const QString listing = OrvoCfgPath() + QString("printjob_%1.tmp").arg(iIndex);
    const QString home = QDir::homePath();
    const QString user = home.mid(home.lastIndexOf('/') + 1);
    RunCommand({"lpstat", "-u", user, "-W", "all", "-l", "-o", stPrinter.stInfo.strPrinterName}, listing);

    QList<stJobState> jobs;
    stJobState current;
    current.strJobID.clear();
    bool processingSeen = false;
    QFile file(listing);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const QString raw = QString::fromUtf8(file.readLine());
            if (!raw.startsWith('\t')) {
                const QStringList fields = raw.trimmed().split(' ', Qt::SkipEmptyParts);
                if (fields.size() >= 4) {
                    current.strJobID = fields.at(0);
                    current.iJobState = JOB_LISTED;
                    processingSeen = false;
                }
                continue;
            }
            const QString line = raw.trimmed();
            if (stJobWords::IsAlerts(line)) {
                if (line.contains("none")) {
                    current.iJobState = JOB_NO_ALERTS;
                } else if (line.contains("job-printing") || line.contains("processing-to-stop-point")) {
                    current.iJobState = JOB_PRINTING;
                    jobs.append(current);
                } else if (line.contains("job-canceled-by-user")) {
                    current.iJobState = JOB_CANCELED_BY_USER;
                    for (const stJobState &seen : stPrinter.listJobState) {
                        if (seen.strJobID == current.strJobID && seen.iJobState == JOB_PRINTING) {
                            CancelPrinterJob(stPrinter.stInfo.strPort);
                            break;
                        }
                    }
                } else if (processingSeen) {
                    current.iJobState = JOB_PRINTING;
                    jobs.append(current);
                } else {
                    current.iJobState = JOB_OTHER_ALERT;
                }
            } else if (stJobWords::IsStatus(line)) {
                if (line.contains("Processing"))
                    processingSeen = true;
            }
        }
        file.close();
    }
    QFile::remove(listing);
    stPrinter.listJobState = jobs;
    return 0;
}

int TrdGetPrinterStatus::CancelPrinterJob(const QString &port)
{
    libusb_context *ctx = nullptr;
    libusb_device_handle *handle = nullptr;
    const int open = OpenUsbPrinter(port, c_stCancelLines, &ctx, &handle);
    if (open < 0)
        return open;
    unsigned char buf[1017];
    memset(buf, 0, sizeof buf);
    const int ret = UsbClassRequest(handle, c_iUsbCancelRequest, buf, int(sizeof buf));
    libusb_close(handle);
    libusb_exit(ctx);
    return ret;
}

int TrdGetPrinterStatus::CancelCUPSJob(const QString &jobID)
{
    return RunCommand({"cancel", jobID});
}
