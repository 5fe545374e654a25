#pragma once

// True when a process of the service exists; logs "service not found!" otherwise.
bool CheckServiceProcess();

// True when the service's heartbeat file exists and is fresh; logs "heartbeat timeout!"
// otherwise.
bool CheckServiceHeartbeat();

// The endless one-second cycle: checks the service and restarts it when needed.
[[noreturn]] void StartTask();
