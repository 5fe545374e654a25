// Fixed install layout: every path is built from one root, nothing is configurable.
#pragma once
#include <QString>

QString OrvoRootPath();   // "/opt/orvo/orvo-printer-k500/"
QString OrvoCfgPath();    // root + "cfg/"
QString StatusFilePath(const QString &printerName);   // root + "cfg/" + name + ".dat"
QString OrvoLogPath();    // root + "log/"
QString OrvoTempPath();   // root + "temp/"
QString OrvoToolPath();   // root + "tool/"
QString OrvoBinPath();    // root + "bin/"
