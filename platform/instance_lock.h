#pragma once
#include <memory>
#include <string>

namespace sv::platform {

// A single-instance lock: an exclusive flock on a file in the user's runtime folder. The lock
// goes with the process, so a killed holder frees it; programs we start do not inherit it.
class InstanceLock {
public:
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // nullptr when another process holds the lock or it cannot be taken.
    static std::unique_ptr<InstanceLock> Acquire(const std::string& name);

    // $XDG_RUNTIME_DIR/<name>.lock, else /tmp/<name>-<uid>.lock.
    static std::string PathFor(const std::string& name);

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// The lock of Sonvale's single instance, which Trelvik waits for before starting Sonvale again.
inline constexpr const char* kSonvaleInstanceLock = "DoubleOpenChk";

} // namespace sv::platform
