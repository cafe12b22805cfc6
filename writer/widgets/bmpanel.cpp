#include "writer/widgets/bmpanel.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"

namespace sv {

namespace {
constexpr TColor kShade = 0x00808080;
constexpr TColor kLight = 0x00FFFFFF;
} // namespace

TBmpanel::TBmpanel(TComponent* owner)
    : TCustomPanel(owner), glyph_(std::make_unique<TBitmap>()), data_(16, 0),
      work_(std::make_unique<TBitmap>()) {}

TBmpanel::~TBmpanel() {
    BeginDestruction();
}

void TBmpanel::Loaded() {
    TCustomPanel::Loaded();
    if (!data_.empty()) data_.assign(data_.size(), 0);
}

void TBmpanel::SetGlyph(const TBitmap* glyph) {
    glyph_->Assign(glyph);
    if (glyph_->Empty())
        glyphNum_ = 0;
    else
        SetGlyphNum(glyph_->Width() / glyph_->Height());
    Refresh();
}

void TBmpanel::SetGlyphNum(int count) {
    glyphNum_ = count;
    if (glyph_->Empty()) return;
    Refresh();
}

void TBmpanel::SetSpacing(int spacing) {
    if (spacing < 0) return;
    spacing_ = spacing;
    Refresh();
}

void TBmpanel::SetArrayNum(int count) {
    if (count <= 0) return;
    data_.assign(static_cast<std::size_t>(count), 0);
}

int TBmpanel::GetArrayData(int index) const {
    return InRange(index) ? data_[static_cast<std::size_t>(index)] : 0;
}

void TBmpanel::SetArrayData(int index, int value) {
    if (!InRange(index)) return;
    data_[static_cast<std::size_t>(index)] = value;
    Refresh();
}

void TBmpanel::SetOneData(int index, int value, int redraw) {
    if (!InRange(index)) return;
    data_[static_cast<std::size_t>(index)] = value;
    if (redraw == 1) Refresh();
}

void TBmpanel::SetDispZero(bool show) {
    dispZero_ = show;
    Refresh();
}

void TBmpanel::SetCaptionAlign(TCaptionAlign align) {
    const int v = static_cast<int>(align);
    if (v < 0 || v > 2) return;
    captionAlign_ = align;
}

unsigned TBmpanel::getalign(TAlignment alignment) {
    return AlignFlag(alignment);
}

void TBmpanel::drawcondition(TCanvas* canvas, const TRect& r) {
    if (glyph_->Empty()) return;
    const long long h = glyph_->Height();
    const long long cells = glyph_->Width() / h;
    canvas->SetCopyMode(SRCCOPY);
    // x is a coordinate of the panel, not an offset from the area inside the bevels.
    long long x = spacing_;
    for (int v : data_) {
        if (x >= work_->Width()) break; // the rest lies beyond the face
        // A value with no cell in the strip draws nothing but keeps its place.
        if ((dispZero_ || v != 0) && v >= 0 && v < cells)
            canvas->CopyRect(
                Rect(static_cast<int>(x), r.Top, static_cast<int>(x + h), r.Bottom),
                glyph_->Canvas(),
                Rect(static_cast<int>(h * v), 0, static_cast<int>(h * v + h), static_cast<int>(h)));
        x += h + spacing_;
    }
}

void TBmpanel::drawchar(TCanvas* canvas, const TRect& r) {
    canvas->Font()->Assign(Font());
    const int line = canvas->TextExtent(Caption()).cy;
    TRect t = r;
    if (captionAlign_ == caTop) t.Bottom = r.Top + line;
    if (captionAlign_ == caBottom) t.Top = r.Bottom - line;
    canvas->Brush()->SetStyle(bsClear);
    canvas->DrawText(Caption(), t, getalign(Alignment()) | DT_VCENTER | DT_SINGLELINE);
}

void TBmpanel::Paint() {
    TRect r = ClientRect();
    work_->SetSize(r.Width(), r.Height());
    TCanvas* c = work_->Canvas();
    c->Brush()->SetColor(clBlack);
    if (BorderWidth() != 0 && BorderStyle() != bsNone) c->Frame3D(r, kShade, kShade, BorderWidth());
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        if (cut == bvLowered)
            c->Frame3D(r, kShade, kLight, BevelWidth());
        else
            c->Frame3D(r, kLight, kShade, BevelWidth());
    };
    bevel(BevelOuter());
    bevel(BevelInner());
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    drawcondition(c, r);
    drawchar(c, r);
    // Composed off-screen and shown in one copy.
    Canvas()->SetCopyMode(SRCCOPY);
    Canvas()->CopyRect(ClientRect(), c, Rect(0, 0, work_->Width(), work_->Height()));
}

} // namespace sv
