// The maker's supported models (the rows of orvo-modelids-plain.h). Lookups take the first
// matching row, so the order matters.
#pragma once
#include <QString>
#include <QList>

struct stModelInfo {
    QString strShortName;  // model code as a USB device URI carries it
    QString strModelName;  // "*ModelName" of the model's PPD
    QString strPPDFile;
    int iVendorID;
    int iProductID;
};

extern const QList<stModelInfo> c_stModelInfoList;

// USB ids of the first model whose short name followed by "?" occurs in the port text
// ("?" keeps K20N from matching a K20NW port).
bool GetPrinterVidPid(const QString &port, int &vid, int &pid);

// The row of the model with this short name, or null.
const stModelInfo *FindModelByShortName(const QString &shortName);
