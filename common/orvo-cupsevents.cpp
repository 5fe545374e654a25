#include "orvo-cupsevents.h"
#include "orvo-cupslink.h"
#include "orvo-log.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QUrl>

namespace {
const char *c_szSource = "../common/orvo-cupsevents";
// The scheduler forgets a subscription whose lease runs out (a service killed without
// cancelling its own leaves nothing behind for long); it is renewed well before.
constexpr int c_iLeaseSeconds = 300;
constexpr qint64 c_iRenewMs = 120000;
// After a refusal to subscribe, listing every time until the next attempt.
constexpr qint64 c_iRetrySubscribeMs = 60000;

struct stCupsEvents {
    QMutex mutex;
    int iSubscriptionId = 0;       // 0: none
    int iNextSequence = 1;         // the first event not yet fetched
    qint64 iAllGeneration = 0;     // bumped when every queue may have changed
    QHash<QString, qint64> hashQueueGeneration;
    QElapsedTimer timerPolled;     // since the last Get-Notifications
    QElapsedTimer timerRenewed;    // since the subscription was created or renewed
    QElapsedTimer timerRefused;    // since the scheduler refused to subscribe
    qint64 iPolls = 0;             // Get-Notifications answered
};
stCupsEvents s_events;

ipp_t *NewServerRequest(ipp_op_t op)
{
    ipp_t *request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

// Whatever happened while no subscription was watching is unknown: every queue asks again.
void ForgetSubscription()
{
    s_events.iSubscriptionId = 0;
    s_events.iNextSequence = 1;
    ++s_events.iAllGeneration;
}

bool Subscribe()
{
    static const char *const c_szEvents[] = {"job-state-changed", "job-completed", "printer-state-changed"};
    ipp_t *request = NewServerRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events",
                  int(sizeof c_szEvents / sizeof *c_szEvents), nullptr, c_szEvents);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", c_iLeaseSeconds);
    ipp_status_t status;
    ipp_t *response = CupsSend(request, "/", &status);
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

void Renew()
{
    ipp_t *request = NewServerRequest(IPP_OP_RENEW_SUBSCRIPTION);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", s_events.iSubscriptionId);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", c_iLeaseSeconds);
    ipp_t *response = CupsSend(request, "/", nullptr);
    if (response)
        s_events.timerRenewed.start();
    else
        ForgetSubscription();
    ippDelete(response);
}

void Poll()
{
    ipp_t *request = NewServerRequest(IPP_OP_GET_NOTIFICATIONS);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", s_events.iSubscriptionId);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers", s_events.iNextSequence);
    ipp_t *response = CupsSend(request, "/", nullptr);
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
    } event;
    bool first = true;
    const auto take = [&] {
        if (event.iSequence <= 0)
            return;
        // Events the scheduler dropped before they were fetched: anything may have changed.
        if (first && event.iSequence > s_events.iNextSequence)
            ++s_events.iAllGeneration;
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
    }
    take();
    ippDelete(response);
}
} // namespace

qint64 CupsQueueGeneration(const QString &queue)
{
    QMutexLocker lock(&s_events.mutex);
    if (!s_events.timerPolled.isValid() || s_events.timerPolled.hasExpired(c_iCupsEventPollMs)) {
        s_events.timerPolled.start();
        if (s_events.iSubscriptionId == 0) {
            const bool refusedLately = s_events.timerRefused.isValid() && !s_events.timerRefused.hasExpired(c_iRetrySubscribeMs);
            if (!refusedLately)
                Subscribe();
        } else if (s_events.timerRenewed.hasExpired(c_iRenewMs)) {
            Renew();
        }
        if (s_events.iSubscriptionId != 0)
            Poll();
    }
    if (s_events.iSubscriptionId == 0)
        return -1;
    // Both parts only grow, so their sum changes whenever either does.
    return s_events.iAllGeneration + s_events.hashQueueGeneration.value(queue);
}

qint64 CupsEventPolls()
{
    QMutexLocker lock(&s_events.mutex);
    return s_events.iPolls;
}

namespace {
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
