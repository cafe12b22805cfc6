#pragma once
// The encoder's worker thread: takes commands from a queue, runs the library's frame loop and
// reports through a notification sink.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sv {

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};
using enum TThreadPriority;

// Commands to the worker.
inline constexpr unsigned WM_GOGO_START = 0x500; // wParam all frames, lParam frequency
inline constexpr unsigned WM_GOGO_ABORT = 0x501;
inline constexpr unsigned WM_GOGO_QUIT = 0x502;
inline constexpr unsigned WM_GOGO_PRIORITY = 0x503; // wParam the TThreadPriority
// Notifications from the worker.
inline constexpr unsigned WM_GOGO_END_OF_STREAM = 0x600;
inline constexpr unsigned WM_GOGO_ERROR = 0x601;    // wParam the error code
inline constexpr unsigned WM_GOGO_FINISHED = 0x602; // wParam 0 normal end, -1 aborted or failed
inline constexpr unsigned WM_GOGO_PROGRESS = 0x603; // wParam frames done, lParam all frames

// A command or notification; `job` names the job it belongs to, so that a late one can be told
// from one of the job that follows.
struct TGogoMessage {
    unsigned Msg = 0;
    std::intptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::uint64_t Job = 0;
};

// Sets the calling thread's scheduling priority; best effort, errors ignored.
void SetCurrentThreadPriority(TThreadPriority priority);

class TEncodeThread {
public:
    using Sink = std::function<void(const TGogoMessage&)>;

    // The sink is called on the worker thread, in the order of the notifications. `owner` names
    // what the thread works for; code that runs on the thread finds it through CurrentOwner().
    explicit TEncodeThread(Sink sink, void* owner = nullptr);
    // Stops a running job without any notification and waits for the thread.
    ~TEncodeThread();
    TEncodeThread(const TEncodeThread&) = delete;
    TEncodeThread& operator=(const TEncodeThread&) = delete;

    void Post(const TGogoMessage& message);
    // The owner of the worker that calls this; null on any other thread.
    static void* CurrentOwner();
    // Tells the thread to end without reporting; the destructor waits for it.
    void RequestQuit();

private:
    void Execute();
    void Close();
    bool TakeAbortOfCurrentJob();
    void Notify(unsigned msg, std::intptr_t wParam, std::intptr_t lParam);

    Sink sink_;
    void* owner_;
    std::atomic<bool> quitting_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TGogoMessage> queue_;
    // Worker-thread state.
    bool encoding_ = false;
    std::uint64_t job_ = 0;
    std::intptr_t allFrames_ = 0;
    std::intptr_t frameCount_ = 0;
    std::intptr_t interval_ = 1;
    std::thread thread_;
};

} // namespace sv
