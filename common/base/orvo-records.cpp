#include "orvo-records.h"

void InitStPrinterInfo(stPrinterInfo &info)
{
    info = stPrinterInfo();
}

void InitStPrinterState(stPrinterState &state)
{
    state = stPrinterState();
}

void SetPrinterOffline(stPrinterState &state)
{
    state.enCurrentStatus = PS_OFFLINE;
    state.listError.clear();
    state.listWarning.clear();
    state.iFailCount = 0;
}

QList<stPrinterManager> GetInitPrinterList(const QList<stPrinterInfo> &infos)
{
    QList<stPrinterManager> list;
    list.reserve(infos.size());
    for (const stPrinterInfo &info : infos) {
        stPrinterManager element;
        element.stInfo = info;
        InitStPrinterState(element.stState);
        list.append(element);
    }
    return list;
}

bool IsSamePrinter(const stPrinterInfo &element, const stPrinterInfo &working)
{
    return element.strPrinterName == working.strPrinterName && element.strPort == working.strPort
           && element.strDeviceURI == working.strDeviceURI;
}

bool PrinterListEqual(const QList<stPrinterManager> &list, const QList<stPrinterInfo> &infos)
{
    if (infos.size() != list.size())
        return false;
    for (int i = 0; i < infos.size(); ++i) {
        if (!IsSamePrinter(list.at(i).stInfo, infos.at(i)))
            return false;
    }
    return true;
}
