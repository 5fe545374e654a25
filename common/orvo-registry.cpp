#include "orvo-registry.h"
#include "orvo-driver.h"
#include "orvo-fileid.h"

#include <QFile>
#include <QMutex>

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

// Every queue block with a name and a device URI of a known scheme, before the driver check.
QList<stPrinterInfo> ReadPrintersConfQueues(const QString &path)
{
    QList<stPrinterInfo> list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return list;
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
    return list;
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
struct stConfCache {
    QMutex mutex;
    QString strPath;
    stFileIdentity stIdentity;
    QList<stPrinterInfo> listQueues;
};
stConfCache s_conf;

QList<stPrinterInfo> ReadPrintersConfCached(const QString &path)
{
    stFileIdentity identity;
    FileIdentityOf(path, identity);
    {
        QMutexLocker lock(&s_conf.mutex);
        if (s_conf.strPath == path && s_conf.stIdentity == identity && FileIdentitySettled(identity))
            return s_conf.listQueues;
    }
    // Identified before it is read: a change while it is read shows as a new identity next time.
    const QList<stPrinterInfo> queues = ReadPrintersConfQueues(path);
    QMutexLocker lock(&s_conf.mutex);
    s_conf.strPath = path;
    s_conf.stIdentity = identity;
    s_conf.listQueues = queues;
    return queues;
}
} // namespace

QList<stPrinterInfo> ParsePrintersConf(const QString &path, bool bCheckDriver)
{
    return FilterByDriver(ReadPrintersConfQueues(path), bCheckDriver);
}

QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver)
{
    const QString conf = "/etc/cups/printers.conf";
    QFile probe(conf);
    if (probe.open(QIODevice::ReadOnly | QIODevice::Text)) {
        probe.close();
        return FilterByDriver(ReadPrintersConfCached(conf), bCheckDriver);
    }
    return FilterByDriver(ReadPrintersConfCached(conf + ".O"), bCheckDriver);
}
