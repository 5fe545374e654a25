#include "TrdGetPrinterStatusRules.h"

#include "UtilUsbPrinter.h"
#include "orvo-jobstate.h"

bool DecideNeedStatus(int iConnectType, int enCurrentStatus, const std::function<bool()> &cupsSending,
                      int &interval)
{
    if (iConnectType == CONNECT_USB) {
        interval = 1500;
        return true;
    }
    if (enCurrentStatus == PS_OFFLINE) {
        interval = 10000;
        return true;
    }
    if (enCurrentStatus == PS_READY) {
        // An idle ready printer is checked ten times a second; the scheduler is asked again
        // only after it announced a change.
        const bool sending = cupsSending();
        interval = sending ? 1000 : 100;
        return sending;
    }
    interval = 1000;
    return true;
}

bool ApplyQueryFailure(stPrinterState &state, int iConnectType, int ret)
{
    // An unplugged USB printer is gone at once; a network printer only after six silent
    // queries in a row, since a datagram may be lost.
    const bool offline = iConnectType == CONNECT_USB ? ret == UP_NO_DEVICE : ++state.iFailCount > 5;
    if (offline)
        SetPrinterOffline(state);
    return offline;
}

int JobCheckPauseMs(int interval, int check, qint64 elapsedMs)
{
    const qint64 due = qint64(interval / 10) * (check + 1);
    return int(qMax<qint64>(0, due - elapsedMs));
}

int JobCheckIndex(int interval, qint64 elapsedMs)
{
    const qint64 tenth = qMax(1, interval / 10);
    return int(qMin<qint64>(10, elapsedMs / tenth));
}

QStringList StepJobMonitor(const QString &queue, const QList<stCupsJob> *jobs, QList<stJobState> &carried)
{
    // A listing that failed keeps the carried list: one scheduler hiccup between "printing"
    // and "cancelled" must not lose the cancel the printer needs.
    if (!jobs)
        return {};
    const stJobCheck check = DeriveJobStates(queue, *jobs, carried);
    carried = check.listPrinting;
    return check.listCancel;
}
