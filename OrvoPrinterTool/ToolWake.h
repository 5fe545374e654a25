// A pause of a worker that a file change, the periodic check or a quit request can end
// early. It does not poll: whoever sets the quit flag wakes it (the workers' RequestQuit).
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>

// Why a worker was woken; wakes given before the worker waits again add up.
constexpr unsigned c_uWakeChange = 1;  // the file may have changed (a file watch)
constexpr unsigned c_uWakeCycle = 2;  // the periodic check wants a counted pass

class ToolWake {
public:
    // From any thread: the next (or current) Wait returns at once.
    void Wake(unsigned reason = c_uWakeChange);
    // Waits up to ms (without limit when ms is negative). The reasons of the wakes given
    // since the last Wait (used up); 0 when the time ran out or quit is set.
    unsigned Wait(int ms, const std::atomic_bool &quit);

private:
    // The standard primitives rather than Qt's: a data-race checker sees through them, while
    // QWaitCondition unlocks and relocks the mutex out of its sight.
    std::mutex mutex;
    std::condition_variable cond;
    unsigned uPending = 0;
};
