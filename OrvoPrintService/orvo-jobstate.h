// The job monitor's decision for one check: the state of each job of a queue, the jobs
// found printing, and the jobs cancelled by their user while printing in the last check.
#pragma once
#include "orvo-cupsquery.h"
#include "orvo-records.h"

#include <QList>
#include <QStringList>

struct stJobCheck {
    QList<stJobState> listAll;  // every job in listing order, with its state 0..4
    QList<stJobState> listPrinting;  // the jobs in state 1: carried to the next check
    QStringList listCancel;  // one entry per printing -> cancelled-by-user transition
};

// The job identifier the listing tool prints: queue name, dash, job number.
QString CupsJobId(const QString &queue, int jobId);

// Derives the states from the scheduler's job records exactly as from the listing's
// "Status:" line (job-printer-state-message) and "Alerts:" line (the job-state-reasons
// joined by spaces); previous is the printing list of the last check.
stJobCheck DeriveJobStates(const QString &queue, const QList<stCupsJob> &jobs,
                           const QList<stJobState> &previous);
