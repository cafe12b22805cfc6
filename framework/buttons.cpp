#include "framework/buttons.h"

#include "framework/canvas.h"

#include <algorithm>

namespace sv {

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
    controlStyle_ = TControlStyle{csCaptureMouse, csDoubleClicks};
    parentFont_ = true;
    color_ = clBtnFace;
    glyph_->OnChange = [this](TObject*) { Invalidate(); };
    SetBounds(0, 0, 23, 22);
}

TSpeedButton::~TSpeedButton() {
    BeginDestruction();
}

void TSpeedButton::UpdateExclusive() {
    if (groupIndex_ == 0 || !Parent()) return;
    TMessage m{CM_BUTTONPRESSED, groupIndex_, reinterpret_cast<std::intptr_t>(this), 0};
    Parent()->Broadcast(m);
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == groupIndex_) return;
    groupIndex_ = v;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    if (v == allowAllUp_) return;
    allowAllUp_ = v;
    UpdateExclusive();
}

void TSpeedButton::SetDown(bool v) {
    if (groupIndex_ == 0) v = false;
    if (v == down_) return;
    // The down member of an exclusive group goes up only when another goes down.
    if (down_ && !allowAllUp_) return;
    down_ = v;
    if (v) {
        if (state_ == bsUp) Invalidate();
        state_ = bsExclusive;
        UpdateExclusive();
    } else {
        state_ = bsUp;
        Repaint();
    }
}

void TSpeedButton::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    Invalidate();
}

void TSpeedButton::SetMargin(int v) {
    if (v == margin_ || v < -1) return;
    margin_ = v;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout v) {
    if (v == layout_) return;
    layout_ = v;
    Invalidate();
}

void TSpeedButton::SetSpacing(int v) {
    if (v == spacing_) return;
    spacing_ = v;
    Invalidate();
}

void TSpeedButton::Click() {
    TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled()) return;
    if (!down_) {
        state_ = bsDown;
        Repaint();
    }
    dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!dragging_) return;
    TButtonState s = down_ ? bsExclusive : bsUp;
    if (x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight())
        s = down_ ? bsExclusive : bsDown;
    if (s != state_) {
        state_ = s;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!dragging_) return;
    dragging_ = false;
    bool doClick = x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight();
    if (groupIndex_ == 0) {
        state_ = bsUp;
        mouseInControl_ = false;
        Invalidate();
    } else if (doClick) {
        SetDown(!down_);
        if (down_) Repaint();
    } else {
        if (down_) state_ = bsExclusive;
        Repaint();
    }
    if (doClick) Click();
}

void TSpeedButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_BUTTONPRESSED: {
        if (m.WParam != groupIndex_) return;
        auto* sender = reinterpret_cast<TSpeedButton*>(m.LParam);
        if (!sender || sender == this) return;
        if (sender->Down() && down_) {
            down_ = false;
            state_ = bsUp;
            Invalidate();
        }
        allowAllUp_ = sender->AllowAllUp();
        return;
    }
    case CM_MOUSEENTER:
        mouseInControl_ = true;
        if (flat_ && Enabled()) Invalidate();
        TGraphicControl::Dispatch(m);
        return;
    case CM_MOUSELEAVE:
        mouseInControl_ = false;
        if (flat_ && Enabled()) Invalidate();
        TGraphicControl::Dispatch(m);
        return;
    case CM_ENABLEDCHANGED:
        if (!Enabled()) dragging_ = false;
        Repaint();
        return;
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<char32_t>(m.WParam), Caption()) && Enabled() && Visible() &&
            Parent() && Parent()->Showing()) {
            Click();
            m.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TGraphicControl::Dispatch(m);
}

void TSpeedButton::Paint() {
    TCanvas* c = Canvas();
    if (!Enabled()) {
        state_ = bsDisabled;
        dragging_ = false;
    } else if (state_ == bsDisabled) {
        state_ = down_ ? bsExclusive : bsUp;
    }
    TRect r = ClientRect();
    bool pressed = state_ == bsDown || state_ == bsExclusive;
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(state_ == bsExclusive && !mouseInControl_ ? cl3DLight : Color());
    c->FillRect(r);
    if (!flat_ || pressed || (mouseInControl_ && Enabled())) {
        TRect f = r;
        if (pressed)
            c->Frame3D(f, clBtnShadow, clBtnHighlight, 1);
        else
            c->Frame3D(f, clBtnHighlight, clBtnShadow, 1);
    }
    // Glyph and caption as one block, placed by Layout, Margin and Spacing.
    c->Font()->Assign(Font());
    std::string text = Caption();
    TRect tr = Rect(0, 0, r.Width(), 0);
    if (!text.empty()) c->DrawText(text, tr, DT_CALCRECT | DT_SINGLELINE);
    int tw = text.empty() ? 0 : tr.Width(), th = text.empty() ? 0 : tr.Height();
    int gw = glyph_->Empty() ? 0 : glyph_->Width(), gh = glyph_->Empty() ? 0 : glyph_->Height();
    int gap = gw > 0 && tw > 0 ? spacing_ : 0;
    bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    int bw = horizontal ? gw + gap + tw : std::max(gw, tw);
    int bh = horizontal ? std::max(gh, th) : gh + gap + th;
    int bx = (r.Width() - bw) / 2, by = (r.Height() - bh) / 2;
    if (margin_ >= 0) {
        if (layout_ == blGlyphLeft) bx = margin_;
        if (layout_ == blGlyphRight) bx = r.Width() - bw - margin_;
        if (layout_ == blGlyphTop) by = margin_;
        if (layout_ == blGlyphBottom) by = r.Height() - bh - margin_;
    }
    int gx = bx, gy = by, tx = bx, ty = by;
    switch (layout_) {
    case blGlyphLeft:
        gy = by + (bh - gh) / 2;
        tx = bx + gw + gap;
        ty = by + (bh - th) / 2;
        break;
    case blGlyphRight:
        tx = bx;
        ty = by + (bh - th) / 2;
        gx = bx + tw + gap;
        gy = by + (bh - gh) / 2;
        break;
    case blGlyphTop:
        gx = bx + (bw - gw) / 2;
        tx = bx + (bw - tw) / 2;
        ty = by + gh + gap;
        break;
    case blGlyphBottom:
        tx = bx + (bw - tw) / 2;
        ty = by;
        gx = bx + (bw - gw) / 2;
        gy = by + th + gap;
        break;
    }
    if (pressed) {
        ++gx, ++gy, ++tx, ++ty;
    }
    if (gw > 0) c->Draw(gx, gy, glyph_.get());
    if (tw > 0) {
        c->Brush()->SetStyle(bsClear);
        TRect t = Rect(tx, ty, tx + tw, ty + th);
        if (state_ == bsDisabled) {
            TRect t1 = t;
            OffsetRect(t1, 1, 1);
            c->Font()->SetColor(clBtnHighlight);
            c->DrawText(text, t1, DT_SINGLELINE);
            c->Font()->SetColor(clBtnShadow);
        }
        c->DrawText(text, t, DT_SINGLELINE);
    }
}

} // namespace sv
