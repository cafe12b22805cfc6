#pragma once
// The tooltip window the application shows for a control's Hint.
#include "framework/control.h"

#include <functional>

namespace sv {

inline constexpr unsigned WM_ERASEBKGND = 0x0014;
inline constexpr unsigned WM_NCPAINT = 0x0085;

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    ~THintWindow() override;
    std::string ClassName() const override { return "THintWindow"; }

    // Shows the text in a window at the screen rectangle, without taking the focus.
    virtual void ActivateHint(const TRect& rect, const std::string& hint);
    virtual void ReleaseHandle();
    // The size the text needs, wrapped at maxWidth (origin 0, 0).
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
    // Whether the message (a mouse button, a key, a command) should hide the hint.
    virtual bool IsHintMsg(const TMessage& message);

protected:
    QWidget* CreateWidget() override;
    void PaintWindow(TCanvas* canvas) override;
    void Paint() override;
    void Dispatch(TMessage& message) override;
};

using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;

} // namespace sv
