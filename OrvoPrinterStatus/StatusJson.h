// The printers as JSON for monitoring scripts: one object per printer of the printer list.
#pragma once
#include "orvo-records.h"

#include <QByteArray>

// One printer: its list entry and its state as read from its status file; bOnline tells
// whether that file existed and parsed.
struct stStatusRow {
    stPrinterInfo stInfo;
    stPrinterState stState;
    bool bOnline = false;
};

// A compact JSON array, in the list's order, followed by a newline:
// [{"name", "model", "connection": "usb"|"network", "online", "status",
//   "errors": [{"code", "text"}], "warnings": [...], "ink": [{"colour", "value"}]}]
// status, error and warning codes are the tray tool's values; texts in `language`; ink holds
// the four values in the status reply's order (black, cyan, red, yellow), empty when off-line.
QByteArray StatusJson(const QList<stStatusRow> &rows, int language);
