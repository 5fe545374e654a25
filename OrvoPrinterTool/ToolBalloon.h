// Which tray balloon a printer's new state announces: its first error, or else its first warning.
#pragma once
#include "orvo-records.h"

#include <QString>
#include <QSystemTrayIcon>

struct stTrayBalloon {
    bool bShow = false;
    QSystemTrayIcon::MessageIcon enIcon = QSystemTrayIcon::NoIcon;
    QString strText;
};

stTrayBalloon GetStatusBalloon(const stPrinterState &state, int language);

// How long a balloon stays up.
constexpr int c_iBalloonMs = 3000;
