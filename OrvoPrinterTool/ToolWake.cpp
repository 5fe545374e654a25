#include "ToolWake.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

void ToolWake::Wake()
{
    QMutexLocker lock(&mutex);
    bPending = true;
    cond.wakeAll();
}

bool ToolWake::Wait(int ms, const std::atomic_bool &quit)
{
    const QDeadlineTimer deadline(ms);
    QMutexLocker lock(&mutex);
    while (!bPending && !quit && !deadline.hasExpired())
        cond.wait(&mutex, QDeadlineTimer(qMin<qint64>(deadline.remainingTime(), 500)));
    const bool woken = bPending;
    bPending = false;
    return woken;
}
