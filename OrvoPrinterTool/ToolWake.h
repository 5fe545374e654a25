// A pause between a worker's periodic checks that a file change can end early.
#pragma once
#include <QMutex>
#include <QWaitCondition>

#include <atomic>

class ToolWake
{
public:
    // From any thread: the next (or current) Wait returns true at once.
    void Wake();
    // Waits up to ms. True when woken (the wake is used up); false when the time ran out or
    // quit was set (looked at every 500 ms at most).
    bool Wait(int ms, const std::atomic_bool &quit);

private:
    QMutex mutex;
    QWaitCondition cond;
    bool bPending = false;
};
