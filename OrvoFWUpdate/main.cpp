#include "widget.h"
#include "FWUpdateResources.h"
#include "FWUpdateTask.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-translate.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    SetUsbLogSource(c_szFWUsbLogSource);
    QApplication a(argc, argv);
    InstallOrvoTranslation();
    // Logging stays off: the updater's log calls write nothing unless switched on here.
    SetLogTarget(OrvoLogPath(), "log_fwupdate");
    RegisterFWUpdateResources();
    Widget w;
    w.show();
    return a.exec();
}
