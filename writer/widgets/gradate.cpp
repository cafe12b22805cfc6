#include "writer/widgets/gradate.h"

#include "framework/canvas.h"

#include <algorithm>
#include <climits>

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

void TGradate::MakeBands(int from, int to, int visibleFrom, int visibleTo, int red, int green,
                         int blue, const std::function<void(int, int)>& fill) {
    if (direction_ != gdLight && direction_ != gdDark) return;
    const int band = Band(static_cast<long long>(to) - from);
    const long long end = std::min<long long>(to, visibleTo);
    // The last band is a whole band, also where it reaches past the far edge.
    for (long long p = FirstVisible(from, band, visibleFrom); p < end; p += band) {
        const long long position = direction_ == gdLight ? p : to - p;
        canvas_->Brush()->SetColor(getcol(red, green, blue, position, to));
        fill(static_cast<int>(p), static_cast<int>(std::min<long long>(p + band, INT_MAX)));
    }
}

void TGradate::hmake(int red, int green, int blue) {
    const TRect r = rect_;
    const TRect clip = canvas_->ClipRect();
    MakeBands(r.Left, r.Right, clip.Left, clip.Right, red, green, blue,
              [&](int a, int b) { canvas_->FillRect(Rect(a, r.Top, b, r.Bottom)); });
}

void TGradate::vmake(int red, int green, int blue) {
    const TRect r = rect_;
    const TRect clip = canvas_->ClipRect();
    MakeBands(r.Top, r.Bottom, clip.Top, clip.Bottom, red, green, blue,
              [&](int a, int b) { canvas_->FillRect(Rect(r.Left, a, r.Right, b)); });
}

} // namespace sv
