#include "writer/widgets/point_btn.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"

#include <QWidget>

namespace sv {

// ---- TPointBtn -----------------------------------------------------------------------------

TPointBtn::TPointBtn(TComponent* owner) : TColorBtn(owner) {}

TPointBtn::~TPointBtn() {
    BeginDestruction();
}

void TPointBtn::InitWidget() {
    TColorBtn::InitWidget();
    // Hover needs every movement over the button, not only dragging ones.
    widget_->setMouseTracking(true);
}

void TPointBtn::releaseout() {
    SetCaptureControl(nullptr);
}

void TPointBtn::EndPointing() {
    if (MouseCapture()) releaseout();
    SetColor(leftColor_);
}

void TPointBtn::SetPointEnabled(bool enabled) {
    pointEnabled_ = enabled;
    if (!enabled) {
        // A capture left behind would take every mouse movement with nothing to let it go.
        if (MouseCapture()) releaseout();
        SetColor(leftColor_);
    }
}

void TPointBtn::SetPointColor(TColor color) {
    pointColor_ = color;
}

void TPointBtn::SetLeftColor(TColor color) {
    leftColor_ = color;
    SetColor(color);
}

void TPointBtn::MouseMove(TShiftState shift, int x, int y) {
    if (pointEnabled_ && Enabled()) {
        if (!MouseCapture()) {
            SetCaptureControl(this);
            SetColor(pointColor_);
        } else if (x < 0 || x > Width() || y < 0 || y > Height()) {
            releaseout();
            SetColor(leftColor_);
        }
    }
    TColorBtn::MouseMove(shift, x, y);
}

void TPointBtn::Click() {
    if (pointEnabled_) releaseout();
    SetColor(leftColor_);
    TColorBtn::Click();
}

void TPointBtn::DblClick() {
    if (pointEnabled_) {
        releaseout();
        SetColor(leftColor_);
    }
    TColorBtn::DblClick();
}

void TPointBtn::Dispatch(TMessage& m) {
    TColorBtn::Dispatch(m);
    switch (m.Msg) {
    case CM_ENABLEDCHANGED:
        if (!Enabled() && MouseCapture()) EndPointing();
        break;
    case CM_VISIBLECHANGED:
        if (!Visible() && MouseCapture()) EndPointing();
        break;
    default:
        break;
    }
}

// ---- TBmpBtn -------------------------------------------------------------------------------

TBmpBtn::TBmpBtn(TComponent* owner)
    : TPointBtn(owner), glyph_(std::make_unique<TBitmap>()), images_(new TImageList(this)) {}

TBmpBtn::~TBmpBtn() {
    BeginDestruction();
    images_ = nullptr;
}

void TBmpBtn::RebuildImages() {
    images_->Clear();
    const int h = glyph_->Height();
    images_->SetSize(h, h);
    const std::uint32_t p = glyph_->ScanLine(0)[0];
    images_->AddMasked(glyph_.get(),
                       RGB(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                           static_cast<int>(p & 0xFF)));
}

void TBmpBtn::Loaded() {
    TPointBtn::Loaded();
    if (!glyph_->Empty()) RebuildImages();
}

void TBmpBtn::SetGlyph(const TBitmap* glyph) {
    glyph_->Assign(glyph);
    if (!glyph_->Empty()) RebuildImages();
    Invalidate();
}

void TBmpBtn::SetMargin(int margin) {
    margin_ = margin < 0 ? -1 : margin;
    Invalidate();
}

void TBmpBtn::SetLayout(TLayout layout) {
    layout_ = layout;
    Invalidate();
}

void TBmpBtn::SetSpacing(int spacing) {
    if (spacing >= 0) spacing_ = spacing;
    Invalidate();
}

void TBmpBtn::DrawGlyph(TRect& area) {
    const bool empty = glyph_->Empty();
    const int w = empty ? 0 : glyph_->Width();
    const int h = empty ? 0 : glyph_->Height();
    const TRect g = PlaceGlyph(area, layout_, margin_, w, h);
    if (empty) {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(g);
    } else {
        images_->Draw(Canvas(), g.Left, g.Top, 0, true);
    }
}

int TBmpBtn::DrawCaption(const TRect& rect, int offset) {
    return DrawCaptionOn(Canvas(), rect, offset, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK, 0,
                         false);
}

void TBmpBtn::DrawObject(const TRect& rect, unsigned state) {
    DrawSteps(
        Canvas(), rect, state, [this](TRect& area) { DrawGlyph(area); },
        [this](const TRect& t, int offset) { return DrawCaption(t, offset); });
}

} // namespace sv
