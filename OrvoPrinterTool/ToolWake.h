// A pause between a worker's periodic checks that a file change or a quit request can end
// early. It does not poll: whoever sets the quit flag wakes it (the workers' RequestQuit).
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
    // quit is set.
    bool Wait(int ms, const std::atomic_bool &quit);

private:
    // The standard primitives rather than Qt's: a data-race checker sees through them, while
    // QWaitCondition unlocks and relocks the mutex out of its sight.
    std::mutex mutex;
    std::condition_variable cond;
    bool bPending = false;
};
