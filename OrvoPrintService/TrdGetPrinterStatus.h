// One status worker per position of the shared printer list: polls its printer, publishes
// the reply as the printer's status file, and watches the queue's CUPS jobs.
#pragma once
#include "UtilThreadBase.h"
#include "orvo-cupsevents.h"
#include "orvo-records.h"

#include <QList>
#include <QMutex>
#include <cstdint>

class TrdGetPrinterStatus : public UtilThreadBase
{
    Q_OBJECT
public:
    explicit TrdGetPrinterStatus(QObject *parent = nullptr);

    void Init(int index, QList<stPrinterManager> *list, QMutex *listLock);

    bool CheckNeedStatus(int &interval);
    int CheckPrinterStatus(const unsigned char *buf, unsigned long len);
    bool CheckRecvBufChange(const unsigned char *buf, unsigned long len);

    int GetPrinterStatusUSB(const QString &port);
    int GetPrinterStatusUDP(const QString &host);

    // One cycle's steps, in order; SlotTaskStart runs them with the job checks and pauses
    // between QueryPrinter and WriteBack.
    bool TakeElement();                // copies the served element into the working copy
    void QueryPrinter();               // asks the printer; a failure goes to HandleQueryFailure
    void HandleQueryFailure(int ret);  // logs it and applies the off-line rules
    void WriteBack();                  // the working copy back into the list, if still its printer
    // The job checks of one cycle, which also make its pause: ten, a tenth of the interval
    // apart, or while the scheduler's events serve, one per announced change of the queue.
    void RunJobChecks(int interval);
    // The pause of a cycle that does not ask the printer; true when the worker is to quit.
    bool WaitIdle(int interval);

    int CheckJobStatus();
    int CancelPrinterJob(const QString &port);
    int CancelCUPSJob(const QString &jobID);

signals:
    void SgnUpdatePrinterStatus(int index);

public slots:
    void SlotTaskStart();
    void SlotThreadQuit();

private:
    QString StatusFilePath() const;

    int iIndex = -1;
    QList<stPrinterManager> *pPrinterList = nullptr;
    QMutex *pListLock = nullptr;
    stPrinterManager stPrinter;
    uint32_t iLastRecvLen = 0;
    unsigned char szLastRecvBuf[2048] = {};

    stCupsQueueCache stCups;   // the scheduler's last answers about the queue served
};
