#include "orvo-records.h"

void InitStPrinterInfo(stPrinterInfo &info)
{
    info = stPrinterInfo();
}

void InitStPrinterState(stPrinterState &state)
{
    state = stPrinterState();
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
