#include "orvo-models.h"

const QList<stModelInfo> c_stModelInfoList = {
    {"K20NW", "Orvo K20NW", "Orvo_K20NW.ppd", 0x300E, 0x2005},
    {"K20N", "Orvo K20N", "Orvo_K20N.ppd", 0x300E, 0x2006},
    {"K20W", "Orvo K20W", "Orvo_K20W.ppd", 0x300E, 0x2007},
    {"K40NW", "Orvo K40NW", "Orvo_K40NW.ppd", 0x300E, 0x2008},
    {"K40N", "Orvo K40N", "Orvo_K40N.ppd", 0x300E, 0x2009},
    {"K40W", "Orvo K40W", "Orvo_K40W.ppd", 0x300E, 0x200A},
};

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
