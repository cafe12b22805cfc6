#include "framework/hintwindow.h"

#include "framework/canvas.h"
#include "framework/host_widget.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace sv {

namespace {

// The hint's window paints through the hint, which keeps its own surface.
class HintHost : public THostWidget<QWidget> {
public:
    using THostWidget<QWidget>::THostWidget;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (auto* hint = dynamic_cast<THintWindow*>(Control()))
            hint->HostPaintHint(event);
        else
            THostWidget<QWidget>::paintEvent(event);
    }
};

} // namespace

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    color_ = clInfoBk;
    Canvas()->Font()->Assign(Font());
    TControl::SetVisible(false);
}

THintWindow::~THintWindow() {
    BeginDestruction();
}

namespace {

std::optional<bool>& ComposedAnswer() {
    static std::optional<bool> answer;
    return answer;
}

// X11: a compositing manager owns the selection _NET_WM_CM_S<screen>.
bool X11CompositorRuns() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen)) std::free(host);
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE) return false; // never claimed since the server started
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner) return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}

} // namespace

bool ScreenComposited() {
    if (ComposedAnswer()) return *ComposedAnswer();
    if (QGuiApplication::platformName() == "xcb") return X11CompositorRuns();
    return true;
}

void SetScreenComposited(std::optional<bool> answer) {
    ComposedAnswer() = answer;
}

QWidget* THintWindow::CreateWidget() {
    auto* w = new HintHost(this);
    w->setMouseTracking(true);
    w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    // Without a compositing manager a translucent window shows black where it is not drawn.
    screenPicture_ = translucent_ && !ScreenComposited();
    if (translucent_ && !screenPicture_)
        w->setAttribute(Qt::WA_TranslucentBackground);
    else
        w->setAttribute(Qt::WA_OpaquePaintEvent);
    return w;
}

void THintWindow::SetTranslucent(bool translucent) {
    if (translucent == translucent_) return;
    translucent_ = translucent;
    surface_ = QImage();
    if (HandleAllocated()) {
        const bool shown = Handle()->isVisible();
        RecreateWnd();
        if (shown) Handle()->show();
    }
}

void THintWindow::SurfaceNeeded() {
    QSize size = Handle()->size();
    if (surface_.size() == size) return;
    surface_ =
        QImage(size, translucent_ ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    surface_.fill(translucent_ && !screenPicture_ ? 0u : ColorToQRgb(Color()));
}

void THintWindow::HostPaintHint(QPaintEvent* event) {
    SurfaceNeeded();
    QRect qr = event->rect();
    if (!flushing_) {
        try {
            PaintInto(surface_, Rect(qr.left(), qr.top(), qr.right() + 1, qr.bottom() + 1));
        } catch (...) {
            HandleExceptionAfterPaint();
        }
    }
    QPainter p(widget_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(qr, surface_, qr);
}

void THintWindow::DrawOnWindow(const std::function<void(TCanvas*)>& draw) {
    SurfaceNeeded();
    {
        TCanvas canvas(&surface_);
        draw(&canvas);
    }
    if (!Handle()->isVisible()) return;
    flushing_ = true;
    try {
        Handle()->repaint();
    } catch (...) {
        flushing_ = false;
        throw;
    }
    flushing_ = false;
}

void THintWindow::TakeScreenBeneath(const TRect& rect) {
    const QRect area(rect.Left, rect.Top, rect.Width(), rect.Height());
    if (Handle()->isVisible()) Handle()->hide(); // not a picture of itself
    QScreen* screen = QGuiApplication::screenAt(area.topLeft());
    if (!screen) screen = QGuiApplication::primaryScreen();
    QImage picture;
    if (screen) {
        const QPoint at = area.topLeft() - screen->geometry().topLeft();
        picture = screen->grabWindow(0, at.x(), at.y(), area.width(), area.height()).toImage();
    }
    surface_ = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    surface_.fill(ColorToQRgb(Color()));
    if (picture.isNull()) return;
    QPainter p(&surface_);
    p.drawImage(QRect(QPoint(0, 0), area.size()), picture);
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
    SetCaption(hint);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
    HandleNeeded();
    if (screenPicture_) TakeScreenBeneath(rect);
    TControl::SetVisible(true);
    Handle()->show();
    Handle()->raise();
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    TControl::SetVisible(false);
    if (HandleAllocated()) Handle()->hide();
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void* data) {
    (void)data;
    TCanvas c;
    c.Font()->Assign(Canvas()->Font());
    TRect r = Rect(0, 0, maxWidth, 0);
    c.DrawText(hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

bool THintWindow::IsHintMsg(const TMessage& m) {
    return (m.Msg >= WM_KEYDOWN && m.Msg <= 0x0108) ||
           (m.Msg >= WM_LBUTTONDOWN && m.Msg <= WM_MBUTTONDBLCLK) || m.Msg == CM_ACTIVATE ||
           m.Msg == CM_DEACTIVATE || m.Msg == WM_COMMAND;
}

void THintWindow::PaintWindow(TCanvas* canvas) {
    // Background and frame go through messages, so that a hint class can suppress them.
    Perform(WM_ERASEBKGND, 0, reinterpret_cast<std::intptr_t>(canvas));
    Canvas()->SetSurface(canvas->Surface());
    try {
        Paint();
    } catch (...) {
        Canvas()->SetTarget(nullptr);
        throw;
    }
    Canvas()->SetTarget(nullptr);
    Perform(WM_NCPAINT, 0, reinterpret_cast<std::intptr_t>(canvas));
}

void THintWindow::Paint() {
    TRect r = ClientRect();
    r.Left += 2;
    r.Top += 2;
    Canvas()->Font()->SetColor(clInfoText);
    Canvas()->Brush()->SetStyle(bsClear);
    Canvas()->DrawText(Caption(), r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::Dispatch(TMessage& m) {
    auto* canvas = reinterpret_cast<TCanvas*>(m.LParam);
    switch (m.Msg) {
    case WM_ERASEBKGND:
        if (canvas) {
            canvas->Brush()->SetStyle(bsSolid);
            canvas->Brush()->SetColor(Color());
            canvas->FillRect(ClientRect());
        }
        m.Result = 1;
        return;
    case WM_NCPAINT:
        if (canvas) {
            canvas->Brush()->SetStyle(bsSolid);
            canvas->Brush()->SetColor(clWindowFrame);
            canvas->FrameRect(ClientRect());
        }
        return;
    default:
        TCustomControl::Dispatch(m);
    }
}

} // namespace sv
