#include "orvo-cupsquery.h"
#include "orvo-cupslink.h"

#include "orvo-log.h"

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {
QString PrinterUri(const QString &queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.toUtf8().constData());
    return QString::fromUtf8(uri);
}

ipp_t *NewQueueRequest(ipp_op_t op, const QString &queue)
{
    ipp_t *request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, PrinterUri(queue).toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

// Each request is bounded so that a scheduler that is stopped or hung costs the status
// workers one short wait per outage: connecting and waiting for the reply take at most
// these times, and once a request has failed every request gives up at once until a
// probe of the client's own, made in the background (soon, then every second), is
// answered. Asking workers to find the scheduler's return would cost one of them the
// reply's bound every second of a hung scheduler, and the requests behind it in line as much. The reply's
// bound leaves room for a scheduler slowed by a busy machine: a reply it misses counts
// as an outage.
constexpr int c_iConnectMs = 100;
constexpr double c_dReplySeconds = 0.5;
constexpr int c_iRetryAfterMs = 1000;
// The first probe of an outage comes sooner, and the next ones at twice the pause before
// until c_iRetryAfterMs: a scheduler that missed a reply because it was busy for a moment
// (serving a client's long listing) is found answering again within moments.
constexpr int c_iFirstRetryMs = 100;
// A request waits this long at most for a connection of the client to become free; a
// scheduler that answers every request in time serves hundreds of waiting ones by then.
constexpr int c_iQueueWaitMs = 2000;
const char *c_szSource = "../OrvoPrintService/orvo-cupsquery";

struct stCupsLink {
    http_t *pHttp = nullptr;
    bool bBusy = false;
    unsigned iFailuresAtConnect = 0;  // iFailures when the connection was made
};

// A request waiting for a connection; the releasing thread hands its connection over.
struct stCupsWaiter {
    std::condition_variable cvGiven;
    int iLink = -1;
};

// The one client of the process: every thread's requests go through its few connections,
// in the order they were asked, so that the scheduler sees at most c_iCupsClientLinks
// connections of the process however many printers it watches.
struct stCupsClient {
    std::mutex mutex;
    stCupsLink links[c_iCupsClientLinks];
    std::deque<stCupsWaiter *> queueWaiting;
    bool bOutage = false;  // the scheduler was last found unreachable (logged once)
    bool bProbing = false;  // the probe that ends the outage runs
    // Counts the failures. A reply ends an outage only on a connection made since the
    // last failure: a scheduler that is shutting down still answers on connections it
    // already has, and a reply it sent just before it stopped may be read late; neither
    // says that it answers now.
    unsigned iFailures = 0;
    stCupsClientCounts counts;  // iOpen kept current with every connect and close
};
// Never destroyed: threads of other parts (the event poller) may still ask while the
// process ends; the system closes the connections.
stCupsClient &s_client = *new stCupsClient;
// The last refusal logged for the asking thread: a worker asks again and again.
thread_local QByteArray t_strLastError;

int GiveUp(http_t *, void *)
{
    return 0;
}

// Takes a free connection, or waits in line for one; -1 when none became free in time.
int TakeLink()
{
    std::unique_lock<std::mutex> lock(s_client.mutex);
    if (s_client.queueWaiting.empty()) {
        for (int i = 0; i < c_iCupsClientLinks; ++i) {
            if (!s_client.links[i].bBusy) {
                s_client.links[i].bBusy = true;
                return i;
            }
        }
    }
    stCupsWaiter waiter;
    s_client.queueWaiting.push_back(&waiter);
    ++s_client.counts.iQueued;
    if (!waiter.cvGiven.wait_for(lock, std::chrono::milliseconds(c_iQueueWaitMs), [&] { return waiter.iLink >= 0; })) {
        s_client.queueWaiting.erase(std::find(s_client.queueWaiting.begin(), s_client.queueWaiting.end(), &waiter));
        return -1;
    }
    return waiter.iLink;
}

// The connection goes to the first request in line, else back to the free ones.
void GiveBackLink(int i)
{
    std::lock_guard<std::mutex> lock(s_client.mutex);
    if (s_client.queueWaiting.empty()) {
        s_client.links[i].bBusy = false;
        return;
    }
    stCupsWaiter *next = s_client.queueWaiting.front();
    s_client.queueWaiting.pop_front();
    next->iLink = i;
    next->cvGiven.notify_one();
}

// Called by the connection's owner only, like everything that touches pHttp.
void CloseLink(stCupsLink &link)
{
    if (!link.pHttp)
        return;
    httpClose(link.pHttp);
    link.pHttp = nullptr;
    std::lock_guard<std::mutex> lock(s_client.mutex);
    --s_client.counts.iOpen;
}

void StartProbe();

// The connection is closed and every request gives up at once until the probe is answered.
void NoteUnreachable(stCupsLink &link, const char *what)
{
    const int err = link.pHttp ? httpError(link.pHttp) : errno;
    CloseLink(link);
    std::lock_guard<std::mutex> lock(s_client.mutex);
    ++s_client.iFailures;
    ++s_client.counts.iFailures;
    if (!s_client.bOutage) {
        s_client.bOutage = true;
        WriteStringLog(c_szSource, __LINE__, "Send", "scheduler not answering (%s): %s", what,
                       err ? strerror(err) : "no reply in time");
    }
    if (!s_client.bProbing) {
        s_client.bProbing = true;
        StartProbe();
    }
}

// A reply came: on a connection made since the last failure it ends the outage.
void NoteAnswered(const stCupsLink &link)
{
    std::lock_guard<std::mutex> lock(s_client.mutex);
    if (s_client.iFailures == link.iFailuresAtConnect && s_client.bOutage) {
        s_client.bOutage = false;
        WriteStringLog(c_szSource, __LINE__, "Send", "scheduler answers again");
    }
}

bool InOutage()
{
    std::lock_guard<std::mutex> lock(s_client.mutex);
    return s_client.bOutage;
}

// A connection made before the last failure may lead to a scheduler that has gone since.
bool Stale(const stCupsLink &link)
{
    std::lock_guard<std::mutex> lock(s_client.mutex);
    return s_client.bOutage || link.iFailuresAtConnect != s_client.iFailures;
}

// The connection, made when it has none; null during an outage but for the probe, which
// always asks on a connection of its own making.
http_t *Connect(stCupsLink &link, bool probe)
{
    if (probe || Stale(link))
        CloseLink(link);
    if (link.pHttp)
        return link.pHttp;
    {
        std::lock_guard<std::mutex> lock(s_client.mutex);
        if (s_client.bOutage && !probe)
            return nullptr;
        link.iFailuresAtConnect = s_client.iFailures;
        ++s_client.counts.iConnects;
    }
    int cancel = 0;
    errno = 0;
    link.pHttp = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, c_iConnectMs, &cancel);
    if (!link.pHttp) {
        NoteUnreachable(link, "connect");
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(s_client.mutex);
        ++s_client.counts.iOpen;
    }
    httpSetTimeout(link.pHttp, c_dReplySeconds, GiveUp, nullptr);
    return link.pHttp;
}

// One request and its reply on the connection, every wait bounded by its time-out.
// (cupsDoRequest first waits up to a second for a "100 Continue" that a hung scheduler
// never sends.) Null when the scheduler could not be reached or gave no whole reply;
// answer then holds its HTTP status (HTTP_STATUS_ERROR when there was none).
ipp_t *Exchange(http_t *http, ipp_t *request, const char *resource, http_status_t &answer)
{
    answer = HTTP_STATUS_ERROR;
    httpClearFields(http);
    httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
    httpSetLength(http, ippLength(request));
    if (httpPost(http, resource) != 0)
        return nullptr;
    ipp_state_t state;
    while ((state = ippWrite(http, request)) != IPP_STATE_DATA) {
        if (state == IPP_STATE_ERROR)
            return nullptr;
    }
    http_status_t status;
    do {
        status = httpUpdate(http);
    } while (status == HTTP_STATUS_CONTINUE);
    answer = status;
    if (status != HTTP_STATUS_OK)
        return nullptr;
    ipp_t *response = ippNew();
    while ((state = ippRead(http, response)) != IPP_STATE_DATA) {
        if (state == IPP_STATE_ERROR) {
            ippDelete(response);
            return nullptr;
        }
    }
    return response;
}

// The request on the connection owned by the calling thread; the reply as CupsSend gives it.
ipp_t *SendOn(stCupsLink &link, ipp_t *request, const char *resource, ipp_status_t *status)
{
    http_t *http = Connect(link, false);
    if (!http) {
        ippDelete(request);
        return nullptr;
    }
    http_status_t answer;
    ipp_t *response = Exchange(http, request, resource, answer);
    const ipp_op_t op = ippGetOperation(request);
    ippDelete(request);
    if (!response && answer == HTTP_STATUS_ERROR) {
        NoteUnreachable(link, "request");
        return nullptr;
    }
    NoteAnswered(link);
    QByteArray refusal;
    if (!response) {
        // Refused at the HTTP level (e.g. the operation needs authentication): the scheduler
        // answers, the rest of the answer is not wanted, so the connection starts afresh.
        CloseLink(link);
        if (status)
            *status = answer == HTTP_STATUS_UNAUTHORIZED ? IPP_STATUS_ERROR_NOT_AUTHENTICATED : IPP_STATUS_ERROR_FORBIDDEN;
        refusal = QByteArray(ippOpString(op)) + ": HTTP " + httpStatus(answer);
    } else {
        const ipp_status_t code = ippGetStatusCode(response);
        if (status)
            *status = code;
        if (code > IPP_STATUS_OK_EVENTS_COMPLETE) {
            ipp_attribute_t *message = ippFindAttribute(response, "status-message", IPP_TAG_TEXT);
            refusal = QByteArray(ippOpString(op)) + ": " + ippErrorString(code) + " "
                      + (message ? ippGetString(message, 0, nullptr) : "");
            ippDelete(response);
            response = nullptr;
        }
    }
    if (!response) {
        if (refusal != t_strLastError)
            WriteStringLog(c_szSource, __LINE__, "Send", "scheduler refused %s", refusal.constData());
        t_strLastError = refusal;
        return nullptr;
    }
    t_strLastError.clear();
    return response;
}

// Asks on a new connection whether the scheduler answers: any whole HTTP answer counts.
void Probe(stCupsLink &link)
{
    // libcups settles on the scheduler's address once per thread, on the local socket only
    // when it exists then: a stopped scheduler has removed it, so look again every time.
    cupsSetServer(nullptr);
    http_t *http = Connect(link, true);
    if (!http)
        return;
    http_status_t answer;
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ipp_t *response = Exchange(http, request, "/", answer);
    ippDelete(request);
    if (!response && answer == HTTP_STATUS_ERROR) {
        NoteUnreachable(link, "probe");
        return;
    }
    if (!response)
        CloseLink(link);
    ippDelete(response);
    NoteAnswered(link);
}

// Asks on one of the client's connections, soon and then every second, until the scheduler
// answers.
void StartProbe()
{
    std::thread([] {
        for (int pause = c_iFirstRetryMs;; pause = std::min(2 * pause, c_iRetryAfterMs)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            const int i = TakeLink();
            if (i >= 0) {
                Probe(s_client.links[i]);
                GiveBackLink(i);
            }
            // An answer may come just as another request fails: then the probe goes on.
            std::lock_guard<std::mutex> lock(s_client.mutex);
            if (!s_client.bOutage) {
                s_client.bProbing = false;
                return;
            }
        }
    }).detach();
}

}  // namespace

ipp_t *CupsSend(ipp_t *request, const char *resource, ipp_status_t *status)
{
    if (status)
        *status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    if (InOutage()) {
        // Known unreachable: given up at once, without waiting in line.
        ippDelete(request);
        return nullptr;
    }
    const int i = TakeLink();
    if (i < 0) {
        // The scheduler answers, but too slowly for everything asked of it: this request
        // fails, its asker asks again in its next check.
        const QByteArray refusal = QByteArray(ippOpString(ippGetOperation(request))) + ": queued too long";
        ippDelete(request);
        if (refusal != t_strLastError)
            WriteStringLog(c_szSource, __LINE__, "Send", "scheduler busy, %s", refusal.constData());
        t_strLastError = refusal;
        return nullptr;
    }
    ipp_t *response = SendOn(s_client.links[i], request, resource, status);
    GiveBackLink(i);
    return response;
}

stCupsClientCounts CupsClientCounts()
{
    std::lock_guard<std::mutex> lock(s_client.mutex);
    return s_client.counts;
}

bool GetCupsPrinterSending(const QString &queue)
{
    static const char *const c_szAttrs[] = {"printer-state"};
    ipp_t *request = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, c_szAttrs);
    ipp_t *response = CupsSend(request, "/", nullptr);
    if (!response)
        return false;
    ipp_attribute_t *state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
    const bool sending = state && ippGetInteger(state, 0) == IPP_PSTATE_PROCESSING;
    ippDelete(response);
    return sending;
}

bool GetCupsPrintersSending(QHash<QString, bool> &sending)
{
    static const char *const c_szAttrs[] = {"printer-name", "printer-state"};
    sending.clear();
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, c_szAttrs);
    ipp_t *response = CupsSend(request, "/", nullptr);
    if (!response)
        return false;
    // One group of printer attributes per queue.
    QString name;
    int state = 0;
    const auto flush = [&] {
        if (!name.isEmpty())
            sending.insert(name, state == IPP_PSTATE_PROCESSING);
        name.clear();
        state = 0;
    };
    for (ipp_attribute_t *a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char *attr = ippGetName(a);
        if (!attr || ippGetGroupTag(a) != IPP_TAG_PRINTER) {
            flush();
            continue;
        }
        if (!strcmp(attr, "printer-name") && ippGetValueTag(a) == IPP_TAG_NAME)
            name = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (!strcmp(attr, "printer-state") && ippGetValueTag(a) == IPP_TAG_ENUM)
            state = ippGetInteger(a, 0);
    }
    flush();
    ippDelete(response);
    return true;
}

bool GetCupsJobs(const QString &queue, QList<stCupsJob> &jobs)
{
    static const char *const c_szAttrs[] = {"job-id", "job-state", "job-state-reasons", "job-printer-state-message"};
    jobs.clear();
    ipp_t *request = NewQueueRequest(IPP_OP_GET_JOBS, queue);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof c_szAttrs / sizeof *c_szAttrs), nullptr, c_szAttrs);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    ipp_t *response = CupsSend(request, "/", nullptr);
    if (!response)
        return false;

    // The jobs follow each other in the reply, each one a group of job attributes.
    stCupsJob job;
    bool inJob = false;
    const auto flush = [&] {
        if (inJob && job.iJobId > 0)
            jobs.append(job);
        job = stCupsJob();
        inJob = false;
    };
    for (ipp_attribute_t *a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char *name = ippGetName(a);
        if (!name) {
            flush();
            continue;
        }
        if (ippGetGroupTag(a) != IPP_TAG_JOB)
            continue;
        const QByteArray n(name);
        if (n == "job-id" && job.iJobId > 0)
            flush();
        inJob = true;
        if (n == "job-id" && ippGetValueTag(a) == IPP_TAG_INTEGER) {
            job.iJobId = ippGetInteger(a, 0);
        } else if (n == "job-state" && ippGetValueTag(a) == IPP_TAG_ENUM) {
            job.iJobState = ippGetInteger(a, 0);
        } else if (n == "job-state-reasons") {
            job.bHasReasons = true;
            for (int i = 0; i < ippGetCount(a); ++i)
                job.listReasons << QString::fromUtf8(ippGetString(a, i, nullptr));
        } else if (n == "job-printer-state-message") {
            job.bHasPrinterMessage = true;
            job.strPrinterMessage = QString::fromUtf8(ippGetString(a, 0, nullptr));
        }
    }
    flush();
    ippDelete(response);
    return true;
}
