// The printer list file: how the print service tells the other programs which printers exist.
#pragma once
#include "orvo-records.h"

QString PrinterListFilePath();  // root + "cfg/" + "printerlist.ini"

// Writes the list; without bForce only when the file is missing. Groups beyond the new
// count are left in place: readers rely on "Count".
void SavePrinterInfo(const QList<stPrinterInfo> &infos, bool bForce);

// Reads the list back; a missing file is an empty list.
QList<stPrinterInfo> ReadPrinterInfo();
// The same from the file at path.
QList<stPrinterInfo> ReadPrinterInfoFrom(const QString &path);
