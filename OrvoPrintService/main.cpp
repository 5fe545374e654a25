// The print service: discovers the maker's CUPS queues and keeps every printer's status
// current. It runs until it is killed; the watchdog restarts it.
#include "TrdDeviceManage.h"

#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-running.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (CheckIsRunning(ServiceSelfCheck(QFileInfo(QCoreApplication::applicationFilePath()).fileName())))
        return 0;

    SetLogTarget(OrvoLogPath(), "log_srv");
    SetLogEnable(true);
    WriteStringLog("../OrvoPrintService/main", 20, "main", "Start service, enable log");

    QList<stPrinterManager> printerList;
    QMutex printerListLock;
    auto *manager = new TrdDeviceManage();
    manager->Init(&printerList, &printerListLock);
    manager->SlotTaskStart();

    const int ret = QCoreApplication::exec();
    delete manager;
    return ret;
}
