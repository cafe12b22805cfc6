#pragma once
// Timers, paint boxes and images.
#include "framework/bitmap.h"
#include "framework/control.h"

#include <chrono>
#include <cstdint>
#include <memory>

class QTimer;

namespace sv {

// Ticks every Interval milliseconds while enabled, to the millisecond: tick k comes k intervals
// after the timer was enabled or its interval set, however late the ones before it came. Ticks
// missed while the program was busy come as one tick as soon as it is free.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    std::string ClassName() const override { return "TTimer"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    // Milliseconds; 0 stops the timer.
    int Interval() const { return interval_; }
    void SetInterval(int ms);
    // Runs OnTimer as a tick would (tests use it; exceptions are shown).
    void Fire();

    TNotifyEvent OnTimer;

private:
    void Update();
    void Tick();
    void WaitForSlot();
    bool enabled_ = true;
    int interval_ = 1000;
    QTimer* timer_;
    std::chrono::steady_clock::time_point start_;
    std::int64_t slot_ = 0; // the next tick's number, counted from start_
    unsigned schedule_ = 0; // changes whenever the schedule starts again
};

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* owner);
    std::string ClassName() const override { return "TPaintBox"; }
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;
    std::string ClassName() const override { return "TImage"; }
    // The image's own bitmap; assigning copies into it.
    TBitmap* Picture() const { return picture_.get(); }
    void SetPicture(const TBitmap* b) { picture_->Assign(b); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);
    bool Center() const { return center_; }
    void SetCenter(bool v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);

protected:
    void Paint() override;

private:
    void PictureChanged();
    std::unique_ptr<TBitmap> picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

} // namespace sv
