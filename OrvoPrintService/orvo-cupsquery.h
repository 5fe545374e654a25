// Facts about a CUPS queue asked from the scheduler over its local socket (IPP through
// libcups), so that checks made several times a second start no process. All threads share
// the process's few connections to the scheduler (orvo-cupslink.h). Every request is bounded
// in time (a stopped or hung scheduler costs the requests on the wire at most about half a
// second, once per outage; every other request gives up at once until the scheduler
// answers the client's probe again, made soon and then every second), and a failure is
// logged once: an outage when it starts and ends, a refusal when its text changes.
#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Whether the queue's printer-state is "processing": CUPS is sending the printer a job
// (the listing tool's "now printing" line). False when the scheduler or queue is unknown.
bool GetCupsPrinterSending(const QString &queue);

// GetCupsPrinterSending for every queue of the scheduler at once (one CUPS-Get-Printers):
// queue name -> sending. False when the scheduler does not answer.
bool GetCupsPrintersSending(QHash<QString, bool> &sending);

// One job of a queue as Get-Jobs returns it.
struct stCupsJob {
    int iJobId = 0;
    int iJobState = 0;  // IPP job-state, 3 (pending) to 9 (completed)
    bool bHasReasons = false;  // job-state-reasons was returned
    QStringList listReasons;  // job-state-reasons, in the scheduler's order
    bool bHasPrinterMessage = false;  // job-printer-state-message was returned
    QString strPrinterMessage;  // job-printer-state-message
};

// Every job of the queue, of all users and in every state (which-jobs "all"), in the
// scheduler's order. Returns false when the scheduler does not answer the request; jobs
// is then empty.
bool GetCupsJobs(const QString &queue, QList<stCupsJob> &jobs);
