#pragma once
// Timed sequences of numbered steps on the user-interface thread, run from the event loop: a
// paint that wants a short animation (a picture sliding into a window, one row at a time)
// starts one here instead of sleeping inside the paint.
#include <functional>
#include <memory>

namespace sv {

class TStepRunner {
public:
    using TStep = std::function<void(int step)>;
    using TWait = std::function<void(int ms)>;

    TStepRunner();
    ~TStepRunner();
    TStepRunner(const TStepRunner&) = delete;
    TStepRunner& operator=(const TStepRunner&) = delete;

    // Runs step(1) .. step(count), the first as soon as the event loop runs, each followed by
    // a pause of intervalMs. Starting again drops the sequence that is running.
    void Start(int count, int intervalMs, TStep step);
    void Stop();
    bool Running() const;

    // Replaces the timer by a wait of the caller's (tests): the whole sequence then runs from
    // one event, each step followed by wait(intervalMs). An empty function restores the timer.
    void SetWait(TWait wait);

    struct State; // the running sequence, shared with the timer callbacks

private:
    std::shared_ptr<State> state_;
};

} // namespace sv
