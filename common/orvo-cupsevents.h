// Changes announced by the scheduler, so that the job monitor and the CUPS check ask it
// again only when something changed: one subscription of the process to job and printer
// state events ("ippget" pull method), fetched for all queues at once with one
// Get-Notifications at most every c_iCupsEventPollMs, whichever thread asks first.
#pragma once
#include "orvo-cupsquery.h"

#include <QList>
#include <QString>

constexpr int c_iCupsEventPollMs = 250;

// A number that changes whenever the scheduler reported an event that may change what it
// says about the queue (its jobs or its state) since the number was last read. -1 when no
// subscription serves the process (the scheduler refused one, or is not answering): the
// caller then asks every time, as without events.
qint64 CupsQueueGeneration(const QString &queue);

// Get-Notifications the scheduler has answered so far in this process.
qint64 CupsEventPolls();

// A caller's last answers about one queue, reused while the queue's generation stays.
struct stCupsQueueCache {
    QString strQueue;
    qint64 iJobsGeneration = -1;
    QList<stCupsJob> listJobs;
    qint64 iSendingGeneration = -1;
    bool bSending = false;
};

// GetCupsJobs and GetCupsPrinterSending, asking the scheduler only when its events announced
// a change of the queue since the cache's answer (or when no subscription serves).
bool GetCupsJobsCached(stCupsQueueCache &cache, const QString &queue, QList<stCupsJob> &jobs);
bool GetCupsPrinterSendingCached(stCupsQueueCache &cache, const QString &queue);
