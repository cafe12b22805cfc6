// LOCAL STAND-INS: see framework_gaps.h.
#include "controls/framework_gaps.h"

#include "framework/canvas.h"

#include <QTimer>

namespace sv::gap {

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Fire(); });
    Update();
}

TTimer::~TTimer() {
    timer_->stop();
    BeginDestruction();
}

void TTimer::SetEnabled(bool v) {
    enabled_ = v;
    Update();
}

void TTimer::SetInterval(int v) {
    interval_ = v;
    Update();
}

void TTimer::Update() {
    timer_->stop();
    if (enabled_ && interval_ > 0) timer_->start(interval_);
}

void TTimer::Fire() {
    if (OnTimer) OnTimer(this);
}

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
    SetBounds(Left(), Top(), 23, 22);
}

TSpeedButton::~TSpeedButton() {
    BeginDestruction();
}

void TSpeedButton::Announce() {
    if (groupIndex_ == 0 || !Parent()) return;
    TMessage m{CM_BUTTONPRESSED, groupIndex_, reinterpret_cast<std::intptr_t>(this), 0};
    Parent()->Broadcast(m);
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == groupIndex_) return;
    groupIndex_ = v;
    Announce();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    if (v == allowAllUp_) return;
    allowAllUp_ = v;
    if (v) Announce();
}

void TSpeedButton::SetDown(bool v) {
    if (groupIndex_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = v;
    Invalidate();
    if (v) Announce();
}

void TSpeedButton::Dispatch(TMessage& m) {
    if (m.Msg == CM_BUTTONPRESSED && m.WParam == groupIndex_) {
        auto* sender = reinterpret_cast<TSpeedButton*>(m.LParam);
        if (sender && sender != this) {
            if (sender->Down() && down_) {
                down_ = false;
                Invalidate();
            }
            allowAllUp_ = sender->AllowAllUp();
        }
        return;
    }
    TGraphicControl::Dispatch(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && Enabled()) pressed_ = true;
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!pressed_) return;
    pressed_ = false;
    if (groupIndex_ != 0 && PtInRect(ClientRect(), Point(x, y))) SetDown(!down_);
}

void TSpeedButton::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clBtnFace);
    TRect r = ClientRect();
    c->FillRect(r);
    if (!glyph_->Empty()) {
        glyph_->SetTransparent(true);
        c->Draw((Width() - glyph_->Width()) / 2, (Height() - glyph_->Height()) / 2, glyph_.get());
    }
    if (!flat_ || down_) {
        if (down_)
            c->Frame3D(r, clBtnShadow, clBtnHighlight, 1);
        else
            c->Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    }
}

} // namespace sv::gap
