#include "encoder/encode_thread.h"

#include "encoder/gogo_defs.h"

#include <algorithm>
#include <cfenv>
#include <chrono>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

namespace sv {
namespace {

// A fault inside the library cannot be caught soundly here: a crash in it ends the process.
// What can be caught is a C++ exception leaving it, which counts as error 10.
constexpr MPGE_RESULT kFaultResult = 10;

template <class Fn> MPGE_RESULT Guarded(Fn fn) {
    if (!fn) return kFaultResult;
    try {
        return fn();
    } catch (...) {
        return kFaultResult;
    }
}

thread_local void* t_owner = nullptr;

} // namespace

void SetCurrentThreadPriority(TThreadPriority priority) {
    // Nice values of this thread alone; idle stays within normal scheduling, so a busy
    // machine slows the encoder but never starves it. Raising needs privileges and may fail.
    static constexpr int kNice[] = {10, 6, 3, 0, -3, -6, -10};
    const auto level = static_cast<unsigned>(priority);
    if (level >= std::size(kNice)) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNice[level]);
}

TEncodeThread::TEncodeThread(Sink sink, void* owner) : sink_(std::move(sink)), owner_(owner) {
    thread_ = std::thread([this] {
        t_owner = owner_;
        Execute();
    });
}

void* TEncodeThread::CurrentOwner() {
    return t_owner;
}

TEncodeThread::~TEncodeThread() {
    RequestQuit();
    if (thread_.joinable()) thread_.join();
}

void TEncodeThread::RequestQuit() {
    if (quitting_.exchange(true)) return;
    Post({WM_GOGO_QUIT, 0, 0, 0});
}

void TEncodeThread::Post(const TGogoMessage& message) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(message);
    }
    wake_.notify_one();
}

void TEncodeThread::Notify(unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
    sink_({msg, wParam, lParam, job_});
}

// Takes an abort of the running job out of the queue, if one came while the frame ran.
bool TEncodeThread::TakeAbortOfCurrentJob() {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(queue_.begin(), queue_.end(), [this](const TGogoMessage& m) {
        return m.Msg == WM_GOGO_ABORT && m.Job == job_;
    });
    if (it == queue_.end()) return false;
    queue_.erase(it);
    return true;
}

void TEncodeThread::Close() {
    Guarded(Gogo().closeCoder);
    Guarded(Gogo().endCoder);
}

void TEncodeThread::Execute() {
    std::fenv_t saved;
    std::fegetenv(&saved);
    // The priority is set for each job only: an idle worker sleeps on its queue, and lowering
    // it in between would keep an unprivileged process from raising it for the next job.
    for (;;) {
        std::deque<TGogoMessage> messages;
        {
            std::unique_lock lock(mutex_);
            // Idle, the thread sleeps until it is told something.
            if (!encoding_) wake_.wait(lock, [this] { return !queue_.empty(); });
            messages.swap(queue_);
        }
        for (const TGogoMessage& m : messages) {
            switch (m.Msg) {
            case WM_GOGO_START:
                if (encoding_) break;
                job_ = m.Job;
                interval_ = m.LParam > 0 ? m.LParam : 1;
                allFrames_ = m.WParam;
                frameCount_ = 0;
                encoding_ = true;
                std::fesetround(FE_TONEAREST);
                {
                    std::fenv_t held;
                    std::feholdexcept(&held); // every exception masked for the job
                }
                Notify(WM_GOGO_PROGRESS, 0, allFrames_);
                break;
            case WM_GOGO_PRIORITY:
                SetCurrentThreadPriority(static_cast<TThreadPriority>(m.WParam));
                break;
            case WM_GOGO_ABORT:
            case WM_GOGO_QUIT:
                // An abort meant for a job that has ended leaves the next one alone.
                if (encoding_ && (m.Msg == WM_GOGO_QUIT || m.Job == job_)) {
                    Close();
                    std::fesetenv(&saved);
                    encoding_ = false;
                }
                if (m.Msg == WM_GOGO_QUIT) return; // destruction: no notification
                sink_({WM_GOGO_FINISHED, -1, 0, m.Job});
                break;
            default:
                break;
            }
        }
        if (!encoding_) continue;

        const MPGE_RESULT result = Guarded(Gogo().processFrame);
        ++frameCount_;
        if (quitting_) {
            // A job cut off by the component's destruction is not reported at all.
            Close();
            std::fesetenv(&saved);
            return;
        }
        if (result == MPGE_OK) {
            if (frameCount_ % interval_ == 0) Notify(WM_GOGO_PROGRESS, frameCount_, allFrames_);
            continue;
        }
        // An error is still reported as such; only an end the abort may have caused is not
        // a finished job.
        if (result == MPGE_END_OF_STREAM && TakeAbortOfCurrentJob()) {
            Close();
            std::fesetenv(&saved);
            encoding_ = false;
            Notify(WM_GOGO_FINISHED, -1, 0);
            frameCount_ = 0;
            continue;
        }
        if (result == MPGE_END_OF_STREAM) {
            Notify(WM_GOGO_END_OF_STREAM, 0, 0);
            Notify(WM_GOGO_PROGRESS, allFrames_, allFrames_);
        }
        // The library is closed before anyone hears of the end, so that a handler may start
        // the next job at once.
        Close();
        std::fesetenv(&saved);
        encoding_ = false;
        if (result != MPGE_END_OF_STREAM) Notify(WM_GOGO_ERROR, result, 0);
        Notify(WM_GOGO_FINISHED, result == MPGE_END_OF_STREAM ? 0 : -1, 0);
        frameCount_ = 0;
    }
}

} // namespace sv
