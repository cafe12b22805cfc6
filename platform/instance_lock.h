#pragma once
#include <memory>
#include <string>

namespace sv::platform {

// A single-instance lock: an exclusive flock on a file in a folder of the user's own. The lock
// goes with the process, so a killed holder frees it; programs we start do not inherit it, unless
// given its Descriptor, which then holds it with us for as long as any of them has it open.
class InstanceLock {
public:
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // nullptr when the lock is not ours. `error`, when given, is then empty if another process
    // holds the lock, else why the lock file (PathFor) could not be opened or locked.
    static std::unique_ptr<InstanceLock> Acquire(const std::string& name,
                                                 std::string* error = nullptr);

    // $XDG_RUNTIME_DIR/<name>.lock, else ${XDG_CACHE_HOME:-$HOME/.cache}/<name>.lock: never a
    // folder that other users can write to. Relative folders in the variables are ignored.
    static std::string PathFor(const std::string& name);

    // Whether the lock is held now (by another program: the caller never holds it itself),
    // learnt from the system's list of locks without taking it, so that a holder starting at this
    // very moment is never refused because of us. Only where that list cannot tell (its file
    // system shows the lock file under another device number) is the lock tried, and let go again
    // at once. A missing lock file is not made.
    static bool IsHeld(const std::string& name);

    // The open file that holds the lock; never a standard input or output.
    int Descriptor() const { return fd_; }

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_;
};

// The lock of Sonvale's single instance, which Trelvik waits for before starting Sonvale again.
inline constexpr const char* kSonvaleInstanceLock = "DoubleOpenChk";
// The lock of Trelvik's single instance: one disc write at a time.
inline constexpr const char* kTrelvikInstanceLock = "DoubleWriteChk";

} // namespace sv::platform
