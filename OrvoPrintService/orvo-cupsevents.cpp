#include "orvo-cupsevents.h"
#include "orvo-cupslink.h"
#include "orvo-log.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace {
const char *c_szSource = "../OrvoPrintService/orvo-cupsevents";
// The scheduler forgets a subscription whose lease runs out (a service killed without
// cancelling its own leaves nothing behind for long); it is renewed well before.
constexpr int c_iLeaseSeconds = 300;
constexpr qint64 c_iRenewMs = 120000;
// After a refusal to subscribe, listing every time until the next attempt.
constexpr qint64 c_iRetrySubscribeMs = 60000;
// The poller asks the scheduler only while some thread waits for events or asked for a
// generation this long ago at most: a process with no queue to watch costs the scheduler nothing.
constexpr qint64 c_iInterestMs = 1000;
// How long a job seen being stopped keeps the fetch at its stopping period.
constexpr qint64 c_iStoppingMs = 3000;
// How long after the subscription was lost the fetch keeps the period of an active job: the
// jobs' states are unknown until the queues are listed again, and a job cancelled meanwhile
// (a scheduler too busy to answer in time is often one serving a cancel) still has to
// reach its printer soon.
constexpr qint64 c_iRelearnMs = 5000;

struct stCupsEvents {
    std::mutex mutex;
    std::condition_variable cvPoller;  // the poller: someone became interested, or quit
    int iSubscriptionId = 0;  // 0: none
    int iNextSequence = 1;  // the first event not yet fetched
    qint64 iAllGeneration = 0;  // bumped when every queue may have changed
    QHash<QString, qint64> hashQueueGeneration;
    QHash<QString, QSet<int>> hashActiveJobs;  // per queue: its jobs pending or printing
    int iActiveJobs = 0;  // all of them
    // Jobs being stopped (cancelled while they print): they end within moments, and their
    // end is fetched sooner. Bounded in time: a job that does not stop costs no more.
    QSet<int> setStopping;
    QElapsedTimer timerStopping;  // since a job was last seen being stopped
    QElapsedTimer timerForgotten;  // since the subscription was last lost
    QElapsedTimer timerPolled;  // since the last Get-Notifications
    QElapsedTimer timerRenewed;  // since the subscription was created or renewed
    QElapsedTimer timerRefused;  // since the scheduler refused to subscribe
    qint64 iPolls = 0;  // Get-Notifications answered
    // What the poll in progress changed, for waking only the threads that wait for it.
    QSet<QString> setChanged;  // queues whose generation changed
    bool bAllChanged = false;  // every queue's, or the subscription came or went
    qint64 iWakes = 0;  // WakeCupsEventWaiters calls
    QElapsedTimer timerAsked;  // since a thread last asked for a generation
    int iWaiters = 0;  // threads in WaitCupsQueueGeneration
    // The waiting threads by queue, each on a condition of its own: an event of one queue
    // wakes the threads that watch it, not every thread of the process.
    QMultiHash<QString, std::condition_variable *> hashWaiters;
    std::thread poller;  // started by the first wait
    bool bPollerQuit = false;
    bool bPolling = false;  // a thread is fetching: the others do not

    ~stCupsEvents()
    {
        if (poller.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                bPollerQuit = true;
            }
            cvPoller.notify_all();
            poller.join();
        }
    }
};
stCupsEvents s_events;

ipp_t *NewServerRequest(ipp_op_t op)
{
    ipp_t *request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

bool IsActiveJobState(int state)
{
    return state == IPP_JSTATE_PENDING || state == IPP_JSTATE_PROCESSING || state == IPP_JSTATE_STOPPED;
}

// With the mutex held. A job becoming active shortens the poller's wait at once.
void NoteJobState(int job, const QString &queue, int state)
{
    if (job <= 0)
        return;
    const bool wasIdle = s_events.iActiveJobs == 0;
    QSet<int> &active = s_events.hashActiveJobs[queue];
    s_events.iActiveJobs -= int(active.size());
    if (IsActiveJobState(state))
        active.insert(job);
    else
        active.remove(job);
    s_events.iActiveJobs += int(active.size());
    if (active.isEmpty())
        s_events.hashActiveJobs.remove(queue);
    if (wasIdle && s_events.iActiveJobs > 0)
        s_events.cvPoller.notify_all();
}

int PollPeriodMs()
{
    if (s_events.iActiveJobs == 0)
        return s_events.timerForgotten.isValid() && !s_events.timerForgotten.hasExpired(c_iRelearnMs)
                   ? c_iCupsEventPollMs
                   : c_iCupsIdlePollMs;
    if (!s_events.setStopping.isEmpty() && !s_events.timerStopping.hasExpired(c_iStoppingMs))
        return c_iCupsStoppingPollMs;
    return c_iCupsEventPollMs;
}

// Whatever happened while no subscription was watching is unknown: every queue asks again
// (and its listing tells again which of its jobs are active).
void ForgetSubscription()
{
    s_events.hashActiveJobs.clear();
    s_events.iActiveJobs = 0;
    s_events.setStopping.clear();
    s_events.iSubscriptionId = 0;
    s_events.iNextSequence = 1;
    s_events.timerForgotten.start();
    ++s_events.iAllGeneration;
    s_events.bAllChanged = true;
}

using Lock = std::unique_lock<std::mutex>;

// The request goes out with the mutex released: the threads that only read a generation
// or wait for one are not held up by a round trip to the scheduler.
ipp_t *SendUnlocked(Lock &lock, ipp_t *request, ipp_status_t *status)
{
    lock.unlock();
    ipp_t *response = CupsSend(request, "/", status);
    lock.lock();
    return response;
}

bool Subscribe(Lock &lock)
{
    static const char *const c_szEvents[] = {"job-state-changed", "job-completed", "printer-state-changed"};
    ipp_t *request = NewServerRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events",
                  int(sizeof c_szEvents / sizeof *c_szEvents), nullptr, c_szEvents);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", c_iLeaseSeconds);
    ipp_status_t status;
    ipp_t *response = SendUnlocked(lock, request, &status);
    ipp_attribute_t *id = response ? ippFindAttribute(response, "notify-subscription-id", IPP_TAG_INTEGER) : nullptr;
    if (id) {
        s_events.iSubscriptionId = ippGetInteger(id, 0);
        s_events.iNextSequence = 1;
        s_events.timerRenewed.start();
        s_events.timerRefused.invalidate();
        WriteStringLog(c_szSource, __LINE__, "Subscribe", "subscribed to the scheduler's events, id %d",
                       s_events.iSubscriptionId);
    } else if (status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
        s_events.timerRefused.start();
        WriteStringLog(c_szSource, __LINE__, "Subscribe", "no event subscription (%s): asking every time",
                       ippErrorString(status));
    }
    ippDelete(response);
    return id != nullptr;
}

void Renew(Lock &lock)
{
    ipp_t *request = NewServerRequest(IPP_OP_RENEW_SUBSCRIPTION);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", s_events.iSubscriptionId);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", c_iLeaseSeconds);
    ipp_t *response = SendUnlocked(lock, request, nullptr);
    if (response)
        s_events.timerRenewed.start();
    else
        ForgetSubscription();
    ippDelete(response);
}

void Poll(Lock &lock)
{
    ipp_t *request = NewServerRequest(IPP_OP_GET_NOTIFICATIONS);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", s_events.iSubscriptionId);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers", s_events.iNextSequence);
    ipp_t *response = SendUnlocked(lock, request, nullptr);
    if (!response) {
        // Not found: the scheduler restarted or let the subscription go; subscribe again.
        ForgetSubscription();
        return;
    }
    ++s_events.iPolls;
    if (s_events.timerStopping.isValid() && s_events.timerStopping.hasExpired(c_iStoppingMs))
        s_events.setStopping.clear();
    // Each event is one group of attributes; a group without a name ends it.
    struct stEvent {
        int iSequence = 0;
        QString strQueue;  // printer-name, else the last part of notify-printer-uri
        QString strPrinterUri;
        int iJobId = 0;
        int iJobState = 0;
        bool bStopping = false;  // job-state-reasons: on its way to stop
    } event;
    bool first = true;
    const auto take = [&] {
        if (event.iSequence <= 0)
            return;
        // Events the scheduler dropped before they were fetched: anything may have changed.
        if (first && event.iSequence > s_events.iNextSequence) {
            ++s_events.iAllGeneration;
            s_events.bAllChanged = true;
        }
        first = false;
        if (event.iSequence >= s_events.iNextSequence)
            s_events.iNextSequence = event.iSequence + 1;
        QString queue = event.strQueue;
        if (queue.isEmpty() && !event.strPrinterUri.isEmpty())
            queue = QUrl::fromPercentEncoding(event.strPrinterUri.section('/', -1).toUtf8());
        if (queue.isEmpty()) {
            ++s_events.iAllGeneration;
            s_events.bAllChanged = true;
        } else {
            ++s_events.hashQueueGeneration[queue];
            s_events.setChanged.insert(queue);
        }
        if (event.iJobState > 0) {
            NoteJobState(event.iJobId, queue, event.iJobState);
            if (event.iJobState == IPP_JSTATE_PROCESSING && event.bStopping) {
                s_events.setStopping.insert(event.iJobId);
                s_events.timerStopping.start();
            } else {
                s_events.setStopping.remove(event.iJobId);
            }
        }
    };
    for (ipp_attribute_t *a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char *name = ippGetName(a);
        if (!name || ippGetGroupTag(a) != IPP_TAG_EVENT_NOTIFICATION) {
            take();
            event = stEvent();
            continue;
        }
        const QByteArray n(name);
        if (n == "notify-sequence-number" && ippGetValueTag(a) == IPP_TAG_INTEGER)
            event.iSequence = ippGetInteger(a, 0);
        else if (n == "printer-name")
            event.strQueue = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == "notify-printer-uri")
            event.strPrinterUri = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == "notify-job-id" && ippGetValueTag(a) == IPP_TAG_INTEGER)
            event.iJobId = ippGetInteger(a, 0);
        else if (n == "job-state" && ippGetValueTag(a) == IPP_TAG_ENUM)
            event.iJobState = ippGetInteger(a, 0);
        else if (n == "job-state-reasons") {
            for (int i = 0; i < ippGetCount(a); ++i) {
                const char *reason = ippGetString(a, i, nullptr);
                if (reason && (!strcmp(reason, "processing-to-stop-point") || !strcmp(reason, "job-canceled-by-user")))
                    event.bStopping = true;
            }
        }
    }
    take();
    ippDelete(response);
}

// With the mutex held: wakes the threads waiting for what the last poll changed.
void NotifyChanged()
{
    if (s_events.bAllChanged) {
        for (std::condition_variable *cv : std::as_const(s_events.hashWaiters))
            cv->notify_one();
    } else {
        for (const QString &queue : std::as_const(s_events.setChanged)) {
            for (std::condition_variable *cv : s_events.hashWaiters.values(queue))
                cv->notify_one();
        }
    }
    s_events.bAllChanged = false;
    s_events.setChanged.clear();
}

// Subscribes, renews and fetches the events when a poll is due and no other thread does;
// called with the mutex held, which it releases while it talks to the scheduler.
void PollIfDue(Lock &lock)
{
    if (s_events.bPolling || (s_events.timerPolled.isValid() && !s_events.timerPolled.hasExpired(PollPeriodMs())))
        return;
    s_events.bPolling = true;
    s_events.timerPolled.start();
    if (s_events.iSubscriptionId == 0) {
        const bool refusedLately = s_events.timerRefused.isValid() && !s_events.timerRefused.hasExpired(c_iRetrySubscribeMs);
        if (!refusedLately && Subscribe(lock))
            s_events.bAllChanged = true;  // waiters listing every time may wait for events now
    } else if (s_events.timerRenewed.hasExpired(c_iRenewMs)) {
        Renew(lock);
    }
    if (s_events.iSubscriptionId != 0)
        Poll(lock);
    s_events.bPolling = false;
    NotifyChanged();
}

qint64 Generation(const QString &queue)
{
    if (s_events.iSubscriptionId == 0)
        return -1;
    // Both parts only grow, so their sum changes whenever either does.
    return s_events.iAllGeneration + s_events.hashQueueGeneration.value(queue);
}

bool Interested()
{
    return s_events.iWaiters > 0 || (s_events.timerAsked.isValid() && !s_events.timerAsked.hasExpired(c_iInterestMs));
}

// The poller thread: one poll every PollPeriodMs while anyone is interested, so that the
// waiting threads sleep until something they watch changed.
void RunPoller()
{
    // Named for what it does, not after the thread that started it.
    pthread_setname_np(pthread_self(), "cupsevents");
    Lock lock(s_events.mutex);
    while (!s_events.bPollerQuit) {
        if (!Interested()) {
            s_events.cvPoller.wait(lock, [] { return s_events.bPollerQuit || Interested(); });
            continue;
        }
        PollIfDue(lock);
        // Until the poll is due by PollIfDue's measure, more than the period after the
        // last: waking exactly on it would find the poll not due and spin.
        // A job that becomes active meanwhile shortens the period: the wait ends then too.
        const int period = PollPeriodMs();
        const qint64 due = period + 1 - s_events.timerPolled.elapsed();
        s_events.cvPoller.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(1, due)),
                                   [period] { return s_events.bPollerQuit || PollPeriodMs() != period; });
    }
}

void NoteAsked()
{
    const bool was = Interested();
    s_events.timerAsked.start();
    if (!was)
        s_events.cvPoller.notify_all();
}
}  // namespace

qint64 CupsQueueGeneration(const QString &queue)
{
    Lock lock(s_events.mutex);
    NoteAsked();
    // Without a poller thread the thread that asks polls when a poll is due.
    if (!s_events.poller.joinable())
        PollIfDue(lock);
    return Generation(queue);
}

qint64 WaitCupsQueueGeneration(const QString &queue, qint64 seen, int ms)
{
    std::unique_lock<std::mutex> lock(s_events.mutex);
    if (!s_events.poller.joinable())
        s_events.poller = std::thread(RunPoller);
    const qint64 wakes = s_events.iWakes;
    ++s_events.iWaiters;
    NoteAsked();
    std::condition_variable changed;
    s_events.hashWaiters.insert(queue, &changed);
    changed.wait_for(lock, std::chrono::milliseconds(ms),
                     [&] { return s_events.iWakes != wakes || Generation(queue) != seen; });
    s_events.hashWaiters.remove(queue, &changed);
    --s_events.iWaiters;
    NoteAsked();
    return Generation(queue);
}

void WakeCupsEventWaiters()
{
    std::lock_guard<std::mutex> lock(s_events.mutex);
    ++s_events.iWakes;
    for (std::condition_variable *cv : std::as_const(s_events.hashWaiters))
        cv->notify_one();
}

qint64 CupsEventPolls()
{
    std::lock_guard<std::mutex> lock(s_events.mutex);
    return s_events.iPolls;
}

int CupsEventPollPeriodMs()
{
    std::lock_guard<std::mutex> lock(s_events.mutex);
    return PollPeriodMs();
}

namespace {
// A listing tells which of the queue's jobs are active now, also those whose events came
// before the subscription.
void NoteQueueJobs(const QString &queue, const QList<stCupsJob> &jobs)
{
    std::lock_guard<std::mutex> lock(s_events.mutex);
    s_events.iActiveJobs -= int(s_events.hashActiveJobs.take(queue).size());
    for (const stCupsJob &job : jobs)
        NoteJobState(job.iJobId, queue, job.iJobState);
}

void UseQueue(stCupsQueueCache &cache, const QString &queue)
{
    if (cache.strQueue != queue) {
        cache = stCupsQueueCache();
        cache.strQueue = queue;
    }
}
}  // namespace

// The generation is read before asking, so an event that arrives during the request leads
// to asking again.
bool GetCupsJobsCached(stCupsQueueCache &cache, const QString &queue, QList<stCupsJob> &jobs)
{
    const qint64 generation = CupsQueueGeneration(queue);
    UseQueue(cache, queue);
    if (generation < 0 || generation != cache.iJobsGeneration) {
        if (!GetCupsJobs(queue, cache.listJobs)) {
            cache.iJobsGeneration = -1;
            jobs.clear();
            return false;
        }
        cache.iJobsGeneration = generation;
        NoteQueueJobs(queue, cache.listJobs);
    }
    jobs = cache.listJobs;
    return true;
}

namespace {
// The answers of the last CUPS-Get-Printers, each with its queue's generation when it was
// asked: the workers of idle ready printers that find their queue changed (all of them at
// once after a start or an outage) are served by one request.
struct stSendingTable {
    std::mutex mutex;
    std::condition_variable cvFetched;
    bool bFetching = false;
    qint64 iFetches = 0;
    QHash<QString, std::pair<qint64, bool>> hashSending;  // queue -> (generation, sending)
};
stSendingTable s_sending;

// Whether the table answers for the queue at this generation, after a fetch if need be; false
// when the scheduler's list does not answer for it (the caller asks about the queue alone).
bool SendingFromTable(const QString &queue, qint64 generation, bool &sending)
{
    std::unique_lock<std::mutex> lock(s_sending.mutex);
    const qint64 seenFetches = s_sending.iFetches;
    for (;;) {
        const auto it = s_sending.hashSending.constFind(queue);
        if (it != s_sending.hashSending.cend() && it->first == generation) {
            sending = it->second;
            return true;
        }
        if (!s_sending.bFetching)
            break;
        s_sending.cvFetched.wait(lock);
    }
    // A fetch made since this thread read the generation did not answer for it: its own would not either.
    if (s_sending.iFetches != seenFetches)
        return false;
    s_sending.bFetching = true;
    lock.unlock();
    // Each queue's generation is read before asking: an event during the request makes the
    // answer stale for that queue, and it asks again.
    qint64 all = -1;
    QHash<QString, qint64> queues;
    {
        std::lock_guard<std::mutex> events(s_events.mutex);
        if (s_events.iSubscriptionId != 0) {
            all = s_events.iAllGeneration;
            queues = s_events.hashQueueGeneration;
        }
    }
    QHash<QString, bool> answers;
    const bool ok = all >= 0 && GetCupsPrintersSending(answers);
    lock.lock();
    s_sending.bFetching = false;
    ++s_sending.iFetches;
    if (ok) {
        s_sending.hashSending.clear();
        for (auto it = answers.cbegin(); it != answers.cend(); ++it)
            s_sending.hashSending.insert(it.key(), {all + queues.value(it.key()), it.value()});
    }
    s_sending.cvFetched.notify_all();
    const auto it = s_sending.hashSending.constFind(queue);
    if (it == s_sending.hashSending.cend() || it->first != generation)
        return false;
    sending = it->second;
    return true;
}
}  // namespace

bool GetCupsPrinterSendingCached(stCupsQueueCache &cache, const QString &queue)
{
    const qint64 generation = CupsQueueGeneration(queue);
    UseQueue(cache, queue);
    if (generation < 0 || generation != cache.iSendingGeneration) {
        if (generation < 0 || !SendingFromTable(queue, generation, cache.bSending))
            cache.bSending = GetCupsPrinterSending(queue);
        cache.iSendingGeneration = generation;
    }
    return cache.bSending;
}
