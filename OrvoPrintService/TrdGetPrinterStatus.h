// One status worker per position of the shared printer list: polls its printer, publishes
// the reply as the printer's status file, and watches the queue's CUPS jobs.
#pragma once
#include "UtilThreadBase.h"
#include "orvo-cupsevents.h"
#include "orvo-records.h"

#include <QList>
#include <QMutex>
#include <cstdint>
#include <functional>

class TrdGetPrinterStatus : public UtilThreadBase {
    Q_OBJECT
public:
    explicit TrdGetPrinterStatus(QObject *parent = nullptr);
    ~TrdGetPrinterStatus() override;

    void Init(int index, QList<stPrinterManager> *list, QMutex *listLock);

    bool CheckNeedStatus(int &interval);
    int CheckPrinterStatus(const unsigned char *buf, unsigned long len);
    bool CheckRecvBufChange(const unsigned char *buf, unsigned long len);

    int GetPrinterStatusUSB(const QString &port);
    int GetPrinterStatusUDP(const QString &host, const std::function<void()> &whileAsked = {});

    // One cycle's steps, in order; SlotTaskStart runs them with the job checks and pauses
    // between QueryPrinter and WriteBack.
    bool TakeElement();  // copies the served element into the working copy
    void QueryPrinter();  // asks the printer; a failure goes to HandleQueryFailure
    void HandleQueryFailure(int ret);  // logs it and applies the off-line rules
    void WriteBack();  // the working copy back into the list, if still its printer
    // The job checks of one cycle, which also make its pause: ten, a tenth of the interval
    // apart, or while the scheduler's events serve, one per announced change of the queue.
    void RunJobChecks(int interval);
    // The pause of a cycle that does not ask the printer; true when the worker is to quit.
    bool WaitIdle(int interval);

    int CheckJobStatus();
    int CancelPrinterJob(const QString &port);

signals:
    void SgnUpdatePrinterStatus(int index);

public slots:
    void SlotTaskStart();
    void SlotThreadQuit();

private:
    QString StatusFilePath() const;
    int AskPrinterUDP(const QString &host, const std::function<void()> &sent);
    // CheckNeedStatus in its two steps: the served element's queue and status (false when the
    // position is out of the list), and the decision.
    bool ReadServed(stPrinterInfo &info, int &status);
    bool DecideServed(const stPrinterInfo &info, int status, int &interval);

    int iIndex = -1;
    QList<stPrinterManager> *pPrinterList = nullptr;
    QMutex *pListLock = nullptr;
    stPrinterManager stPrinter;
    uint32_t iLastRecvLen = 0;
    unsigned char szLastRecvBuf[2048] = {};

    int iUdpSocket = -1;  // the network query's socket, made at its first use
    bool bUdpLate = false;  // a query timed out: its reply may still come
    stCupsQueueCache stCups;  // the scheduler's last answers about the queue served
};
