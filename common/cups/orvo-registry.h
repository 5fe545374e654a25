// The maker's queues, read straight from the CUPS printers file.
#pragma once
#include "orvo-records.h"

// Queues with a USB or socket device URI, in file order; with bCheckDriver only those
// whose PPD names a supported model, with strModelName filled.
QList<stPrinterInfo> GetPrinterInfo(bool bCheckDriver);
// The same from the printers file at path.
QList<stPrinterInfo> ParsePrintersConf(const QString &path, bool bCheckDriver);
