#include "writer/widgets/ani_btn.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/extctrls.h"

namespace sv {

TAniBtn::TAniBtn(TComponent* owner)
    : TColorBtn(owner), glyph_(std::make_unique<TBitmap>()), work_(std::make_unique<TBitmap>()) {
    TAniBtn::SetIntervalTime(200);
    countdown_ = intervalTime_;
}

TAniBtn::~TAniBtn() {
    BeginDestruction();
    timer_ = nullptr;
}

int TAniBtn::clockround(int ms) {
    // In 64 bits, so that the ends of the int range neither overflow nor lose their sign.
    std::int64_t q = (static_cast<std::int64_t>(ms) - 1) / kTick;
    const std::int64_t r = ms - kTick * q;
    if (r > kTick / 2) ++q;
    return static_cast<int>(kTick * q);
}

void TAniBtn::SetAnimateMaster(bool master) {
    if (master) {
        if (!timer_) {
            timer_ = new TTimer(this);
            timer_->OnTimer = [this](TObject*) { btntimer(); };
            timer_->SetInterval(kTick);
            timer_->SetEnabled(true);
        }
        animateMaster_ = true;
        return;
    }
    if (animateMaster_ && timer_) {
        TTimer* t = timer_;
        timer_ = nullptr;
        delete t;
    }
    animateMaster_ = false;
}

void TAniBtn::SetIntervalTime(int ms) {
    intervalTime_ = clockround(ms);
}

void TAniBtn::SetGroupIndex(int group) {
    groupIndex_ = group;
}

void TAniBtn::SetGlyph(const TBitmap* glyph) {
    glyph_->Assign(glyph);
    if (glyph_->Empty()) {
        frameWidth_ = 0;
        frameOffset_ = 0;
        glyphNum_ = 0;
    } else {
        frameOffset_ = 0;
        frameWidth_ = glyph_->Height();
        SetGlyphNum(glyph_->Width() / frameWidth_);
    }
    Invalidate();
}

void TAniBtn::SetGlyphNum(int count) {
    frameWidth_ = 0;
    frameOffset_ = 0;
    glyphNum_ = count;
    if (!glyph_->Empty() && static_cast<std::int64_t>(count) * glyph_->Height() == glyph_->Width())
        frameWidth_ = glyph_->Height();
}

void TAniBtn::SetMargin(int margin) {
    margin_ = margin;
}

void TAniBtn::SetLayout(TLayout layout) {
    layout_ = layout;
}

void TAniBtn::SetSpacing(int spacing) {
    if (spacing >= 0) spacing_ = spacing;
}

void TAniBtn::btntimer() {
    if (ComponentState().Contains(csDesigning)) return;
    if (animateMaster_) sendsyncro();
    timesub();
}

void TAniBtn::sendsyncro() {
    // A master without a parent has no one to tell; it still advances itself.
    TWinControl* parent = Parent();
    if (!parent) return;
    TMessage m{WM_ANIBTN_SYNC, groupIndex_, reinterpret_cast<std::intptr_t>(this), 0};
    parent->Broadcast(m);
}

void TAniBtn::timerproc(const TMessage& m) {
    if (m.LParam == reinterpret_cast<std::intptr_t>(this) || groupIndex_ == 0) return;
    if (m.WParam == groupIndex_) timesub();
}

void TAniBtn::timesub() {
    // A countdown at or below zero (an interval of 0 or less ran out) stays stopped.
    if (countdown_ <= 0) return;
    countdown_ -= kTick;
    if (countdown_ != 0) return;
    countdown_ = intervalTime_;
    if (frameWidth_ == 0 || glyph_->Empty()) return;
    frameOffset_ += frameWidth_;
    if (frameOffset_ >= glyph_->Width()) frameOffset_ = 0;
    Invalidate();
}

void TAniBtn::Dispatch(TMessage& m) {
    if (m.Msg == WM_ANIBTN_SYNC) {
        timerproc(m);
        return;
    }
    TColorBtn::Dispatch(m);
}

void TAniBtn::DrawFrame(TRect& area) {
    const bool empty = glyph_->Empty();
    const int fw = empty ? 0 : frameWidth_;
    const int h = empty ? 0 : glyph_->Height();
    const TRect g = PlaceGlyph(area, layout_, margin_, fw, h);
    TCanvas* c = work_->Canvas();
    if (empty) {
        c->Brush()->SetColor(Color());
        c->FillRect(g);
        return;
    }
    c->SetCopyMode(SRCCOPY);
    c->CopyRect(g, glyph_->Canvas(), Rect(frameOffset_, 0, frameOffset_ + fw, h));
}

int TAniBtn::DrawCaption(const TRect& rect, int offset) {
    return DrawCaptionOn(work_->Canvas(), rect, offset, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK,
                         2, true);
}

void TAniBtn::DrawObject(const TRect& rect, unsigned state) {
    // The face is composed off-screen and shown in one copy, so a frame change never flickers.
    work_->SetSize(rect.Width(), rect.Height());
    TCanvas* c = work_->Canvas();
    DrawSteps(
        c, rect, state, [this](TRect& area) { DrawFrame(area); },
        [this](const TRect& t, int offset) { return DrawCaption(t, offset); });
    Canvas()->SetCopyMode(SRCCOPY);
    Canvas()->CopyRect(ClientRect(), c, Rect(0, 0, work_->Width(), work_->Height()));
}

} // namespace sv
