#include "ToolWake.h"

#include <chrono>

void ToolWake::Wake()
{
    std::lock_guard<std::mutex> lock(mutex);
    bPending = true;
    cond.notify_all();
}

bool ToolWake::Wait(int ms, const std::atomic_bool &quit)
{
    std::unique_lock<std::mutex> lock(mutex);
    cond.wait_for(lock, std::chrono::milliseconds(ms), [&] { return bPending || quit; });
    const bool woken = bPending && !quit;
    bPending = false;
    return woken;
}
