#include "orvo-printerlist.h"
#include "orvo-fs.h"
#include "orvo-paths.h"

#include <QFile>
#include <QSet>
#include <QSettings>

QString PrinterListFilePath()
{
    return OrvoCfgPath() + "printerlist.ini";
}

void SavePrinterInfo(const QList<stPrinterInfo> &infos, bool bForce)
{
    MakePathExist(OrvoCfgPath());
    const QString path = PrinterListFilePath();
    if (!bForce && QFile::exists(path))
        return;
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue("Main/Count", QString::number(infos.size()));
    for (int i = 0; i < infos.size(); ++i) {
        const stPrinterInfo &info = infos.at(i);
        settings.beginGroup("printer_" + QString::number(i));
        settings.setValue("Name", info.strPrinterName);
        settings.setValue("Model", info.strModelName);
        settings.setValue("ConnectType", QString::number(info.iConnectType));
        settings.setValue("Port", info.strPort);
        settings.setValue("URI", info.strDeviceURI);
        settings.endGroup();
    }
    settings.sync();
}

QList<stPrinterInfo> ReadPrinterInfo()
{
    return ReadPrinterInfoFrom(PrinterListFilePath());
}

QList<stPrinterInfo> ReadPrinterInfoFrom(const QString &path)
{
    QList<stPrinterInfo> list;
    if (!QFile::exists(path))
        return list;
    QSettings settings(path, QSettings::IniFormat);
    // A damaged count is not believed beyond the groups the file has: the records are the
    // groups printer_0, printer_1, ... up to the count or the first one missing. (Taking the
    // highest index instead let a few bytes such as a lone "[printer_999999]" stand for a
    // million empty printers, and the tray tool start a thread for each.)
    QSet<int> present;
    for (const QString &group : settings.childGroups()) {
        bool ok = false;
        const int index = group.startsWith("printer_") ? group.mid(8).toInt(&ok) : -1;
        if (ok)
            present.insert(index);
    }
    const int wanted = settings.value("Main/Count").toInt();
    int count = 0;
    while (count < wanted && present.contains(count))
        ++count;
    for (int i = 0; i < count; ++i) {
        stPrinterInfo info;
        settings.beginGroup("printer_" + QString::number(i));
        info.strPrinterName = settings.value("Name").toString();
        info.strModelName = settings.value("Model").toString();
        info.iConnectType = settings.value("ConnectType").toInt();
        info.strPort = settings.value("Port").toString();
        info.strDeviceURI = settings.value("URI").toString();
        settings.endGroup();
        list.append(info);
    }
    return list;
}
