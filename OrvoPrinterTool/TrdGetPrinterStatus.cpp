#include "TrdGetPrinterStatus.h"
#include "UtilPrinterStatus.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-spawn.h"

#include <QFileInfo>
#include <QMutexLocker>

TrdGetPrinterStatus::TrdGetPrinterStatus(QObject *parent) : UtilThreadBase(parent) {}

void TrdGetPrinterStatus::Init(int index, stToolPrinterList *list)
{
    iIndex = index;
    pPrinterList = list;
}

int TrdGetPrinterStatus::GetPrinterStatusFile(const QString &name, bool force)
{
    const QString path = StatusFilePath(name);
    const QFileInfo info(path);
    if (!info.exists()) {
        dtLastModified = QDateTime();
        return -1;
    }
    const QDateTime modified = info.lastModified();
    if (!force && modified == dtLastModified)
        return 1;
    // A file that does not parse counts as missing in every cycle until it changes: its
    // time is not remembered, so the printer goes off-line as without a file.
    if (!ParseStatusFile(path, stOwnState)) {
        dtLastModified = QDateTime();
        return -1;
    }
    dtLastModified = modified;
    return 0;
}

bool TrdGetPrinterStatus::CheckPrinterStatusOnce(bool counted)
{
    stPrinterManager copy;
    if (!pPrinterList || !ToolPrinterAt(*pPrinterList, iIndex, copy))
        return false;
    stOwnInfo = copy.stInfo;
    stOwnState = copy.stState;

    const int read = GetPrinterStatusFile(stOwnInfo.strPrinterName, stOwnState.enCurrentStatus == PS_OFFLINE);
    if (counted)
        ++iCycleCount;
    if (read < 0) {
        if (!counted)
            return false;
        ++stOwnState.iFailCount;
        if (stOwnState.iFailCount > c_iOfflineFailCount)
            SetPrinterOffline(stOwnState);
    }

    bool changed = false;
    bool cancel = false;
    {
        QMutexLocker lock(&pPrinterList->mutexList);
        if (iIndex >= pPrinterList->listPrinter.size())
            return false;
        stPrinterManager &record = pPrinterList->listPrinter[iIndex];
        // The list was replaced during the cycle: this state belongs to another printer.
        if (!IsSamePrinter(record.stInfo, stOwnInfo))
            return false;
        changed = CheckStatusChange(stOwnState, record.stState);
        cancel = changed && record.stState.enCurrentStatus != PS_CANCELING_JOB
                 && stOwnState.enCurrentStatus == PS_CANCELING_JOB;
        record.stInfo = stOwnInfo;
        record.stState = stOwnState;
    }

    // "cancel" would take a queue name beginning with "-" for an option ("-a": every job).
    if (cancel && !stOwnInfo.strPrinterName.startsWith('-')) {
        const QByteArray name = stOwnInfo.strPrinterName.toLocal8Bit();
        WriteStringLog("OrvoPrinterTool/TrdGetPrinterStatus", __LINE__, "SlotTaskStart",
                       "cancel by printer %s", name.constData());
        // The queue name is one argument: it comes from a file and may hold shell characters.
        RunCommand({"cancel", stOwnInfo.strPrinterName});
    }
    if (changed)
        emit SgnUpdatePrinterStatus(iIndex);
    return changed;
}

void TrdGetPrinterStatus::SlotTaskStart()
{
    if (bTaskStarted)
        return;
    bTaskStarted = true;
    // The first cycle at once; the following ones when the status watch asks for them.
    CheckPrinterStatusOnce();
    while (!bThreadQuit) {
        if (const unsigned reasons = stWake.Wait(-1, bThreadQuit))
            CheckPrinterStatusOnce(reasons & c_uWakeCycle);
    }
}

void TrdGetPrinterStatus::SlotThreadQuit()
{
    RequestQuit();
}
