// Follows the printer list file that the print service writes and replaces the window's
// printer list whenever the set of printers (names and ports) changes: every 3 s, and at
// once when the window's file watcher reports a change.
#pragma once
#include "ToolPrinterList.h"
#include "ToolWake.h"
#include "UtilThreadBase.h"

#include <atomic>

// The same printers in the same order: equal length, and at every index the same name and port.
// Looser than IsSamePrinter on purpose: the tray tool reaches a printer through its port and
// status file, so a device URI that changed alone (an added URI option) keeps the rows and
// their states instead of showing every printer off-line until its file is read again.
bool IsSamePrinterSet(const QList<stPrinterInfo> &infos, const QList<stPrinterManager> &list);

class TrdDeviceManage : public UtilThreadBase {
    Q_OBJECT
public:
    explicit TrdDeviceManage(QObject *parent = nullptr);

    void Init(stToolPrinterList *pPrinterList);
    QList<stPrinterInfo> GetPrinterInfo();
    // One reading of the file; true when the list was replaced (and the signal emitted).
    bool CheckPrinterList();
    // From any thread: the list file may have changed, read it now.
    void Wake() { stWake.Wake(); }
    // Sets the quit flag and ends the current pause.
    void RequestQuit() override
    {
        UtilThreadBase::RequestQuit();
        stWake.Wake();
    }
    // Readings of the file the loop has finished, so far (read from any thread).
    int CycleCount() const { return iCycleCount; }

signals:
    void SgnUpdatePrinterList();

public slots:
    void SlotTaskStart();
    void SlotThreadQuit();

private:
    stToolPrinterList *pPrinterList = nullptr;
    ToolWake stWake;
    std::atomic_int iCycleCount{0};
};
