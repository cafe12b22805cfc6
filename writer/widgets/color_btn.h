#pragma once
// An owner-drawn push button whose whole face is one colour, with a 3-D bevel whose light and
// dark edges are derived from that colour; the base of the point, bitmap and animated buttons.
#include "framework/canvas.h"
#include "framework/stdctrls.h"

#include <memory>

namespace sv {

enum class TColorBtnBevel { cbStd, cbLowered, cbRaised };
using enum TColorBtnBevel;

class TColorBtn : public TButton {
public:
    explicit TColorBtn(TComponent* owner);
    ~TColorBtn() override;
    std::string ClassName() const override { return "TColorBtn"; }

    // cbStd follows the pressed state; the others stay as named and never move the caption.
    TColorBtnBevel BevelStyle() const { return bevelStyle_; }
    void SetBevelStyle(TColorBtnBevel style);
    // Rings of the bevel; a negative width is stored as 1.
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);
    TColor GetColor() const { return Color(); }
    virtual void SetColor(TColor color);

    // Whether the button shows as the form's active button (the focus or the default one).
    bool IsFocused() const { return focused_; }
    // Only repaints: the window stays owner-drawn.
    void SetButtonStyle(bool isDefault) override;

    // The whole face for an owner-draw item state (ODS_SELECTED, ODS_FOCUS) on Canvas().
    virtual void DrawObject(const TRect& rect, unsigned state);
    // The caption centred in `rect`, grown by `offset`; the height drawn.
    int DrawCaption(const TRect& rect, int offset);
    // The drawing canvas: it has a surface only while the face is drawn.
    TCanvas* Canvas() const { return canvas_.get(); }

    // Each channel plus `amount`, at most 255; clWhite itself gives 223s (so its light edge
    // still shows).
    static TColor GetBrightColor(TColor color, int amount);
    // Each channel minus `amount`, at least 0; clBlack itself gives 32s.
    static TColor GetDarkColor(TColor color, int amount);

protected:
    void CreateParams(TCreateParams& params) override;
    void Dispatch(TMessage& message) override;

    // The face on `canvas`: fill, focus frame, bevel and pressed offset; then `glyph`(area),
    // which may place a picture and narrows the area left for the caption; the caption with
    // `caption`(rect, offset), the class's own routine, once when enabled and twice when
    // disabled (light with offset 1, then dark with 0); last the focus rectangle.
    template <class GlyphFn, class CaptionFn>
    void DrawSteps(TCanvas* canvas, const TRect& rect, unsigned state, GlyphFn glyph,
                   CaptionFn caption);
    // The caption centred on the text block: measured with `measureFormat` in `rect` narrowed
    // by `measureInset` on the right and bottom, drawn grown by `offset` on every side, or with
    // `topLeftOnly` moved right and down by it.
    int DrawCaptionOn(TCanvas* canvas, const TRect& rect, int offset, unsigned measureFormat,
                      int measureInset, bool topLeftOnly);

private:
    // Returns what is left inside the bevel.
    TRect DrawFace(TCanvas* canvas, const TRect& rect, unsigned state);
    void PrepareDisabledPass(TCanvas* canvas, bool light);
    // Inside `rect`, the area inside the bevel.
    void DrawFocus(TCanvas* canvas, const TRect& rect, unsigned state);

    TColorBtnBevel bevelStyle_ = cbStd;
    int bevelWidth_ = 1;
    std::unique_ptr<TCanvas> canvas_;
    bool focused_ = false;
};

template <class GlyphFn, class CaptionFn>
void TColorBtn::DrawSteps(TCanvas* canvas, const TRect& rect, unsigned state, GlyphFn glyph,
                          CaptionFn caption) {
    const TRect r = DrawFace(canvas, rect, state);
    TRect area = r;
    glyph(area);
    canvas->Brush()->SetColor(Color());
    if (Enabled()) {
        caption(area, 0);
    } else {
        PrepareDisabledPass(canvas, true);
        caption(area, 1);
        PrepareDisabledPass(canvas, false);
        caption(area, 0);
    }
    DrawFocus(canvas, r, state);
}

} // namespace sv
