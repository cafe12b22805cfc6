#pragma once
// The shining speed button: a windowless, group-exclusive speed button with hot tracking and
// glyph effects.
#include "controls/shine_colors.h"
#include "controls/shine_effects.h"
#include "framework/bitmap.h"
#include "framework/buttons.h"
#include "framework/control.h"
#include "framework/extctrls.h"

#include <memory>

namespace sv {

class TTimer;
class TCanvas;

// 0x00RRGGBB, the order of a 32-bit pixel, from a colour (system colours resolved).
std::uint32_t ColorToPixel(TColor color);

class TShineSpeedButton : public TGraphicControl {
public:
    // Looks, as the painting selects colours, font and effects from them.
    enum Look : int { LookDownHot = 0, LookDown = 1, LookHot = 2, LookUp = 3, LookDisabled = 4 };

    explicit TShineSpeedButton(TComponent* owner);
    ~TShineSpeedButton() override;
    std::string ClassName() const override { return "TShineSpeedButton"; }

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v);
    bool Down() const { return down_; }
    // Group-aware: a button outside a group never goes down, and the down member of an
    // exclusive group goes up only when another member goes down.
    void SetDown(bool v);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool v);
    bool ClickDownHook() const { return clickDownHook_; }
    void SetClickDownHook(bool v) { Store(clickDownHook_, v); }
    bool AccelCharDown() const { return accelCharDown_; }
    void SetAccelCharDown(bool v) { Store(accelCharDown_, v); }
    TFrameType FrameType() const { return frameType_; }
    void SetFrameType(TFrameType v) { Store(frameType_, v); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool ActiveFrame() const { return activeFrame_; }
    void SetActiveFrame(bool v) { Store(activeFrame_, v); }
    bool UpFrame() const { return upFrame_; }
    void SetUpFrame(bool v) { Store(upFrame_, v); }
    bool DownFrame() const { return downFrame_; }
    void SetDownFrame(bool v) { Store(downFrame_, v); }
    TActiveImageType ActiveImage() const { return activeImage_; }
    void SetActiveImage(TActiveImageType v) { Store(activeImage_, v); }
    TDisabledImageType DisabledImage() const { return disabledImage_; }
    void SetDisabledImage(TDisabledImageType v) { Store(disabledImage_, v); }
    TColor DisabledHighlight() const { return disabledHighlight_; }
    void SetDisabledHighlight(TColor v) { Store(disabledHighlight_, v); }
    TColor DisabledShadow() const { return disabledShadow_; }
    void SetDisabledShadow(TColor v) { Store(disabledShadow_, v); }
    TColor ShineColor() const { return shineColor_; }
    void SetShineColor(TColor v) { Store(shineColor_, v); }
    TColor FontHighlight() const { return fontHighlight_; }
    void SetFontHighlight(TColor v);
    TColor FontShadow() const { return fontShadow_; }
    void SetFontShadow(TColor v);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v) { Store(layout_, v); }
    int Margin() const { return margin_; }
    void SetMargin(int v) { Store(margin_, v); }
    int Spacing() const { return spacing_; }
    void SetSpacing(int v) { Store(spacing_, v); }

    // Owned sets and fonts: the setters copy into them and never replace them. A colour set
    // accepts only another colour set (EConvertError otherwise); the fonts ignore nullptr.
    TShineBtnColors* Colors() const { return colors_.get(); }
    void SetColors(const TPersistent* v) { colors_->Assign(v); }
    TShineBtnColors* PressedColors() const { return pressedColors_.get(); }
    void SetPressedColors(const TPersistent* v) { pressedColors_->Assign(v); }
    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* v);
    TFont* ActiveFont() const { return activeFont_.get(); }
    void SetActiveFont(const TFont* v);
    TBitmap* Glyph() const { return glyph_.get(); }
    // Copies the picture; nullptr empties the glyph.
    void SetGlyph(const TBitmap* v);

    TMouseMoveEvent OnMouseEnter;
    TMouseMoveEvent OnMouseLeave;

    // Read-only views for tests and for the painting.
    int LookState() const { return look_; }
    bool Hot() const { return hot_; }
    bool Pressing() const { return pressing_; }
    TTimer* HoverTimer() const { return hoverTimer_; }

    void Click() override;
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void DoMouseEnter(TShiftState shift, int x, int y);
    virtual void DoMouseLeave(TShiftState shift, int x, int y);

private:
    template <typename T> void Store(T& field, T value) {
        if (field == value) return;
        field = value;
        Invalidate();
    }
    void AnnounceGroup(int index);
    void RecheckHover();
    void HoverTimerTick();
    void GlyphChanged();
    void ColorsChanged() { Invalidate(); }
    void CMButtonPressed(TMessage& m);
    void CMEnabledChanged();
    void CMDialogChar(TMessage& m);
    void CursorEvent(bool enter);

    TShineBtnColors* LookColors() const;
    TFont* LookFont() const;
    void PaintBackground(TCanvas* canvas);
    void PaintGlyphAndCaption(TCanvas* canvas);
    void PaintFrame(TCanvas* canvas);
    std::unique_ptr<TBitmap> MakeStateGlyph() const;
    ShineLayoutResult CalcLayout(TCanvas* canvas) const;
    void DrawCaption(TCanvas* canvas, TRect rect);

    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    bool clickDownHook_ = false;
    bool accelCharDown_ = false;
    TFrameType frameType_ = ftNormalFrame;
    bool transparent_ = false;
    bool activeFrame_ = true;
    bool upFrame_ = true;
    bool downFrame_ = true;
    TActiveImageType activeImage_ = aiFrameLight;
    TDisabledImageType disabledImage_ = diDefault;
    TColor disabledHighlight_ = clBtnHighlight;
    TColor disabledShadow_ = clBtnShadow;
    TColor shineColor_ = clYellow;
    TColor fontHighlight_ = clNone;
    TColor fontShadow_ = clNone;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    std::unique_ptr<TShineBtnColors> colors_;
    std::unique_ptr<TShineBtnColors> pressedColors_;
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TFont> activeFont_;
    std::unique_ptr<TBitmap> glyph_;
    TTimer* hoverTimer_ = nullptr; // owned as a component

    int look_ = LookUp;
    bool hot_ = false;
    bool pressing_ = false;
    TSpeedButton* announcer_ = nullptr; // exists only inside AnnounceGroup
};

} // namespace sv
