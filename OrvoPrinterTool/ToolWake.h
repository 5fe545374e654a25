// A pause between a worker's periodic checks that a file change can end early.
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>

class ToolWake
{
public:
    // From any thread: the next (or current) Wait returns true at once.
    void Wake();
    // Waits up to ms. True when woken (the wake is used up); false when the time ran out or
    // quit was set (looked at every 500 ms at most).
    bool Wait(int ms, const std::atomic_bool &quit);

private:
    // The standard primitives rather than Qt's: a data-race checker sees through them, while
    // QWaitCondition unlocks and relocks the mutex out of its sight.
    std::mutex mutex;
    std::condition_variable cond;
    bool bPending = false;
};
