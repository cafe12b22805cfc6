#pragma once
#include <chrono>
#include <string>

namespace sv::platform {

// Waits until no process holds the single-instance lock `name` (see InstanceLock), at most
// `timeout`. True when it is free. The wait sleeps until the holder lets go of the lock file,
// which it does when it ends.
bool WaitUntilLockFree(const std::string& name, std::chrono::milliseconds timeout);

} // namespace sv::platform
