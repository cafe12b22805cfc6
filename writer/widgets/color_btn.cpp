#include "writer/widgets/color_btn.h"

#include "framework/canvas.h"

#include <algorithm>

namespace sv {

namespace {

constexpr unsigned kMeasureCentred = DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK | DT_CENTER;
constexpr unsigned kDrawCaption = DT_EXPANDTABS | DT_WORDBREAK | DT_CENTER;

TColor Pack(int r, int g, int b) {
    return RGB(r & 0xFF, g & 0xFF, b & 0xFF);
}

} // namespace

TColorBtn::TColorBtn(TComponent* owner) : TButton(owner), canvas_(std::make_unique<TCanvas>()) {
    TColorBtn::SetColor(clBtnFace);
}

TColorBtn::~TColorBtn() {
    BeginDestruction();
}

void TColorBtn::CreateParams(TCreateParams& params) {
    TButton::CreateParams(params);
    params.Style |= BS_OWNERDRAW;
}

void TColorBtn::SetButtonStyle(bool isDefault) {
    if (isDefault == focused_) return;
    focused_ = isDefault;
    Refresh();
}

void TColorBtn::SetColor(TColor color) {
    TControl::SetColor(color);
    Invalidate();
}

void TColorBtn::SetBevelStyle(TColorBtnBevel style) {
    if (style == bevelStyle_) return;
    bevelStyle_ = style;
    Invalidate();
}

void TColorBtn::SetBevelWidth(int width) {
    if (width < 0) width = 1;
    if (width == bevelWidth_) return;
    bevelWidth_ = width;
    Invalidate();
}

TColor TColorBtn::GetBrightColor(TColor color, int amount) {
    const TColor c = ColorToRGB(color);
    auto up = [&](int v) { return static_cast<int>(std::min<long long>(0LL + v + amount, 255)); };
    int r = up(GetRValue(c)), g = up(GetGValue(c)), b = up(GetBValue(c));
    if (color == clWhite) {
        r -= 32;
        g -= 32;
        b -= 32;
    }
    return Pack(r, g, b);
}

TColor TColorBtn::GetDarkColor(TColor color, int amount) {
    const TColor c = ColorToRGB(color);
    auto down = [&](int v) { return static_cast<int>(std::max<long long>(0LL + v - amount, 0)); };
    int r = down(GetRValue(c)), g = down(GetGValue(c)), b = down(GetBValue(c));
    if (color == clBlack) {
        r += 32;
        g += 32;
        b += 32;
    }
    return Pack(r, g, b);
}

TRect TColorBtn::DrawFace(TCanvas* canvas, const TRect& rect, unsigned state) {
    TRect r = rect;
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
    if (focused_ || (state & ODS_FOCUS)) {
        canvas->Brush()->SetColor(GetDarkColor(Color(), 192));
        canvas->FrameRect(r);
        InflateRect(r, -1, -1);
    }
    const bool pressed = (state & ODS_SELECTED) != 0;
    const bool lowered = bevelStyle_ == cbLowered || (bevelStyle_ == cbStd && pressed);
    const TColor light = GetBrightColor(Color(), 192);
    const TColor dark = GetDarkColor(Color(), 128);
    if (lowered)
        canvas->Frame3D(r, dark, light, bevelWidth_);
    else
        canvas->Frame3D(r, light, dark, bevelWidth_);
    if (bevelStyle_ == cbStd && pressed) OffsetRect(r, 1, 1);
    return r;
}

void TColorBtn::PrepareDisabledPass(TCanvas* canvas, bool light) {
    if (light) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->SetColor(GetBrightColor(Color(), 192));
    } else {
        canvas->Font()->SetColor(GetDarkColor(Color(), 64));
    }
}

void TColorBtn::DrawFocus(TCanvas* canvas, const TRect& rect, unsigned state) {
    if (!focused_ && !(state & ODS_FOCUS)) return;
    TRect c = rect;
    const int inset = std::max(bevelWidth_ / 2, 1);
    InflateRect(c, -inset, -inset);
    TColor f = GetDarkColor(canvas->Font()->Color(), 128);
    // Blue is the most significant byte, so a pure blue counts as dark here too.
    if (f <= 0x00808080) f = 0x00FFFFFF;
    canvas->Brush()->SetColor(f);
    canvas->DrawFocusRect(c);
}

int TColorBtn::DrawCaptionOn(TCanvas* canvas, const TRect& rect, int offset, unsigned measureFormat,
                             int measureInset, bool topLeftOnly) {
    TRect m = rect;
    m.Right -= measureInset;
    m.Bottom -= measureInset;
    canvas->DrawText(Caption(), m, measureFormat);
    TRect t = rect;
    InflateRect(t, (m.Right - rect.Right) / 2, (m.Bottom - rect.Bottom) / 2);
    if (topLeftOnly) {
        t.Left += offset;
        t.Top += offset;
    } else {
        InflateRect(t, offset, offset);
    }
    return canvas->DrawText(Caption(), t, kDrawCaption);
}

int TColorBtn::DrawCaption(const TRect& rect, int offset) {
    return DrawCaptionOn(canvas_.get(), rect, offset, kMeasureCentred, 0, false);
}

void TColorBtn::DrawObject(const TRect& rect, unsigned state) {
    DrawSteps(
        canvas_.get(), rect, state, [](TRect&) {},
        [this](const TRect& t, int offset) { return DrawCaption(t, offset); });
}

void TColorBtn::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CN_MEASUREITEM: {
        auto* mis = reinterpret_cast<TMeasureItemStruct*>(m.LParam);
        mis->itemWidth = Width();
        mis->itemHeight = Height();
        return;
    }
    case CN_DRAWITEM: {
        auto* dis = reinterpret_cast<TDrawItemStruct*>(m.LParam);
        // The canvas borrows the item's surface for this draw only.
        canvas_->SetSurface(dis->hDC->Surface());
        try {
            DrawObject(dis->rcItem, dis->itemState);
        } catch (...) {
            canvas_->SetTarget(nullptr);
            throw;
        }
        canvas_->SetTarget(nullptr);
        m.Result = 1;
        return;
    }
    case CM_ENABLEDCHANGED:
        TButton::Dispatch(m);
        Invalidate();
        return;
    default:
        TButton::Dispatch(m);
    }
}

} // namespace sv
