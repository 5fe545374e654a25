#include "orvo-paths.h"

QString OrvoRootPath() { return QStringLiteral("/opt/") + "orvo/" + "orvo-printer-k500" + "/"; }
QString OrvoCfgPath() { return OrvoRootPath() + "cfg/"; }
QString StatusFilePath(const QString &printerName) { return OrvoCfgPath() + printerName + ".dat"; }
QString OrvoLogPath() { return OrvoRootPath() + "log/"; }
QString OrvoTempPath() { return OrvoRootPath() + "temp/"; }
QString OrvoToolPath() { return OrvoRootPath() + "tool/"; }
QString OrvoBinPath() { return OrvoRootPath() + "bin/"; }
