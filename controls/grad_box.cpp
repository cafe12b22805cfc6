#include "controls/grad_box.h"

#include "controls/grad_bands.h"
#include "framework/canvas.h"

namespace sv {

TGradBox::TGradBox(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(Left(), Top(), 128, 128);
}

void TGradBox::Changed() {
    Invalidate();
    if (OnChange) OnChange(this);
}

void TGradBox::SetColorIndexed(int index, TColor v) {
    if (index == 1)
        startColor_ = v;
    else
        endColor_ = v;
    Changed();
}

void TGradBox::SetGradStep(int v) {
    gradStep_ = v & 0xFF;
    Changed();
}

void TGradBox::SetDirection(TGradDirection v) {
    if (v == direction_) return;
    direction_ = v;
    Changed();
}

void TGradBox::Paint() {
    // A system colour is resolved first: the arithmetic below is on plain RGB bytes.
    const TColor c1 = ColorToRGB(startColor_);
    const TColor c2 = ColorToRGB(endColor_);
    const int n = gradStep_ + 1;
    const bool vertical = direction_ == gdVertical;
    const int extent = vertical ? Height() : Width();
    const int band = GradBandSize(extent, n);
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    int pos = 0;
    for (int i = 0; i <= n; ++i) {
        canvas->Brush()->SetColor(RGB(GradBandChannel(GetRValue(c1), GetRValue(c2), i, n),
                                      GradBandChannel(GetGValue(c1), GetGValue(c2), i, n),
                                      GradBandChannel(GetBValue(c1), GetBValue(c2), i, n)));
        // Bands past the box are clipped by the canvas.
        canvas->FillRect(vertical ? Rect(0, pos, Width(), pos + band)
                                  : Rect(pos, 0, pos + band, Height()));
        pos += band;
    }
    if (pos < extent)
        canvas->FillRect(vertical ? Rect(0, pos, Width(), Height())
                                  : Rect(pos, 0, Width(), Height()));
}

} // namespace sv
