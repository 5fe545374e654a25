// Follows one printer's status file, in a pass whenever the status watch wakes it (its
// once-a-second check, for the rows that need a cycle, and at once when a file watch reports
// a change): parses it when its modification time changes (every cycle while the printer is
// shown off-line), declares the printer off-line after eleven failed cycles (a missing file
// or one that does not parse), and cancels the queue's current job when the printer starts
// cancelling.
#pragma once
#include "ToolPrinterList.h"
#include "ToolWake.h"
#include "UtilThreadBase.h"

#include <QDateTime>

#include <atomic>

// Failed cycles after which a printer is shown off-line.
constexpr int c_iOfflineFailCount = 10;

class TrdGetPrinterStatus : public UtilThreadBase {
    Q_OBJECT
public:
    explicit TrdGetPrinterStatus(QObject *parent = nullptr);

    void Init(int index, stToolPrinterList *pPrinterList);
    // -1: missing, unreadable or unparsable; 1: unchanged and not forced; 0: parsed into the own state.
    int GetPrinterStatusFile(const QString &name, bool force);
    // One pass of the loop; true when the window was told about a change. A pass started by
    // a file change (counted false) leaves a missing or unreadable file to the periodic
    // passes, which alone count failed cycles.
    bool CheckPrinterStatusOnce(bool counted = true);

    int Index() const { return iIndex; }
    // Counted passes that have read the status file, so far (read from any thread).
    int CycleCount() const { return iCycleCount; }
    // From any thread: check the status file now; c_uWakeCycle makes it a counted cycle.
    void Wake(unsigned reason = c_uWakeChange) { stWake.Wake(reason); }
    // Sets the quit flag and ends the current pause.
    void RequestQuit() override
    {
        UtilThreadBase::RequestQuit();
        stWake.Wake();
    }

signals:
    void SgnUpdatePrinterStatus(int index);

public slots:
    void SlotTaskStart();
    void SlotThreadQuit();

private:
    int iIndex = -1;
    stToolPrinterList *pPrinterList = nullptr;
    stPrinterInfo stOwnInfo;
    stPrinterState stOwnState;
    QDateTime dtLastModified;
    ToolWake stWake;
    std::atomic_int iCycleCount{0};
};
