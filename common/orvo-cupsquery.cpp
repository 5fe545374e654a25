#include "orvo-cupsquery.h"
#include "orvo-cupslink.h"

#include "orvo-log.h"

#include <QElapsedTimer>

#include <cups/cups.h>

#include <atomic>
#include <cerrno>
#include <cstring>

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

// Each request is bounded so that a scheduler that is stopped or hung costs a status
// worker a small part of its cycle: connecting and waiting for the reply take at most
// these times, and after a failure the thread does not try again for a second.
constexpr int c_iConnectMs = 100;
constexpr double c_dReplySeconds = 0.1;
constexpr qint64 c_iRetryAfterMs = 1000;
const char *c_szSource = "../common/orvo-cupsquery";

struct stCupsLink {
    http_t *pHttp = nullptr;
    QElapsedTimer timerFailed;     // running since the last failure to reach the scheduler
    QByteArray strLastError;       // the last refusal logged by this thread
    unsigned iFailuresAtConnect = 0;   // s_iFailures when the connection was made
    ~stCupsLink()
    {
        if (pHttp)
            httpClose(pHttp);
    }
};
thread_local stCupsLink t_link;
// Whether the scheduler was last found unreachable, shared by all threads so that an
// outage is logged once when it starts and once when it ends.
std::atomic<bool> s_bOutage{false};
// Counts the failures of all threads. A reply ends an outage only on a connection made
// since the last failure: a scheduler that is shutting down still answers on connections it
// already has, and a reply it sent just before it stopped may be read late by a busy thread;
// neither says that it answers now.
std::atomic<unsigned> s_iFailures{0};

int GiveUp(http_t *, void *)
{
    return 0;
}

void NoteUnreachable(const char *what)
{
    const int err = t_link.pHttp ? httpError(t_link.pHttp) : errno;
    if (t_link.pHttp) {
        httpClose(t_link.pHttp);
        t_link.pHttp = nullptr;
    }
    t_link.timerFailed.start();
    ++s_iFailures;
    if (!s_bOutage.exchange(true))
        WriteStringLog(c_szSource, __LINE__, "Send", "scheduler not answering (%s): %s", what,
                       err ? strerror(err) : "no reply in time");
}

http_t *Link()
{
    if (t_link.pHttp)
        return t_link.pHttp;
    if (t_link.timerFailed.isValid() && !t_link.timerFailed.hasExpired(c_iRetryAfterMs))
        return nullptr;
    int cancel = 0;
    errno = 0;
    t_link.iFailuresAtConnect = s_iFailures;
    t_link.pHttp = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, c_iConnectMs, &cancel);
    if (!t_link.pHttp) {
        NoteUnreachable("connect");
        return nullptr;
    }
    httpSetTimeout(t_link.pHttp, c_dReplySeconds, GiveUp, nullptr);
    return t_link.pHttp;
}

// One request and its reply on the thread's connection, every wait bounded by its time-out.
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

} // namespace

ipp_t *CupsSend(ipp_t *request, const char *resource, ipp_status_t *status)
{
    if (status)
        *status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    http_t *http = Link();
    if (!http) {
        ippDelete(request);
        return nullptr;
    }
    http_status_t answer;
    ipp_t *response = Exchange(http, request, resource, answer);
    const ipp_op_t op = ippGetOperation(request);
    ippDelete(request);
    if (!response && answer == HTTP_STATUS_ERROR) {
        NoteUnreachable("request");
        return nullptr;
    }
    t_link.timerFailed.invalidate();
    if (s_iFailures == t_link.iFailuresAtConnect && s_bOutage.exchange(false))
        WriteStringLog(c_szSource, __LINE__, "Send", "scheduler answers again");
    QByteArray refusal;
    if (!response) {
        // Refused at the HTTP level (e.g. the operation needs authentication): the scheduler
        // answers, the rest of the answer is not wanted, so the connection starts afresh.
        httpClose(t_link.pHttp);
        t_link.pHttp = nullptr;
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
        // Logged when it differs from this thread's last refusal: a worker asks ten times a cycle.
        if (refusal != t_link.strLastError)
            WriteStringLog(c_szSource, __LINE__, "Send", "scheduler refused %s", refusal.constData());
        t_link.strLastError = refusal;
        return nullptr;
    }
    t_link.strLastError.clear();
    return response;
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
