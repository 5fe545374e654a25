#include "orvo-models.h"

#include "orvo-modelids-plain.h"

namespace {
QList<stModelInfo> BuildModelInfoList()
{
    QList<stModelInfo> list;
    for (const stModelRow &row : c_stModelRows)
        list.append({row.szShortName, row.szModelName, row.szPPDFile, c_wOrvoVendorID, row.wProductID});
    return list;
}
}  // namespace

const QList<stModelInfo> c_stModelInfoList = BuildModelInfoList();

bool GetPrinterVidPid(const QString &port, int &vid, int &pid)
{
    for (const stModelInfo &model : c_stModelInfoList) {
        if (port.contains(model.strShortName + "?", Qt::CaseSensitive)) {
            vid = model.iVendorID;
            pid = model.iProductID;
            return true;
        }
    }
    return false;
}

const stModelInfo *FindModelByShortName(const QString &shortName)
{
    for (const stModelInfo &model : c_stModelInfoList) {
        if (model.strShortName == shortName)
            return &model;
    }
    return nullptr;
}
