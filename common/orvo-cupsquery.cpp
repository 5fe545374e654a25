#include "orvo-cupsquery.h"

#include <cups/cups.h>

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

// cupsDoRequest frees the request; a reply whose status is an error counts as none.
ipp_t *Send(ipp_t *request, const char *resource)
{
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, resource);
    if (response && ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        ippDelete(response);
        return nullptr;
    }
    return response;
}
} // namespace

bool GetCupsPrinterSending(const QString &queue)
{
    static const char *const c_szAttrs[] = {"printer-state"};
    ipp_t *request = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, c_szAttrs);
    ipp_t *response = Send(request, "/");
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
    ipp_t *response = Send(request, "/");
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
