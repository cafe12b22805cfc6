#include "controls/shine_button.h"

#include "framework/canvas.h"

#include <utility>

namespace sv {

std::uint32_t ColorToPixel(TColor color) {
    return ColorToQRgb(color) & 0xFFFFFFu;
}

namespace {

ConstPixelRows RowsOf(const TBitmap& b) {
    const QImage& img = b.Image();
    return {reinterpret_cast<const std::uint32_t*>(img.constBits()), img.width(), img.height(),
            img.bytesPerLine() / 4};
}

PixelRows RowsOf(TBitmap& b) {
    const std::ptrdiff_t stride = b.Image().bytesPerLine() / 4;
    return {b.ScanLine(0), b.Width(), b.Height(), stride};
}

TShineLayout ToShineLayout(TButtonLayout l) {
    switch (l) {
    case blGlyphLeft:
        return TShineLayout::GlyphLeft;
    case blGlyphRight:
        return TShineLayout::GlyphRight;
    case blGlyphTop:
        return TShineLayout::GlyphTop;
    case blGlyphBottom:
        return TShineLayout::GlyphBottom;
    }
    return TShineLayout::GlyphLeft;
}

} // namespace

TShineSpeedButton::TShineSpeedButton(TComponent* owner)
    : TGraphicControl(owner), colors_(std::make_unique<TShineBtnColors>()),
      pressedColors_(std::make_unique<TShineBtnColors>()), font_(std::make_unique<TFont>()),
      activeFont_(std::make_unique<TFont>()), glyph_(std::make_unique<TBitmap>()) {
    colors_->OnColorsChange = [this](TObject*) { ColorsChanged(); };
    pressedColors_->SetColor(clBtnHighlight);
    pressedColors_->OnColorsChange = [this](TObject*) { ColorsChanged(); };
    font_->SetColor(clBtnText);
    font_->OnChange = [this](TObject*) { ColorsChanged(); };
    activeFont_->SetColor(clHighlight);
    activeFont_->OnChange = [this](TObject*) { ColorsChanged(); };
    glyph_->SetTransparentColor(clOlive);
    glyph_->OnChange = [this](TObject*) { GlyphChanged(); };

    hoverTimer_ = new TTimer(this);
    hoverTimer_->SetEnabled(false);
    hoverTimer_->SetInterval(200);
    hoverTimer_->OnTimer = [this](TObject*) { HoverTimerTick(); };

    // Exactly these: without click events the framework raises no click of its own on release.
    SetControlStyle(TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks});
    SetBounds(Left(), Top(), 25, 25);
}

TShineSpeedButton::~TShineSpeedButton() {
    hoverTimer_->SetEnabled(false);
    BeginDestruction();
    // The timer is owned and already gone with the owned components.
    hoverTimer_ = nullptr;
    font_->OnChange = nullptr;
    activeFont_->OnChange = nullptr;
    glyph_->OnChange = nullptr;
}

// ---- properties --------------------------------------------------------------------------

void TShineSpeedButton::SetGroupIndex(int v) {
    if (v != groupIndex_) AnnounceGroup(v);
}

void TShineSpeedButton::SetDown(bool v) {
    if (v == down_) return;
    if (groupIndex_ == 0) return;
    if (allowAllUp_) {
        down_ = v;
        AnnounceGroup(groupIndex_);
        look_ = down_ ? LookDown : LookUp;
        Repaint();
        return;
    }
    if (down_) return;
    down_ = true;
    AnnounceGroup(groupIndex_);
    look_ = LookDown;
    Repaint();
}

void TShineSpeedButton::SetAllowAllUp(bool v) {
    if (v == allowAllUp_) return;
    allowAllUp_ = v;
    AnnounceGroup(groupIndex_);
}

void TShineSpeedButton::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    TControlStyle style = ControlStyle();
    if (v)
        style.Exclude(csOpaque);
    else
        style.Include(csOpaque);
    SetControlStyle(style);
    Invalidate();
}

void TShineSpeedButton::SetFontHighlight(TColor v) {
    fontHighlight_ = v;
    Invalidate();
}

void TShineSpeedButton::SetFontShadow(TColor v) {
    fontShadow_ = v;
    Invalidate();
}

void TShineSpeedButton::SetFont(const TFont* v) {
    if (!v) return;
    font_->Assign(v);
    Invalidate();
}

void TShineSpeedButton::SetActiveFont(const TFont* v) {
    if (!v) return;
    activeFont_->Assign(v);
    Invalidate();
}

void TShineSpeedButton::SetGlyph(const TBitmap* v) {
    glyph_->OnChange = nullptr;
    if (v) {
        glyph_->Assign(v);
        glyph_->OnChange = [this](TObject*) { GlyphChanged(); };
        GlyphChanged();
    } else {
        glyph_->FreeImage();
        glyph_->OnChange = [this](TObject*) { GlyphChanged(); };
    }
    Invalidate();
}

// The framework's bitmaps are always 32 bits a pixel, so there is nothing to convert.
void TShineSpeedButton::GlyphChanged() {
    Invalidate();
}

// ---- group -------------------------------------------------------------------------------

void TShineSpeedButton::AnnounceGroup(int index) {
    groupIndex_ = index;
    if (groupIndex_ == 0 || !Parent()) return;
    // A framework speed button speaks for us, so framework buttons of the group take part.
    auto announcer = std::make_unique<TSpeedButton>(nullptr);
    announcer_ = announcer.get();
    announcer->SetVisible(false);
    TWinControl* parent = Parent();
    parent->InsertControl(announcer_);
    try {
        announcer->SetGroupIndex(groupIndex_);
        announcer->SetAllowAllUp(allowAllUp_);
        announcer->SetDown(down_);
        TMessage m{CM_BUTTONPRESSED, groupIndex_, reinterpret_cast<std::intptr_t>(announcer_), 0};
        parent->Broadcast(m);
    } catch (...) {
        parent->RemoveControl(announcer_);
        announcer_ = nullptr;
        throw;
    }
    parent->RemoveControl(announcer_);
    announcer_ = nullptr;
}

void TShineSpeedButton::CMButtonPressed(TMessage& m) {
    if (m.WParam != groupIndex_) return;
    auto* sender = reinterpret_cast<TSpeedButton*>(m.LParam);
    if (!sender || sender == announcer_) return;
    if (sender->Down() && down_) {
        down_ = false;
        look_ = LookUp;
        Invalidate();
    }
    // A plain field copy: announcing it again would start another round.
    allowAllUp_ = sender->AllowAllUp();
}

// ---- mouse -------------------------------------------------------------------------------

void TShineSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled()) return;
    look_ = LookDownHot;
    if (!down_) Invalidate();
    pressing_ = true;
}

void TShineSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (pressing_) {
        int look = down_ ? LookDown : LookUp;
        // Column 0 and row 0 count as outside here, though a release there still clicks.
        if (x > 0 && x < ClientWidth() && y > 0 && y < ClientHeight()) look = LookDownHot;
        if (look != look_) {
            look_ = look;
            Invalidate();
        }
    } else if (!hot_) {
        RecheckHover();
    }
}

void TShineSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!pressing_) return;
    const bool inside = x >= 0 && x < ClientWidth() && y >= 0 && y < ClientHeight();
    if (groupIndex_ == 0) {
        look_ = LookUp;
        hot_ = false;
        down_ = false;
        if (inside) Repaint();
    } else if (inside) {
        SetDown(!down_);
        if (down_) Repaint();
    } else {
        look_ = down_ ? LookDownHot : LookHot;
        Repaint();
    }
    pressing_ = false;
    if (inside) Click();
    RecheckHover();
}

void TShineSpeedButton::Click() {
    const int saved = look_;
    if (clickDownHook_) {
        look_ = LookDownHot;
        Repaint();
    }
    TGraphicControl::Click();
    if (clickDownHook_) {
        look_ = saved;
        Repaint();
    }
}

// ---- hover -------------------------------------------------------------------------------

void TShineSpeedButton::RecheckHover() {
    if (!Enabled()) return;
    TControl* under = FindDragTarget(GetCursorPos(), true);
    // Set to the opposite of the truth so that the notification makes the transition.
    hot_ = under != this;
    if (hot_)
        Perform(CM_MOUSELEAVE);
    else
        Perform(CM_MOUSEENTER);
}

void TShineSpeedButton::CursorEvent(bool enter) {
    const TPoint p = ScreenToClient(GetCursorPos());
    const TShiftState shift = CurrentShiftState();
    if (enter)
        DoMouseEnter(shift, p.X, p.Y);
    else
        DoMouseLeave(shift, p.X, p.Y);
}

void TShineSpeedButton::DoMouseEnter(TShiftState shift, int x, int y) {
    if (OnMouseEnter) OnMouseEnter(this, shift, x, y);
    if (hot_ || !Enabled() || DragMode() == dmAutomatic || GetCaptureControl()) return;
    hot_ = true;
    if (look_ == LookUp) look_ = LookHot;
    if (look_ == LookDown) look_ = LookDownHot;
    Repaint();
    if (hoverTimer_) hoverTimer_->SetEnabled(true);
}

void TShineSpeedButton::DoMouseLeave(TShiftState shift, int x, int y) {
    if (OnMouseLeave) OnMouseLeave(this, shift, x, y);
    if (!hot_ || !Enabled() || pressing_) return;
    if (hoverTimer_) hoverTimer_->SetEnabled(false);
    hot_ = false;
    if (look_ == LookHot) look_ = LookUp;
    if (look_ == LookDownHot) look_ = LookDown;
    Repaint();
}

void TShineSpeedButton::HoverTimerTick() {
    if (!hot_ || !Enabled() || pressing_) {
        hoverTimer_->SetEnabled(false);
        return;
    }
    const TPoint p = ScreenToClient(GetCursorPos());
    if (PtInRect(ClientRect(), p)) return;
    DoMouseLeave(CurrentShiftState(), p.X, p.Y);
}

// ---- notifications -----------------------------------------------------------------------

void TShineSpeedButton::CMEnabledChanged() {
    down_ = false;
    look_ = Enabled() ? LookUp : LookDisabled;
    RecheckHover();
    Invalidate();
}

void TShineSpeedButton::CMDialogChar(TMessage& m) {
    const auto key = static_cast<char32_t>(m.WParam);
    if (IsAccel(key, Caption()) && Enabled() && Visible() && Parent() && Parent()->Showing()) {
        if (accelCharDown_) SetDown(!down_);
        Click();
        m.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(m);
}

void TShineSpeedButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDBLCLK:
        TGraphicControl::Dispatch(m);
        if (down_) DblClick();
        return;
    case CM_ENABLEDCHANGED:
        CMEnabledChanged();
        return;
    case CM_DIALOGCHAR:
        CMDialogChar(m);
        return;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
    case CM_SYSCOLORCHANGE:
        Invalidate();
        return;
    case CM_MOUSEENTER:
        CursorEvent(true);
        return;
    case CM_MOUSELEAVE:
        CursorEvent(false);
        return;
    case CM_BUTTONPRESSED:
        CMButtonPressed(m);
        return;
    default:
        TGraphicControl::Dispatch(m);
    }
}

// ---- painting ----------------------------------------------------------------------------

TShineBtnColors* TShineSpeedButton::LookColors() const {
    return look_ == LookDownHot || look_ == LookDown ? pressedColors_.get() : colors_.get();
}

TFont* TShineSpeedButton::LookFont() const {
    return look_ == LookDownHot || look_ == LookHot ? activeFont_.get() : font_.get();
}

void TShineSpeedButton::Paint() {
    if (!Enabled()) {
        look_ = LookDisabled;
        pressing_ = false;
    }
    if (transparent_) {
        PaintBackground(Canvas());
        PaintGlyphAndCaption(Canvas());
        PaintFrame(Canvas());
        return;
    }
    // Composed off screen and copied in one step, so the face never flickers.
    TBitmap face(Width(), Height());
    face.SetHandleType(bmDDB);
    PaintBackground(face.Canvas());
    PaintGlyphAndCaption(face.Canvas());
    PaintFrame(face.Canvas());
    Canvas()->SetCopyMode(SRCCOPY);
    Canvas()->Draw(0, 0, &face);
}

void TShineSpeedButton::PaintBackground(TCanvas* canvas) {
    if (transparent_) return;
    const TShineBtnColors* set = LookColors();
    if (!set->Gradation()) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(set->Color());
        canvas->FillRect(ClientRect());
        return;
    }
    const auto strip = GradationStrip(ColorToPixel(set->Color()), ColorToPixel(set->GradColor()));
    TBitmap bmp(set->GradVertical() ? 1 : 256, set->GradVertical() ? 256 : 1);
    for (int i = 0; i < 256; ++i) {
        if (set->GradVertical())
            bmp.ScanLine(i)[0] = strip[static_cast<std::size_t>(i)];
        else
            bmp.ScanLine(0)[i] = strip[static_cast<std::size_t>(i)];
    }
    canvas->StretchDraw(ClientRect(), &bmp);
}

ShineLayoutResult TShineSpeedButton::CalcLayout(TCanvas* canvas) const {
    ShineLayoutInput in;
    in.glyphEmpty = glyph_->Empty();
    in.glyphWidth = in.glyphEmpty ? 0 : glyph_->Width();
    in.glyphHeight = in.glyphEmpty ? 0 : glyph_->Height();
    const std::string caption = Caption();
    in.hasCaption = !caption.empty();
    // Measured even for an empty caption.
    TRect tr = Rect(0, 0, ClientWidth(), 0);
    canvas->DrawText(caption, tr, DT_CALCRECT);
    in.textLeft = tr.Left, in.textTop = tr.Top, in.textRight = tr.Right, in.textBottom = tr.Bottom;
    in.layout = ToShineLayout(layout_);
    in.margin = margin_;
    in.spacing = spacing_;
    in.clientWidth = ClientWidth();
    in.clientHeight = ClientHeight();
    return sv::CalcLayout(in);
}

std::unique_ptr<TBitmap> TShineSpeedButton::MakeStateGlyph() const {
    if (glyph_->Empty()) return nullptr;
    auto r = std::make_unique<TBitmap>();
    r->Assign(glyph_.get());
    r->SetTransparent(false);
    if (look_ == LookDownHot || look_ == LookHot)
        ApplyActiveImage(activeImage_, RowsOf(std::as_const(*glyph_)), RowsOf(*r),
                         ColorToPixel(shineColor_));
    else if (look_ == LookDisabled)
        ApplyDisabledImage(disabledImage_, RowsOf(std::as_const(*glyph_)), RowsOf(*r),
                           ColorToPixel(colors_->Color()));
    r->Modified();
    r->SetHandleType(bmDDB);
    const bool mask = look_ == LookDisabled && disabledImage_ == diDefault;
    if (mask) r->SetMonochrome(true);
    const TColor tc = mask ? clBlack : r->Canvas()->Pixels(0, r->Height() - 1);
    r->SetTransparentColor(tc);
    r->SetTransparent(true);
    return r;
}

void TShineSpeedButton::DrawCaption(TCanvas* canvas, TRect rect) {
    // Without the single-line flag the vertical centring does nothing: the text starts at the
    // top of the measured rectangle, which is where the layout put it.
    canvas->DrawText(Caption(), rect, DT_CENTER | DT_VCENTER);
}

void TShineSpeedButton::PaintGlyphAndCaption(TCanvas* canvas) {
    canvas->Font()->Assign(LookFont());
    std::unique_ptr<TBitmap> g = MakeStateGlyph();
    const ShineLayoutResult lay = CalcLayout(canvas);
    const bool pressedLook = look_ == LookDownHot || look_ == LookDown;
    if (g) {
        int gx = lay.glyphX, gy = lay.glyphY;
        if (pressedLook) ++gx, ++gy;
        if (look_ == LookDisabled && disabledImage_ == diDefault) {
            canvas->Brush()->SetColor(disabledHighlight_);
            canvas->BitBlt(gx + 1, gy + 1, g->Width(), g->Height(), g->Canvas(), 0, 0, ROP_DSPDxax);
            canvas->Brush()->SetColor(disabledShadow_);
            canvas->BitBlt(gx, gy, g->Width(), g->Height(), g->Canvas(), 0, 0, ROP_DSPDxax);
        } else {
            canvas->Brush()->SetStyle(bsClear);
            canvas->Draw(gx, gy, g.get());
        }
    }
    if (Caption().empty()) return;
    TRect tr = Rect(lay.textLeft, lay.textTop, lay.textRight, lay.textBottom);
    if (pressedLook) OffsetRect(tr, 1, 1);
    canvas->Brush()->SetStyle(bsClear);
    TFont* font = canvas->Font();
    if (look_ == LookDisabled) {
        font->SetColor(disabledHighlight_);
        OffsetRect(tr, 1, 1);
        DrawCaption(canvas, tr);
        font->SetColor(disabledShadow_);
        OffsetRect(tr, -1, -1);
        DrawCaption(canvas, tr);
        return;
    }
    const TColor f = font->Color();
    if (fontShadow_ != clNone) {
        font->SetColor(fontShadow_);
        OffsetRect(tr, 1, 1);
        DrawCaption(canvas, tr);
        OffsetRect(tr, -1, -1);
    }
    if (fontHighlight_ != clNone) {
        font->SetColor(fontHighlight_);
        OffsetRect(tr, -1, -1);
        DrawCaption(canvas, tr);
        OffsetRect(tr, 1, 1);
    }
    font->SetColor(f);
    DrawCaption(canvas, tr);
}

void TShineSpeedButton::PaintFrame(TCanvas* canvas) {
    const int w = Width(), h = Height();
    TPen* pen = canvas->Pen();
    pen->SetStyle(psSolid);
    pen->SetWidth(1);
    pen->SetMode(pmCopy);
    // Move-to and line-to leave the end point undrawn.
    auto tl = [&](TColor c, int a, int b) {
        pen->SetColor(c);
        canvas->MoveTo(a, a);
        canvas->LineTo(w - b, a);
        canvas->MoveTo(a, a);
        canvas->LineTo(a, h - b);
    };
    auto br = [&](TColor c, int a, int b) {
        pen->SetColor(c);
        canvas->MoveTo(w - a, h - a);
        canvas->LineTo(b, h - a);
        canvas->MoveTo(w - a, h - a);
        canvas->LineTo(w - a, b);
    };
    const bool pressed =
        (look_ == LookDown && downFrame_) || (look_ == LookDownHot && activeFrame_);
    const bool raised = ((look_ == LookUp || look_ == LookDisabled) && upFrame_) ||
                        (look_ == LookHot && activeFrame_);
    if (!pressed && !raised) return;
    const TShineBtnColors& p = *pressedColors_;
    const TShineBtnColors& c = *colors_;
    switch (frameType_) {
    case ftFlatFrame:
        if (pressed) {
            tl(p.Shadow(), 0, 1);
            br(p.Highlight(), 1, 0);
        } else {
            tl(c.Highlight(), 0, 1);
            br(c.Shadow(), 1, 0);
        }
        break;
    case ftNormalFrame:
        if (pressed) {
            tl(p.Shadow(), 1, 1);
            tl(p.DarkShadow(), 0, 1);
            br(p.Highlight(), 1, 0);
        } else {
            br(c.Shadow(), 2, 0);
            br(c.DarkShadow(), 1, 0);
            tl(c.Highlight(), 0, 1);
        }
        break;
    case ftEnclosedFrame:
        if (pressed) {
            tl(p.Shadow(), 1, 2);
            br(p.Highlight(), 2, 1);
        } else {
            tl(c.Highlight(), 1, 2);
            br(c.Shadow(), 2, 1);
        }
        // The outline always takes the up set's dark shadow.
        pen->SetColor(c.DarkShadow());
        canvas->Brush()->SetStyle(bsClear);
        canvas->Rectangle(0, 0, w, h);
        break;
    }
}

} // namespace sv
