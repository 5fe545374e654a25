// The tray tool's printer list: one structure shared by the GUI thread, the device-manager
// thread and every status worker thread, guarded by one lock.
#pragma once
#include "orvo-records.h"
#include <QList>
#include <QMutex>

struct stToolPrinterList {
    QMutex mutexList;
    QList<stPrinterManager> listPrinter;   // each element: stInfo and stState only
};
