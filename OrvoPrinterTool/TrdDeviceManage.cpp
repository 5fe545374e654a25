#include "TrdDeviceManage.h"
#include "orvo-printerlist.h"

#include <QMutexLocker>

bool IsSamePrinterSet(const QList<stPrinterInfo> &infos, const QList<stPrinterManager> &list)
{
    if (infos.size() != list.size())
        return false;
    for (int i = 0; i < infos.size(); ++i) {
        if (infos.at(i).strPrinterName != list.at(i).stInfo.strPrinterName
            || infos.at(i).strPort != list.at(i).stInfo.strPort)
            return false;
    }
    return true;
}

TrdDeviceManage::TrdDeviceManage(QObject *parent) : UtilThreadBase(parent) {}

void TrdDeviceManage::Init(stToolPrinterList *list)
{
    pPrinterList = list;
}

QList<stPrinterInfo> TrdDeviceManage::GetPrinterInfo()
{
    return ReadPrinterInfo();
}

bool TrdDeviceManage::CheckPrinterList()
{
    if (!pPrinterList)
        return false;
    const QList<stPrinterInfo> infos = GetPrinterInfo();
    {
        QMutexLocker lock(&pPrinterList->mutexList);
        if (IsSamePrinterSet(infos, pPrinterList->listPrinter))
            return false;
        // Every record of the new list starts off-line, so each worker rereads its file at once.
        pPrinterList->listPrinter = GetInitPrinterList(infos);
        // Sent under the lock: a worker that reads the new list can only report after it, so
        // the rebuilt table never overwrites a row's fresher state.
        emit SgnUpdatePrinterList();
    }
    return true;
}

void TrdDeviceManage::SlotTaskStart()
{
    if (bTaskStarted)
        return;
    bTaskStarted = true;
    while (!bThreadQuit) {
        CheckPrinterList();
        ++iCycleCount;
        stWake.Wait(3000, bThreadQuit);
    }
}

void TrdDeviceManage::SlotThreadQuit()
{
    RequestQuit();
}
