#pragma once
// Colour buttons that light up while the mouse is over them (TPointBtn), one of them with a
// glyph beside, above or below its caption (TBmpBtn).
#include "writer/widgets/color_btn.h"
#include "writer/widgets/glyph_layout.h"

#include <memory>

namespace sv {

class TBitmap;
class TImageList;

class TPointBtn : public TColorBtn {
public:
    explicit TPointBtn(TComponent* owner);
    ~TPointBtn() override;
    std::string ClassName() const override { return "TPointBtn"; }

    // Off restores the leave colour and gives back a capture the button holds.
    bool PointEnabled() const { return pointEnabled_; }
    virtual void SetPointEnabled(bool enabled);
    // Shown from the next time the mouse comes over the button.
    TColor PointColor() const { return pointColor_; }
    virtual void SetPointColor(TColor color);
    // The resting face colour; applied at once.
    TColor LeftColor() const { return leftColor_; }
    virtual void SetLeftColor(TColor color);

    void Click() override;
    void DblClick() override;

protected:
    void InitWidget() override;
    void Dispatch(TMessage& message) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void releaseout();

private:
    // Back to resting when the button can no longer see the mouse leave.
    void EndPointing();

    bool pointEnabled_ = false;
    TColor pointColor_ = clLime;
    TColor leftColor_ = clBtnFace;
};

class TBmpBtn : public TPointBtn {
public:
    explicit TBmpBtn(TComponent* owner);
    ~TBmpBtn() override;
    std::string ClassName() const override { return "TBmpBtn"; }

    // A strip of square cells as high as the bitmap; the first cell is drawn, while the
    // layout reserves the whole strip's width.
    TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(const TBitmap* glyph);
    // Negative values are stored as -1: centred on the layout's axis.
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    TLayout Layout() const { return layout_; }
    void SetLayout(TLayout layout);
    // Stored only; negative values are ignored.
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    TImageList* Images() const { return images_; }

    void DrawObject(const TRect& rect, unsigned state) override;
    int DrawCaption(const TRect& rect, int offset);

protected:
    void Loaded() override;

private:
    void RebuildImages();
    void DrawGlyph(TRect& area);

    std::unique_ptr<TBitmap> glyph_;
    TLayout layout_ = blBtnLeft;
    int margin_ = 1;
    int spacing_ = 2;
    TImageList* images_ = nullptr; // owned as a component
};

} // namespace sv
