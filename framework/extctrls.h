#pragma once
// Timers, paint boxes and images.
#include "framework/bitmap.h"
#include "framework/control.h"

#include <memory>

class QTimer;

namespace sv {

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
    bool enabled_ = true;
    int interval_ = 1000;
    QTimer* timer_;
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
