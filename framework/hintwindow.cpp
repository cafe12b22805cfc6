#include "framework/hintwindow.h"

#include "framework/canvas.h"

#include <QWidget>

namespace sv {

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    color_ = clInfoBk;
    Canvas()->Font()->Assign(Font());
    TControl::SetVisible(false);
}

THintWindow::~THintWindow() {
    BeginDestruction();
}

QWidget* THintWindow::CreateWidget() {
    QWidget* w = TCustomControl::CreateWidget();
    w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    return w;
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
    SetCaption(hint);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
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
