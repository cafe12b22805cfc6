#pragma once
// Hint windows for the application's tooltips (Application->SetHintWindowClass): THintEx keeps
// a hint up while keys are pressed and draws no background or frame of its own; TRectHint
// slides a raised rectangle down into view; TSpoutHint draws a rounded balloon with a spout
// over whatever lies beneath the window.
#include "framework/hintwindow.h"
#include "framework/step_runner.h"

namespace sv {

class TBitmap;

class THintEx : public THintWindow {
public:
    explicit THintEx(TComponent* owner);
    ~THintEx() override;
    std::string ClassName() const override { return "THintEx"; }

    // Keys leave the hint up; clicks, activation changes and commands still hide it.
    bool IsHintMsg(const TMessage& message) override;

protected:
    void Dispatch(TMessage& message) override;
    void WMEraseBkgnd(TMessage& message);
    void WMNCPaint(TMessage& message);
};

class TRectHint : public THintEx {
public:
    static constexpr int kRowMs = 10;

    explicit TRectHint(TComponent* owner);
    ~TRectHint() override;
    std::string ClassName() const override { return "TRectHint"; }

    void ReleaseHandle() override;
    // The slide of the last paint: one row every kRowMs, bottom row of the picture first.
    TStepRunner& Slide() { return slide_; }

protected:
    void Paint() override;

private:
    void drawbmp(const TRect& rect, const std::shared_ptr<TBitmap>& bitmap);
    TStepRunner slide_;
};

class TSpoutHint : public THintEx {
public:
    explicit TSpoutHint(TComponent* owner);
    ~TSpoutHint() override;
    std::string ClassName() const override { return "TSpoutHint"; }

    // A quarter wider and two and a half times as high as a plain hint.
    TRect CalcHintRect(int maxWidth, const std::string& hint, void* data) override;

protected:
    void Paint() override;

private:
    void drawbmp(const TRect& rect, TBitmap* bitmap);
};

} // namespace sv
