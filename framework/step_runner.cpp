#include "framework/step_runner.h"

#include "framework/forms.h"

#include <QTimer>

namespace sv {

struct TStepRunner::State {
    int serial = 0; // a new Start or Stop makes older timer callbacks stale
    int next = 0;
    int count = 0;
    int interval = 0;
    bool running = false;
    TStep step;
    TWait wait;
};

namespace {

// Runs one step with the framework's exception display; false when the sequence must end.
bool RunStep(const std::shared_ptr<TStepRunner::State>& s, int serial) {
    int i = s->next++;
    // A copy: the step may start a new sequence, which replaces the stored one.
    TStepRunner::TStep step = s->step;
    try {
        step(i);
    } catch (...) {
        if (Application) Application->HandleException(nullptr);
    }
    return s->serial == serial && s->running;
}

void Schedule(const std::weak_ptr<TStepRunner::State>& weak, int serial, int delay) {
    QTimer::singleShot(delay, [weak, serial] {
        auto s = weak.lock();
        if (!s || s->serial != serial || !s->running) return;
        if (s->wait) {
            // Steps and waits in one go, as a sleeping loop would run them.
            while (s->next <= s->count) {
                if (!RunStep(s, serial)) return;
                s->wait(s->interval);
                if (s->serial != serial || !s->running) return;
            }
            s->running = false;
            return;
        }
        if (!RunStep(s, serial)) return;
        if (s->next > s->count) {
            s->running = false;
            return;
        }
        Schedule(weak, serial, s->interval);
    });
}

} // namespace

TStepRunner::TStepRunner() : state_(std::make_shared<State>()) {}

TStepRunner::~TStepRunner() {
    Stop();
}

void TStepRunner::Start(int count, int intervalMs, TStep step) {
    State& s = *state_;
    ++s.serial;
    s.running = count > 0 && step;
    s.next = 1;
    s.count = count;
    s.interval = intervalMs < 0 ? 0 : intervalMs;
    s.step = std::move(step);
    if (s.running) Schedule(state_, s.serial, 0);
}

void TStepRunner::Stop() {
    ++state_->serial;
    state_->running = false;
}

bool TStepRunner::Running() const {
    return state_->running;
}

void TStepRunner::SetWait(TWait wait) {
    state_->wait = std::move(wait);
}

} // namespace sv
