#include "orvo-registry.h"
#include "orvo-driver.h"

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

} // namespace

QList<stPrinterInfo> ParsePrintersConf(const QString &path, bool bCheckDriver)
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
            if (current.strPrinterName.isEmpty() || current.strDeviceURI.isEmpty())
                continue;
            if (!bCheckDriver || CheckDriverMatch(current.strPrinterName, current.strModelName))
                list.append(current);
        } else if (line.startsWith("DeviceURI", Qt::CaseInsensitive)) {
            ParseDeviceURI(line, current);
        }
    }
    return list;
}

QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver)
{
    const QString conf = "/etc/cups/printers.conf";
    QFile probe(conf);
    if (probe.open(QIODevice::ReadOnly | QIODevice::Text)) {
        probe.close();
        return ParsePrintersConf(conf, bCheckDriver);
    }
    return ParsePrintersConf(conf + ".O", bCheckDriver);
}
