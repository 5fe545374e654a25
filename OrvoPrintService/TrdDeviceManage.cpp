#include "TrdDeviceManage.h"
#include "TrdGetPrinterStatus.h"

#include "orvo-cupsevents.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QThread>

namespace {
const char *c_szSource = "../OrvoPrintService/TrdDeviceManage";
}

TrdDeviceManage::TrdDeviceManage(QObject *parent) : UtilThreadBase(parent) {}

void TrdDeviceManage::Init(QList<stPrinterManager> *list, QMutex *listLock)
{
    pPrinterList = list;
    pListLock = listLock;
}

void TrdDeviceManage::SlotThreadQuit()
{
    RequestQuit();
}

void TrdDeviceManage::WriteHeartbeat()
{
    MakePathExist(OrvoCfgPath());
    QFile file(OrvoCfgPath() + "service.hb");
    // A heartbeat that cannot be written makes the watchdog restart the service: say why.
    const QByteArray stamp = QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz]").toLatin1();
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ok = ok && file.write(stamp) == stamp.size();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (!ok)
        WriteStringLog(c_szSource, 33, "WriteHeartbeat", "cannot write %s: %s",
                       QFile::encodeName(file.fileName()).constData(), file.errorString().toLocal8Bit().constData());
}

bool TrdDeviceManage::CheckListEqual(const QList<stPrinterInfo> &infos)
{
    QMutexLocker lock(pListLock);
    return PrinterListEqual(*pPrinterList, infos);
}

void TrdDeviceManage::StartStatusWorkers(int count)
{
    for (int t = listStatusThread.size(); t < count; ++t) {
        auto *worker = new TrdGetPrinterStatus();
        auto *thread = new QThread();
        worker->moveToThread(thread);
        worker->Init(t, pPrinterList, pListLock);
        connect(this, &TrdDeviceManage::SgnStatusThreadStart, worker, &TrdGetPrinterStatus::SlotTaskStart);
        connect(this, &TrdDeviceManage::SgnThreadQuit, worker, &TrdGetPrinterStatus::SlotThreadQuit);
        // Set up completely before its thread runs: starting the thread hands the worker over.
        thread->start(QThread::InheritPriority);
        listStatusThread.append(worker);
        listThread.append(thread);
    }
    emit SgnStatusThreadStart();
}

void TrdDeviceManage::DeleteStaleStatusFiles(const QList<stPrinterInfo> &infos)
{
    QDir cfg(OrvoCfgPath());
    if (!cfg.exists())
        return;
    QSet<QString> keep;
    for (const stPrinterInfo &info : infos)
        keep.insert(info.strPrinterName + ".dat");
    for (const QString &name : cfg.entryList({"*.dat"}, QDir::Files | QDir::NoSymLinks | QDir::Hidden)) {
        if (!keep.contains(name))
            cfg.remove(name);
    }
}

void TrdDeviceManage::SlotTaskStart()
{
    if (bTaskStarted)
        return;
    bTaskStarted = true;

    bool bSave = true;
    for (;;) {
        WriteStringLog(c_szSource, 38, "SlotTaskStart", "get printer list");
        WriteHeartbeat();
        const QList<stPrinterInfo> infos = GetPrinterInfo(true);
        WriteStringLog(c_szSource, 42, "SlotTaskStart", "printer num:%d", int(infos.size()));

        const bool equal = CheckListEqual(infos);
        if (infos.size() > listStatusThread.size())
            StartStatusWorkers(infos.size());
        if (!equal) {
            DeleteStaleStatusFiles(infos);
            QMutexLocker lock(pListLock);
            *pPrinterList = GetInitPrinterList(infos);
            bSave = true;
        }
        SavePrinterInfo(infos, bSave);
        {
            QMutexLocker lock(pListLock);
            for (stPrinterManager &element : *pPrinterList)
                element.bInfoReady = true;
        }
        // Workers waiting for their queue's events look at the new list now.
        if (!equal)
            WakeCupsEventWaiters();
        bSave = WaitForSleep(5000);
        if (bSave)
            break;
    }
}
