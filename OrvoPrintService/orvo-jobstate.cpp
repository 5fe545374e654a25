#include "orvo-jobstate.h"

QString CupsJobId(const QString &queue, int jobId)
{
    return queue + "-" + QString::number(jobId);
}

stJobCheck DeriveJobStates(const QString &queue, const QList<stCupsJob> &jobs,
                           const QList<stJobState> &previous)
{
    stJobCheck check;
    for (const stCupsJob &job : jobs) {
        stJobState current;
        current.strJobID = CupsJobId(queue, job.iJobId);
        current.iJobState = JOB_LISTED;
        // A job without reasons has no alerts line and stays "listed".
        if (job.bHasReasons) {
            // The word tests are substring tests on the whole alerts text, as on the line.
            const QString alerts = job.listReasons.join(' ');
            const bool processing = job.bHasPrinterMessage && job.strPrinterMessage.contains("Processing");
            if (alerts.contains("none")) {
                current.iJobState = JOB_NO_ALERTS;
            } else if (alerts.contains("job-printing") || alerts.contains("processing-to-stop-point")) {
                current.iJobState = JOB_PRINTING;
            } else if (alerts.contains("job-canceled-by-user")) {
                current.iJobState = JOB_CANCELED_BY_USER;
                for (const stJobState &seen : previous) {
                    if (seen.strJobID == current.strJobID && seen.iJobState == JOB_PRINTING) {
                        check.listCancel << current.strJobID;
                        break;
                    }
                }
            } else {
                current.iJobState = processing ? JOB_PRINTING : JOB_OTHER_ALERT;
            }
        }
        if (current.iJobState == JOB_PRINTING)
            check.listPrinting << current;
        check.listAll << current;
    }
    return check;
}
