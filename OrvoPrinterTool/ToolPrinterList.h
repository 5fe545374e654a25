// The tray tool's printer list: one structure shared by the GUI thread, the device-manager
// thread and every status worker thread, guarded by one lock.
#pragma once
#include "orvo-records.h"
#include <QList>
#include <QMutex>
#include <QMutexLocker>

struct stToolPrinterList {
    QMutex mutexList;
    QList<stPrinterManager> listPrinter;  // each element: stInfo and stState only
};

// Copies the record at index, under the lock; false when there is none.
inline bool ToolPrinterAt(stToolPrinterList &list, int index, stPrinterManager &record)
{
    QMutexLocker lock(&list.mutexList);
    if (index < 0 || index >= list.listPrinter.size())
        return false;
    record = list.listPrinter.at(index);
    return true;
}
