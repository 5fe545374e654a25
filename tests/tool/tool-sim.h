// Control of the device simulator from a test or benchmark running beside it.
#pragma once
#include "orvo-spawn.h"

#include <QStringList>

// One control command, e.g. SimCtl({"set", "ink", "p1", "5", "90", "45", "20"}).
inline bool SimCtl(const QStringList &command)
{
    const QString bin = qEnvironmentVariable("ORVO_MFPSIM");
    const QString sock = qEnvironmentVariable("ORVO_SIM_SOCK");
    if (bin.isEmpty() || sock.isEmpty())
        return false;
    return RunCommand(QStringList{bin, "ctl", sock} + command) == 0;
}
