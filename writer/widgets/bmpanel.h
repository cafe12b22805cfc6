#pragma once
// A panel that shows an array of small integers as pictures: each element picks a square cell
// of a glyph strip, the cells sit in a row from the left, and the caption is drawn over them.
#include "framework/stdctrls.h"

#include <memory>
#include <vector>

namespace sv {

class TBitmap;

enum class TCaptionAlign { caTop, caCenter, caBottom };
using enum TCaptionAlign;

class TBmpanel : public TCustomPanel {
public:
    explicit TBmpanel(TComponent* owner);
    ~TBmpanel() override;
    std::string ClassName() const override { return "TBmpanel"; }

    // Cells are squares as high as the bitmap.
    TBitmap* Glyph() const { return glyph_.get(); }
    virtual void SetGlyph(const TBitmap* glyph);
    // Informational: painting does not read it.
    int GlyphNum() const { return glyphNum_; }
    virtual void SetGlyphNum(int count);
    // Gap before the first cell and between cells; negative values are ignored.
    int Spacing() const { return spacing_; }
    virtual void SetSpacing(int spacing);
    // A new length clears every element; 0 and negative lengths are ignored.
    int ArrayNum() const { return static_cast<int>(data_.size()); }
    void SetArrayNum(int count);
    // Outside the array: reads 0, writes nothing.
    int GetArrayData(int index) const;
    void SetArrayData(int index, int value);
    // As SetArrayData, repainting only when redraw is 1.
    void SetOneData(int index, int value, int redraw);
    // Whether elements equal to 0 are drawn (hidden ones keep their place).
    bool DispZero() const { return dispZero_; }
    void SetDispZero(bool show);
    // Shows at the next paint.
    TCaptionAlign CaptionAlign() const { return captionAlign_; }
    void SetCaptionAlign(TCaptionAlign align);

    static unsigned getalign(TAlignment alignment);

protected:
    void Loaded() override;
    void Paint() override;

private:
    bool InRange(int index) const { return index >= 0 && index < ArrayNum(); }
    void drawcondition(TCanvas* canvas, const TRect& r);
    void drawchar(TCanvas* canvas, const TRect& r);

    std::unique_ptr<TBitmap> glyph_;
    int spacing_ = 2;
    int glyphNum_ = 0;
    std::vector<int> data_;
    TCaptionAlign captionAlign_ = caCenter;
    bool dispZero_ = false;
    std::unique_ptr<TBitmap> work_;
};

} // namespace sv
