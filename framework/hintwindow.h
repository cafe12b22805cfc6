#pragma once
// The tooltip window the application shows for a control's Hint.
#include "framework/control.h"

#include <QImage>
#include <functional>
#include <optional>

class QPaintEvent;

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

    // The window's surface keeps what was drawn on it until something draws over it; nothing
    // is drawn by itself. A translucent window shows the screen beneath wherever nothing is
    // drawn: where a compositing manager runs, its surface starts transparent; where none runs,
    // it starts with a picture of the screen taken before the window is shown. An opaque
    // window's surface starts in Color. Set it before the window is made (a made window is
    // made again).
    bool Translucent() const { return translucent_; }
    void SetTranslucent(bool translucent);
    // Draws on the window's surface outside a paint and shows the result at once; Paint does
    // not run for it.
    void DrawOnWindow(const std::function<void(TCanvas* canvas)>& draw);
    // What the window shows (tests read it).
    const QImage& Surface() const { return surface_; }
    // Entry point of the window's widget; not for other callers.
    void HostPaintHint(QPaintEvent* event);

protected:
    QWidget* CreateWidget() override;
    void PaintWindow(TCanvas* canvas) override;
    void Paint() override;
    void Dispatch(TMessage& message) override;

private:
    void SurfaceNeeded();
    void TakeScreenBeneath(const TRect& rect);
    QImage surface_;
    bool translucent_ = false;
    bool screenPicture_ = false; // translucent without a compositing manager
    bool flushing_ = false;
};

// Whether a compositing manager shows translucent windows over what lies beneath: always on
// Wayland and off screen, on X11 while one runs. A set answer replaces the screen's (tests).
bool ScreenComposited();
void SetScreenComposited(std::optional<bool> answer);

using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;

} // namespace sv
