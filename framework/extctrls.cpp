#include "framework/extctrls.h"

#include "framework/canvas.h"
#include "framework/forms.h"

#include <QTimer>

namespace sv {

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(new QTimer) {
    TGuardedRef<TTimer> self(this);
    QObject::connect(timer_, &QTimer::timeout, [self] {
        if (TTimer* t = self.Get()) t->Fire();
    });
    Update();
}

TTimer::~TTimer() {
    BeginDestruction();
    timer_->stop();
    timer_->deleteLater();
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Update();
}

void TTimer::SetInterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::Update() {
    timer_->stop();
    if (enabled_ && interval_ > 0) timer_->start(interval_);
}

void TTimer::Fire() {
    if (!OnTimer) return;
    try {
        OnTimer(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
    controlStyle_.Include(csReplicatable);
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
    Canvas()->Font()->Assign(Font());
    Canvas()->Brush()->SetColor(Color());
    if (OnPaint) OnPaint(this);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TBitmap>()) {
    controlStyle_.Include(csReplicatable);
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
    BeginDestruction();
}

void TImage::PictureChanged() {
    if (autoSize_ && !picture_->Empty())
        SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
    Invalidate();
}

void TImage::SetStretch(bool v) {
    stretch_ = v;
    Invalidate();
}

void TImage::SetCenter(bool v) {
    center_ = v;
    Invalidate();
}

void TImage::SetTransparent(bool v) {
    transparent_ = v;
    picture_->SetTransparent(v);
    Invalidate();
}

void TImage::SetAutoSize(bool v) {
    autoSize_ = v;
    PictureChanged();
}

void TImage::Paint() {
    if (picture_->Empty()) return;
    TCanvas* c = Canvas();
    if (stretch_) {
        c->StretchDraw(ClientRect(), picture_.get());
        return;
    }
    int x = center_ ? (Width() - picture_->Width()) / 2 : 0;
    int y = center_ ? (Height() - picture_->Height()) / 2 : 0;
    c->Draw(x, y, picture_.get());
}

} // namespace sv
