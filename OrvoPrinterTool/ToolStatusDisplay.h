// What the printer table shows for a printer: connection, ink words and status cell, and
// which balloon a new state announces.
#pragma once
#include "orvo-records.h"

#include <QString>
#include <QSystemTrayIcon>
#include <cstdint>

QString GetRemainInkStr(uint32_t value);
QString GetInkLine(const stPrinterState &state);
QString GetConnectText(const stPrinterInfo &info);

struct stStatusCell {
    QString strText;                  // the status column's text
    bool bBalloon = false;            // an error or a warning is to be announced
    QSystemTrayIcon::MessageIcon enIcon = QSystemTrayIcon::NoIcon;
    QString strBalloonText;
};

// Only the first error, or else the first warning, is shown.
stStatusCell GetStatusCell(const stPrinterState &state, int language);

// How long a balloon stays up.
constexpr int c_iBalloonMs = 3000;
