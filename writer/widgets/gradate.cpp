#include "writer/widgets/gradate.h"

#include "framework/canvas.h"

#include <algorithm>

namespace sv {

TGradate::TGradate(TComponent* owner) : TComponent(owner) {}

void TGradate::DrawGradate(TCanvas* canvas, TRect& rect) {
    canvas_ = canvas;
    rect_ = rect;
    const TColor c = ColorToRGB(basicColor_);
    const int red = GetRValue(c), green = GetGValue(c), blue = GetBValue(c);
    if (canvas && canvas->HandleAllocated()) {
        if (gradateType_ == gtHorizon) hmake(red, green, blue);
        if (gradateType_ == gtVertical) vmake(red, green, blue);
    }
    canvas_ = nullptr;
}

TColor TGradate::getcol(int red, int green, int blue, long long position, long long extent) {
    auto scale = [&](int channel) -> int {
        // A rectangle ending at coordinate 0 has no extent to scale by: it gets black.
        if (channel == 0 || extent == 0) return 0;
        return static_cast<int>(std::clamp<long long>(channel * position / extent, 0, 255));
    };
    return RGB(scale(red), scale(green), scale(blue));
}

int TGradate::Band(long long size) const {
    const long long band = steps_ != 0 ? steps_ : size / 48;
    return band < 2 ? 2 : static_cast<int>(band);
}

namespace {

// The first band start from `from` in steps of `band` that reaches `visible`: bands that cannot
// show are skipped without changing the colour of any that do.
long long FirstVisible(long long from, int band, long long visible) {
    if (visible <= from) return from;
    return from + (visible - from) / band * band;
}

} // namespace

void TGradate::hmake(int red, int green, int blue) {
    const TRect r = rect_;
    const int band = Band(static_cast<long long>(r.Right) - r.Left);
    if (direction_ != gdLight && direction_ != gdDark) return;
    const TRect clip = canvas_->ClipRect();
    const long long end = std::min<long long>(r.Right, clip.Right);
    // The last band is a whole band, also where it reaches past the right edge.
    for (long long x = FirstVisible(r.Left, band, clip.Left); x < end; x += band) {
        const long long position = direction_ == gdLight ? x : r.Right - x;
        canvas_->Brush()->SetColor(getcol(red, green, blue, position, r.Right));
        canvas_->FillRect(Rect(static_cast<int>(x), r.Top,
                               static_cast<int>(std::min<long long>(x + band, 0x7FFFFFFF)),
                               r.Bottom));
    }
}

void TGradate::vmake(int red, int green, int blue) {
    const TRect r = rect_;
    const int band = Band(static_cast<long long>(r.Bottom) - r.Top);
    if (direction_ != gdLight && direction_ != gdDark) return;
    const TRect clip = canvas_->ClipRect();
    const long long end = std::min<long long>(r.Bottom, clip.Bottom);
    for (long long y = FirstVisible(r.Top, band, clip.Top); y < end; y += band) {
        const long long position = direction_ == gdLight ? y : r.Bottom - y;
        canvas_->Brush()->SetColor(getcol(red, green, blue, position, r.Bottom));
        canvas_->FillRect(Rect(r.Left, static_cast<int>(y), r.Right,
                               static_cast<int>(std::min<long long>(y + band, 0x7FFFFFFF))));
    }
}

} // namespace sv
