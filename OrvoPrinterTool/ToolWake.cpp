#include "ToolWake.h"

#include <chrono>

void ToolWake::Wake(unsigned reason)
{
    std::lock_guard<std::mutex> lock(mutex);
    uPending |= reason;
    cond.notify_all();
}

unsigned ToolWake::Wait(int ms, const std::atomic_bool &quit)
{
    std::unique_lock<std::mutex> lock(mutex);
    const auto woken = [&] { return uPending != 0 || quit; };
    if (ms < 0)
        cond.wait(lock, woken);
    else
        cond.wait_for(lock, std::chrono::milliseconds(ms), woken);
    const unsigned reasons = quit ? 0 : uPending;
    uPending = 0;
    return reasons;
}
