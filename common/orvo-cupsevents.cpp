#include "orvo-cupsevents.h"
#include "orvo-cupslink.h"
#include "orvo-log.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace {
const char *c_szSource = "../common/orvo-cupsevents";
// The scheduler forgets a subscription whose lease runs out (a service killed without
// cancelling its own leaves nothing behind for long); it is renewed well before.
constexpr int c_iLeaseSeconds = 300;
constexpr qint64 c_iRenewMs = 120000;
// After a refusal to subscribe, listing every time until the next attempt.
constexpr qint64 c_iRetrySubscribeMs = 60000;
// The poller asks the scheduler only while some thread waits for events or asked for a
// generation this long ago at most: a process with no queue to watch costs the scheduler nothing.
constexpr qint64 c_iInterestMs = 1000;

struct stCupsEvents {
    std::mutex mutex;
    std::condition_variable cvChanged;   // waiters: a generation changed, or a wake
    std::condition_variable cvPoller;    // the poller: someone became interested, or quit
    int iSubscriptionId = 0;       // 0: none
    int iNextSequence = 1;         // the first event not yet fetched
    qint64 iAllGeneration = 0;     // bumped when every queue may have changed
    QHash<QString, qint64> hashQueueGeneration;
    QHash<QString, QSet<int>> hashActiveJobs;   // per queue: its jobs pending or printing
    int iActiveJobs = 0;                         // all of them
    QElapsedTimer timerPolled;     // since the last Get-Notifications
    QElapsedTimer timerRenewed;    // since the subscription was created or renewed
    QElapsedTimer timerRefused;    // since the scheduler refused to subscribe
    qint64 iPolls = 0;             // Get-Notifications answered
    qint64 iChanges = 0;           // bumped with any generation, and when the subscription goes
    qint64 iWakes = 0;             // WakeCupsEventWaiters calls
    QElapsedTimer timerAsked;      // since a thread last asked for a generation
    int iWaiters = 0;              // threads in WaitCupsQueueGeneration
    std::thread poller;            // started by the first wait
    bool bPollerQuit = false;
    bool bPolling = false;         // a thread is fetching: the others do not


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
    return s_events.iActiveJobs == 0 ? c_iCupsIdlePollMs : c_iCupsEventPollMs;
}

// Whatever happened while no subscription was watching is unknown: every queue asks again
// (and its listing tells again which of its jobs are active).
void ForgetSubscription()
{
    s_events.hashActiveJobs.clear();
    s_events.iActiveJobs = 0;
    s_events.iSubscriptionId = 0;
    s_events.iNextSequence = 1;
    ++s_events.iAllGeneration;
    ++s_events.iChanges;
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
    // Each event is one group of attributes; a group without a name ends it.
    struct stEvent {
        int iSequence = 0;
        QString strQueue;        // printer-name, else the last part of notify-printer-uri
        QString strPrinterUri;
        int iJobId = 0;
        int iJobState = 0;
    } event;
    bool first = true;
    const auto take = [&] {
        if (event.iSequence <= 0)
            return;
        // Events the scheduler dropped before they were fetched: anything may have changed.
        if (first && event.iSequence > s_events.iNextSequence)
            ++s_events.iAllGeneration;
        ++s_events.iChanges;
        first = false;
        if (event.iSequence >= s_events.iNextSequence)
            s_events.iNextSequence = event.iSequence + 1;
        QString queue = event.strQueue;
        if (queue.isEmpty() && !event.strPrinterUri.isEmpty())
            queue = QUrl::fromPercentEncoding(event.strPrinterUri.section('/', -1).toUtf8());
        if (queue.isEmpty())
            ++s_events.iAllGeneration;
        else
            ++s_events.hashQueueGeneration[queue];
        if (event.iJobState > 0)
            NoteJobState(event.iJobId, queue, event.iJobState);
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
    }
    take();
    ippDelete(response);
}

// Subscribes, renews and fetches the events when a poll is due and no other thread does;
// called with the mutex held, which it releases while it talks to the scheduler.
void PollIfDue(Lock &lock)
{
    if (s_events.bPolling || (s_events.timerPolled.isValid() && !s_events.timerPolled.hasExpired(PollPeriodMs())))
        return;
    s_events.bPolling = true;
    s_events.timerPolled.start();
    const qint64 changes = s_events.iChanges;
    if (s_events.iSubscriptionId == 0) {
        const bool refusedLately = s_events.timerRefused.isValid() && !s_events.timerRefused.hasExpired(c_iRetrySubscribeMs);
        if (!refusedLately && Subscribe(lock))
            ++s_events.iChanges;   // waiters listing every time may wait for events now
    } else if (s_events.timerRenewed.hasExpired(c_iRenewMs)) {
        Renew(lock);
    }
    if (s_events.iSubscriptionId != 0)
        Poll(lock);
    s_events.bPolling = false;
    if (s_events.iChanges != changes)
        s_events.cvChanged.notify_all();
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
} // namespace

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
    s_events.cvChanged.wait_for(lock, std::chrono::milliseconds(ms),
                                [&] { return s_events.iWakes != wakes || Generation(queue) != seen; });
    --s_events.iWaiters;
    NoteAsked();
    return Generation(queue);
}

void WakeCupsEventWaiters()
{
    {
        std::lock_guard<std::mutex> lock(s_events.mutex);
        ++s_events.iWakes;
    }
    s_events.cvChanged.notify_all();
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
} // namespace

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

bool GetCupsPrinterSendingCached(stCupsQueueCache &cache, const QString &queue)
{
    const qint64 generation = CupsQueueGeneration(queue);
    UseQueue(cache, queue);
    if (generation < 0 || generation != cache.iSendingGeneration) {
        cache.bSending = GetCupsPrinterSending(queue);
        cache.iSendingGeneration = generation;
    }
    return cache.bSending;
}
