#include "orvo-msgbox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

int ShowOrvoMessageBox(const QString &title, const QString &text, bool bWithCancel, const QString &styleSheet)
{
    QMessageBox box(QMessageBox::Information, title, text,
                    bWithCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, nullptr,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    // Texts carry queue and file names, which are the user's own words, never markup.
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("OrvoMessageBox", "确  定"));
    if (bWithCancel) {
        box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("OrvoMessageBox", "取  消"));
        box.setDefaultButton(QMessageBox::Cancel);
    }
    if (!styleSheet.isEmpty())
        box.setStyleSheet(styleSheet);
    return box.exec();
}
