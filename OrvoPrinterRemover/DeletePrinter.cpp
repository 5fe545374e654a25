#include "DeletePrinter.h"
#include "RemoverListing.h"

#include "orvo-driver.h"
#include "orvo-fs.h"
#include "orvo-paths.h"
#include "orvo-records.h"
#include "orvo-spawn.h"

#include <QFile>
#include <QList>

namespace {
// This helper lists the queues the way CUPS itself reports them, not from printers.conf,
// so it also finds queues whose configuration CUPS has not written out yet.
QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver)
{
    MakePathExist(OrvoTempPath());
    const QString listing = OrvoTempPath() + "un_printerlist.tmp";
    RunCommand({"lpstat", "-v"}, listing);

    QList<stPrinterInfo> infos;
    QFile file(listing);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            stPrinterInfo info;
            InitStPrinterInfo(info);
            info.strPrinterName = ListingQueueName(line);
            if (info.strPrinterName.isEmpty())
                continue;
            if (bCheckDriver && !CheckDriverMatch(info.strPrinterName, info.strModelName))
                continue;
            infos.append(info);
        }
        file.close();
    }
    QFile::remove(listing);
    return infos;
}
}  // namespace

void DeletePrinter()
{
    // The name is one argument of its own: no shell sees it.
    for (const stPrinterInfo &info : GetPrinterInfo(true))
        RunCommand({"lpadmin", "-x", info.strPrinterName});
}
