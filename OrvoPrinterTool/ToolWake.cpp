#include "ToolWake.h"

#include <algorithm>
#include <chrono>

void ToolWake::Wake()
{
    std::lock_guard<std::mutex> lock(mutex);
    bPending = true;
    cond.notify_all();
}

bool ToolWake::Wait(int ms, const std::atomic_bool &quit)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> lock(mutex);
    while (!bPending && !quit) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        cond.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(500)));
    }
    const bool woken = bPending;
    bPending = false;
    return woken;
}
