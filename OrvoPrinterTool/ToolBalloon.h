// Which tray balloon a printer's new state announces: the errors and warnings it did not have
// in the state last announced (previous), errors first, one line each; none when nothing is new.
#pragma once
#include "orvo-records.h"

#include <QString>
#include <QSystemTrayIcon>

struct stTrayBalloon {
    bool bShow = false;
    QSystemTrayIcon::MessageIcon enIcon = QSystemTrayIcon::NoIcon;
    QString strText;
};

stTrayBalloon GetStatusBalloon(const stPrinterState &state, const stPrinterState &previous, int language);

// How long a balloon stays up.
constexpr int c_iBalloonMs = 3000;
