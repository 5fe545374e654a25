#include "orvo-registry.h"
#include "orvo-driver.h"
#include "orvo-fileid.h"

#include <QFile>

namespace {
void ParseDeviceURI(const QString &line, stPrinterInfo &info)
{
    const qsizetype p = line.indexOf(' ');
    if (p < 0)
        return;
    const QString uri = line.mid(p + 1);
    if (uri.startsWith("usb", Qt::CaseInsensitive)) {
        info.iConnectType = CONNECT_USB;
        info.strPort = uri.mid(6);
        info.strDeviceURI = uri;
    } else if (uri.startsWith("socket", Qt::CaseInsensitive)
               || uri.startsWith(QStringLiteral("orvok500") + "socket", Qt::CaseInsensitive)) {
        const qsizetype scheme = uri.indexOf("://");
        if (scheme < 0)
            return;
        const qsizetype hostStart = scheme + 3;
        const qsizetype colon = uri.indexOf(':', hostStart);
        info.iConnectType = CONNECT_NET;
        info.strPort = colon < 0 ? uri.mid(hostStart) : uri.mid(hostStart, colon - hostStart);
        info.strDeviceURI = uri;
    }
}

struct stConfQueues {
    bool bOpened = false;  // false: the file could not be opened, the list is empty
    QList<stPrinterInfo> listQueues;
};

// Every queue block with a name and a device URI of a known scheme, before the driver check.
stConfQueues ReadPrintersConfQueues(const QString &path)
{
    stConfQueues queues;
    QList<stPrinterInfo> &list = queues.listQueues;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return queues;
    queues.bOpened = true;
    stPrinterInfo current;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine().trimmed());
        if (line.startsWith("<Printer", Qt::CaseInsensitive)
            || line.startsWith("<DefaultPrinter", Qt::CaseInsensitive)) {
            InitStPrinterInfo(current);
            const qsizetype p = line.indexOf(' ');
            if (p >= 0)
                current.strPrinterName = line.mid(p + 1, line.size() - 1 - (p + 1));
        } else if (line.startsWith("</Printer>", Qt::CaseInsensitive)
                   || line.startsWith("</DefaultPrinter>", Qt::CaseInsensitive)) {
            if (!current.strPrinterName.isEmpty() && !current.strDeviceURI.isEmpty())
                list.append(current);
        } else if (line.startsWith("DeviceURI", Qt::CaseInsensitive)) {
            ParseDeviceURI(line, current);
        }
    }
    return queues;
}

QList<stPrinterInfo> FilterByDriver(QList<stPrinterInfo> queues, bool bCheckDriver)
{
    if (!bCheckDriver)
        return queues;
    QList<stPrinterInfo> list;
    for (stPrinterInfo &queue : queues) {
        if (CheckDriverMatch(queue.strPrinterName, queue.strModelName))
            list.append(queue);
    }
    return list;
}

// The service reads the printers file every few seconds; it changes only with the queues.
// Its two paths: the file and the copy CUPS keeps.
stFileCache<stConfQueues> s_cacheConf(2);
}  // namespace

QList<stPrinterInfo> ParsePrintersConf(const QString &path, bool bCheckDriver)
{
    return FilterByDriver(ReadPrintersConfQueues(path).listQueues, bCheckDriver);
}

QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver)
{
    // Looked up before it is opened: an unchanged file costs one stat a cycle.
    const QString conf = "/etc/cups/printers.conf";
    stConfQueues queues;
    if (!CachedFileValue(s_cacheConf, conf, queues, ReadPrintersConfQueues) || !queues.bOpened)
        CachedFileValue(s_cacheConf, conf + ".O", queues, ReadPrintersConfQueues);
    return FilterByDriver(queues.listQueues, bCheckDriver);
}
