#include "controls/vorsa_button.h"

#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/extctrls.h"
#include "framework/forms.h"
#include "framework/strings.h"

namespace sv {

TVorsaButton::TVorsaButton(TComponent* owner)
    : TButton(owner), captionLines_(std::make_unique<TStringList>()) {
    SetColor(clWindow);
    // One tick after the last movement over the button wakes the idle pass, so a cursor that
    // left for another program's window is noticed.
    hoverTimer_ = new TTimer(this);
    hoverTimer_->SetEnabled(false);
    hoverTimer_->SetInterval(100);
    hoverTimer_->OnTimer = [this](TObject*) {
        hoverTimer_->SetEnabled(false);
        if (Application) Application->DoMouseIdle();
    };
}

TVorsaButton::~TVorsaButton() {
    hoverTimer_->SetEnabled(false);
    BeginDestruction();
    hoverTimer_ = nullptr;
}

TStrings* TVorsaButton::CaptionLines() const {
    return captionLines_.get();
}

void TVorsaButton::SetCaptionLines(const TStrings* lines) {
    const std::string text = lines ? lines->Text() : std::string();
    if (text == captionLines_->Text()) return;
    if (lines)
        captionLines_->Assign(lines);
    else
        captionLines_->Clear();
    Invalidate();
}

void TVorsaButton::CreateParams(TCreateParams& params) {
    TButton::CreateParams(params);
    params.Style |= BS_OWNERDRAW;
}

void TVorsaButton::SetButtonStyle(bool isDefault) {
    if (isDefault == defaultLook_) return;
    defaultLook_ = isDefault;
    Refresh();
}

std::string TVorsaButton::CaptionText() const {
    if (!Caption().empty()) return Caption();
    std::string text;
    for (int i = 0; i < captionLines_->Count(); ++i) {
        if (i > 0) text += "\r\n";
        text += captionLines_->Strings(i);
    }
    return text;
}

void TVorsaButton::DrawFace(TCanvas* dest, unsigned itemState) {
    const int cw = ClientWidth(), ch = ClientHeight();
    TRect r = ClientRect();
    TBitmap bmp(Width(), Height());
    TCanvas* c = bmp.Canvas();
    c->Font()->Assign(Font());
    const bool selected = (itemState & ODS_SELECTED) != 0;
    const bool focused = (itemState & ODS_FOCUS) != 0;

    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    c->FillRect(r);

    const unsigned format = capAlignH_ == haLeft     ? DT_LEFT
                            : capAlignH_ == haCenter ? DT_CENTER
                                                     : DT_RIGHT;
    const std::string text = CaptionText();
    TRect calc{};
    c->DrawText(text, calc, format | DT_CALCRECT);
    const int h = calc.Bottom - calc.Top;
    TRect t = Rect(0, 0, cw, h);
    if (capAlignV_ == vaCenter) OffsetRect(t, 0, (ch - h) / 2);
    if (capAlignV_ == vaBottom) OffsetRect(t, 0, ch - h);
    // Margins: 4 at the top, 5 at the bottom and the sides.
    if (capAlignH_ == haLeft) OffsetRect(t, 5, 0);
    if (capAlignH_ == haRight) OffsetRect(t, -5, 0);
    if (capAlignV_ == vaTop) OffsetRect(t, 0, 4);
    if (capAlignV_ == vaBottom) OffsetRect(t, 0, -5);
    if (buttonStyle_ == TButtonStyle::bsStd && !capFixed_ && !defaultLook_ && !focused) {
        if (capAlignH_ == haLeft) OffsetRect(t, -1, 0);
        if (capAlignH_ == haRight) OffsetRect(t, 1, 0);
        if (capAlignV_ == vaTop) OffsetRect(t, 0, -1);
        if (capAlignV_ == vaBottom) OffsetRect(t, 0, 1);
    }
    OffsetRect(t, capOffsetH_, capOffsetV_);
    if (selected) OffsetRect(t, 1, 1);

    c->Brush()->SetStyle(bsClear);
    if (Enabled()) {
        c->DrawText(text, t, format | DT_NOCLIP);
    } else {
        OffsetRect(t, 1, 1);
        c->Font()->SetColor(clBtnHighlight);
        c->DrawText(text, t, format | DT_NOCLIP);
        OffsetRect(t, -1, -1);
        c->Font()->SetColor(clBtnShadow);
        c->DrawText(text, t, format | DT_NOCLIP);
    }

    TPen* pen = c->Pen();
    pen->SetStyle(psSolid);
    pen->SetWidth(1);
    c->Brush()->SetStyle(bsClear);
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        pen->SetColor(color);
        c->Rectangle(x1, y1, x2, y2);
    };
    auto raisedOrSunken = [&](TColor topLeft, TColor bottomRight) {
        line(topLeft, r.Left, r.Top, r.Right, r.Top + 1);
        line(topLeft, r.Left, r.Top, r.Left + 1, r.Bottom);
        line(bottomRight, r.Right - 1, r.Top, r.Right, r.Bottom);
        line(bottomRight, r.Left, r.Bottom - 1, r.Right, r.Bottom);
    };
    switch (buttonStyle_) {
    case TButtonStyle::bsStd:
        if (defaultLook_ || focused) {
            line(frameColor_, r.Left, r.Top, r.Right, r.Bottom);
            InflateRect(r, -1, -1);
        }
        if (selected) {
            line(edgeShadow_, r.Left, r.Top, r.Right, r.Bottom);
            InflateRect(r, -1, -1);
        } else {
            line(edgeHighlight_, r.Left, r.Top, r.Right, r.Top + 1);
            line(edgeHighlight_, r.Left, r.Top, r.Left + 1, r.Bottom);
            line(frameColor_, r.Right - 1, r.Top, r.Right, r.Bottom);
            line(frameColor_, r.Left, r.Bottom - 1, r.Right, r.Bottom);
            line(edgeShadow_, r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1);
            line(edgeShadow_, r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1);
        }
        break;
    case TButtonStyle::bsIELike:
        if (selected)
            raisedOrSunken(edgeShadow_, edgeHighlight_);
        else if (hover_ || ComponentState().Contains(csDesigning))
            raisedOrSunken(edgeHighlight_, edgeShadow_);
        break;
    case TButtonStyle::bsNone:
        break;
    }

    if (focusline_ && defaultLook_ && focused) {
        TRect f = ClientRect();
        const int inset = buttonStyle_ == TButtonStyle::bsStd      ? 4
                          : buttonStyle_ == TButtonStyle::bsIELike ? 2
                                                                   : 0;
        InflateRect(f, -inset, -inset);
        c->Font()->SetColor(clBlack);
        c->Brush()->SetColor(clBtnFace);
        pen->SetColor(clWindowFrame);
        c->DrawFocusRect(f);
    }

    dest->SetCopyMode(SRCCOPY);
    dest->BitBlt(0, 0, Width(), Height(), c, 0, 0, SRCCOPY);
}

void TVorsaButton::MouseMoved(TMessage& m) {
    const int x = LoWordSigned(m.LParam), y = HiWordSigned(m.LParam);
    const bool inside = x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight();
    if (!hover_ && inside && !(ControlState() == TControlState{csLButtonDown}))
        Perform(CM_MOUSEENTER);
    if (hover_) {
        // Restarting replaces the running timer.
        hoverTimer_->SetEnabled(false);
        hoverTimer_->SetEnabled(true);
    }
}

void TVorsaButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_MOUSEMOVE:
        MouseMoved(m);
        TButton::Dispatch(m);
        return;
    case WM_LBUTTONDBLCLK:
        // A double click acts as a second press.
        Perform(WM_LBUTTONDOWN, m.WParam, m.LParam);
        return;
    case CM_ENABLEDCHANGED:
        TButton::Dispatch(m);
        Invalidate();
        return;
    case CM_MOUSEENTER:
        if (!hover_ || ControlState() == TControlState{csLButtonDown}) {
            hover_ = true;
            Invalidate();
            if (OnMouseEnter) OnMouseEnter(this);
        }
        TButton::Dispatch(m);
        return;
    case CM_MOUSELEAVE:
        hover_ = false;
        Invalidate();
        if (OnMouseLeave) OnMouseLeave(this);
        TButton::Dispatch(m);
        return;
    case CN_DRAWITEM: {
        auto* dis = reinterpret_cast<TDrawItemStruct*>(m.LParam);
        DrawFace(dis->hDC, dis->itemState);
        m.Result = 1;
        return;
    }
    case CN_MEASUREITEM: {
        auto* mis = reinterpret_cast<TMeasureItemStruct*>(m.LParam);
        mis->itemWidth = Width();
        mis->itemHeight = Height();
        m.Result = 1;
        return;
    }
    default:
        TButton::Dispatch(m);
    }
}

} // namespace sv
