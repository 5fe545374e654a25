// The status worker's decisions, free of waits, devices and the scheduler, so that each can
// be checked cycle by cycle: whether and how often to ask the printer, when it counts as
// off-line, how the job checks of a cycle are paced, and what the job monitor carries from
// one check to the next.
#pragma once
#include "orvo-cupsquery.h"
#include "orvo-records.h"

#include <QList>
#include <QStringList>

#include <functional>

// Whether to ask the printer in this cycle; sets the cycle's interval in milliseconds.
// cupsSending is called only for a ready network printer (it costs a scheduler request).
bool DecideNeedStatus(int iConnectType, int enCurrentStatus, const std::function<bool()> &cupsSending,
                      int &interval);

// Counts a failed query (ret < 0) in the state. Returns true when the printer is off-line
// now: the state is then reset to off-line and the caller deletes the status file.
bool ApplyQueryFailure(stPrinterState &state, int iConnectType, int ret);

// The pause after job check `check` (0..9) of a cycle whose checks began elapsedMs ago: each
// pause ends a tenth of the interval after the previous one, so slow checks do not stretch
// the cycle.
int JobCheckPauseMs(int interval, int check, qint64 elapsedMs);

// The timed check due next in a cycle that began elapsedMs ago (0..10): the one whose pause
// ends at the next tenth of the interval. Where the events stop serving within a cycle, the
// timed checks go on from there.
int JobCheckIndex(int interval, qint64 elapsedMs);

// Longest wait of an idle ready network printer's worker for an event of its queue. The
// wait ends as soon as the queue's events announce a change, the subscription is lost, the
// list is rebuilt or the service quits, so it is long: a waiting worker costs nothing.
constexpr int c_iIdleWaitMs = 60000;

// One job check on the queue's jobs (null when the listing failed). Returns one job
// identifier per printer cancel to send; carried (the printing jobs of the last check)
// becomes this check's printing jobs, or stays as it is when the listing failed.
QStringList StepJobMonitor(const QString &queue, const QList<stCupsJob> *jobs, QList<stJobState> &carried);
