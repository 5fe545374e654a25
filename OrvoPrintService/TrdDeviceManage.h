// The service's main loop: heartbeat, queue discovery, printer list and status workers.
#pragma once
#include "UtilThreadBase.h"
#include "orvo-records.h"

#include <QList>
#include <QMutex>

class QThread;
class TrdGetPrinterStatus;

class TrdDeviceManage : public UtilThreadBase {
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
