#include "orvo-paths.h"

// The root comes from the build (ORVO_INSTALL_ROOT, one definition in CMake).
QString OrvoRootPath() { return QStringLiteral(ORVO_INSTALL_ROOT "/"); }
QString OrvoCfgPath() { return OrvoRootPath() + "cfg/"; }
QString StatusFilePath(const QString &printerName) { return OrvoCfgPath() + printerName + ".dat"; }
QString OrvoLogPath() { return OrvoRootPath() + "log/"; }
QString OrvoTempPath() { return OrvoRootPath() + "temp/"; }
QString OrvoToolPath() { return OrvoRootPath() + "tool/"; }
QString OrvoBinPath() { return OrvoRootPath() + "bin/"; }
QString OrvoTranslationsPath() { return OrvoRootPath() + "translations/"; }
