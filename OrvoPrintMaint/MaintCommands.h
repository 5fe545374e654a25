// The maintenance tasks of the command line: each finds the printer in the printer list,
// runs the exchange and reports in the window's words. Returns the program's exit status.
#pragma once
#include <QStringList>

// Exit statuses.
enum { EXIT_DONE = 0,
       EXIT_DEVICE = 1,
       EXIT_USAGE = 2,
       EXIT_PRINTER = 3 };

struct stMaintOutput {
    QString strOut;  // for stdout
    QString strErr;  // for stderr
};

int RunClean(const QString &printer, bool bRepeat, stMaintOutput &out);
int RunAlignPrint(const QString &printer, stMaintOutput &out);
int RunAlignSet(const QString &printer, const QStringList &values, stMaintOutput &out);
int RunNetGet(const QString &printer, stMaintOutput &out);
int RunNetSet(const QString &printer, const QStringList &args, stMaintOutput &out);
// One line per printer of the printer list: name, model, USB or network, port.
int RunList(stMaintOutput &out);
