// The service's main loop: heartbeat, queue discovery, printer list and status workers.
#pragma once
#include "UtilThreadBase.h"
#include "orvo-records.h"

#include <QList>
#include <QMutex>

class QThread;
class TrdGetPrinterStatus;

// Whether the queues found are the printers the list holds: queue name, port and device URI
// position by position (a changed model alone is no change).
bool PrinterListEqual(const QList<stPrinterManager> &list, const QList<stPrinterInfo> &infos);

class TrdDeviceManage : public UtilThreadBase
{
    Q_OBJECT
public:
    explicit TrdDeviceManage(QObject *parent = nullptr);

    // The shared printer list and the one lock that guards every access to it.
    void Init(QList<stPrinterManager> *list, QMutex *listLock);
    void WriteHeartbeat();

signals:
    void SgnUpdatePrinterList();
    void SgnStatusThreadStart();
    void SgnThreadQuit();

public slots:
    void SlotTaskStart();
    void SlotThreadQuit();

private:
    bool CheckListEqual(const QList<stPrinterInfo> &infos);
    void StartStatusWorkers(int count);
    void DeleteStaleStatusFiles(const QList<stPrinterInfo> &infos);

    QList<TrdGetPrinterStatus *> listStatusThread;
    QList<QThread *> listThread;
    QList<stPrinterManager> *pPrinterList = nullptr;
    QMutex *pListLock = nullptr;
};
