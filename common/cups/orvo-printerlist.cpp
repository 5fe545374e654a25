#include "orvo-printerlist.h"
#include "orvo-fs.h"
#include "orvo-paths.h"

#include <QFile>
#include <QSettings>

#include <algorithm>

namespace {

// Peers read the list as UTF-8 text; Qt 6 writes INI files so, Qt 5 only when told.
void UseUtf8(QSettings &settings)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    settings.setIniCodec("UTF-8");
#else
    Q_UNUSED(settings);
#endif
}

}  // namespace

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
    UseUtf8(settings);
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
    UseUtf8(settings);
    // The records are the groups printer_0 ... printer_(Count - 1) that the file holds, in
    // index order; a missing one is skipped, so a hole left by a damaged or hand-edited file
    // hides no printer behind it. Only groups present are visited: a damaged count such as
    // 2147483647 costs nothing, and a lone "[printer_999999]" stands for one printer, not a
    // million empty ones.
    const int wanted = settings.value("Main/Count").toInt();
    QList<int> present;
    for (const QString &group : settings.childGroups()) {
        bool ok = false;
        const int index = group.startsWith("printer_") ? group.mid(8).toInt(&ok) : -1;
        if (ok && index >= 0 && index < wanted && group == "printer_" + QString::number(index))
            present.append(index);
    }
    std::sort(present.begin(), present.end());
    for (const int i : present) {
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
