// Fixed install layout: every path is built from one root, fixed when the suite is built
// (ORVO_INSTALL_ROOT), nothing is configurable at run time.
#pragma once
#include <QString>

QString OrvoRootPath();  // ORVO_INSTALL_ROOT + "/"
QString OrvoCfgPath();  // root + "cfg/"
QString StatusFilePath(const QString &printerName);  // root + "cfg/" + name + ".dat"
QString OrvoLogPath();  // root + "log/"
QString OrvoTempPath();  // root + "temp/"
QString OrvoToolPath();  // root + "tool/"
QString OrvoBinPath();  // root + "bin/"
QString OrvoTranslationsPath();  // root + "translations/"
