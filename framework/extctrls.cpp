#include "framework/extctrls.h"

#include "framework/canvas.h"
#include "framework/forms.h"

#include <QTimer>

namespace sv {

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(new QTimer) {
    // The platform's coarse timers are off by up to 5 % a tick, and that adds up.
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(true);
    TGuardedRef<TTimer> self(this);
    QObject::connect(timer_, &QTimer::timeout, [self] {
        if (TTimer* t = self.Get()) t->Tick();
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
    ++schedule_;
    if (!enabled_ || interval_ <= 0) return;
    start_ = std::chrono::steady_clock::now();
    slot_ = 1;
    WaitForSlot();
}

namespace {
// Whole intervals from `start` to now.
std::int64_t SlotsSince(std::chrono::steady_clock::time_point start, int interval) {
    return (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(interval);
}
} // namespace

void TTimer::WaitForSlot() {
    const auto due = start_ + slot_ * std::chrono::milliseconds(interval_);
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
    timer_->start(static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
}

void TTimer::Tick() {
    // This tick stands for every slot that has passed.
    slot_ = std::max(slot_, SlotsSince(start_, interval_));
    const unsigned schedule = schedule_;
    TGuardedRef<TTimer> self(this);
    Fire();
    // The handler may have freed the timer, or stopped or restarted it.
    if (!self.Get() || schedule != schedule_) return;
    // Slots that passed while the handler ran come as one tick at once.
    slot_ = std::max(slot_ + 1, SlotsSince(start_, interval_));
    WaitForSlot();
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
