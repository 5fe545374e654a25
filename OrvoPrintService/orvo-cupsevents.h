// Changes announced by the scheduler, so that the job monitor and the CUPS check ask it
// again only when something changed: one subscription of the process to job and printer
// state events ("ippget" pull method), fetched for all queues at once with one
// Get-Notifications: by the poller thread once a thread waits for events, else by whichever
// thread asks first. The scheduler keeps a subscription's events until they are fetched, so
// fetching them less often while nothing prints loses none.
#pragma once
#include "orvo-cupsquery.h"

#include <QList>
#include <QString>

// Period of the fetch while a job is pending or printing on any queue (a job cancelled in
// CUPS reaches its printer within about this time, plus the printer's cancel request), and
// while none is. The scheduler emits no event before the one of the cancelled job (it is
// cancelled at once, also while its backend still runs), so this period is what the printer
// waits for its cancel.
constexpr int c_iCupsEventPollMs = 100;
constexpr int c_iCupsIdlePollMs = 1000;
// A job cancelled while it prints first stops, then ends (when its processes are gone): from
// the event that shows it stopping, the events are fetched this often until it ended.
constexpr int c_iCupsStoppingPollMs = 40;

// A number that changes whenever the scheduler reported an event that may change what it
// says about the queue (its jobs or its state) since the number was last read. -1 when no
// subscription serves the process (the scheduler refused one, or is not answering): the
// caller then asks every time, as without events.
qint64 CupsQueueGeneration(const QString &queue);

// Blocks until the queue's generation is no longer `seen`, WakeCupsEventWaiters is called,
// or ms milliseconds passed; returns the generation then (-1: no subscription serves). The
// first call starts a poller thread that fetches the events for the whole process, so that
// waiting threads sleep until something they watch changed.
qint64 WaitCupsQueueGeneration(const QString &queue, qint64 seen, int ms);

// Ends every WaitCupsQueueGeneration now (the printer list changed, or a thread is to quit).
void WakeCupsEventWaiters();

// Get-Notifications the scheduler has answered so far in this process.
qint64 CupsEventPolls();

// The period the events are fetched with now: c_iCupsEventPollMs while a job is pending or
// printing on some queue (as the events and the latest job listings tell; c_iCupsStoppingPollMs
// while one is being stopped), else c_iCupsIdlePollMs.
int CupsEventPollPeriodMs();

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
