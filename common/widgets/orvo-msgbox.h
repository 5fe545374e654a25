// The modal message boxes of the windowed tools: information icon, no parent, fixed size.
#pragma once
#include <QString>

// Shows text (as plain text) under title with the button "确  定" and, when bWithCancel,
// "取  消" as the default button; styleSheet (may be empty) styles the box. Returns the
// standard-button code of the button pressed (QMessageBox::Ok or QMessageBox::Cancel).
int ShowOrvoMessageBox(const QString &title, const QString &text, bool bWithCancel,
                       const QString &styleSheet = QString());
