#pragma once
// A label that can draw its caption with a drop shadow; it paints its whole face itself.
#include "framework/stdctrls.h"

namespace sv {

enum class TEffectType { etNone, etShadow };
using enum TEffectType;
enum class TGLChar { cpSingle, cpMulti };
using enum TGLChar;

class TGLabel : public TLabel {
public:
    explicit TGLabel(TComponent* owner);
    ~TGLabel() override;
    std::string ClassName() const override { return "TGLabel"; }

    // Each setter repaints at once, also when the value does not change.
    TEffectType EffectType() const { return effectType_; }
    void SetEffectType(TEffectType type) { StoreAndRefresh(effectType_, type); }
    // The shadow's colour (the background is the label's Color).
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor color) { StoreAndRefresh(backColor_, color); }
    // The shadow's offset right and down; negative values move it up and left.
    int EffectValue() const { return effectValue_; }
    void SetEffectValue(int value) { StoreAndRefresh(effectValue_, value); }
    // cpSingle: one vertically centred line; cpMulti: wrapped at words from the top.
    TGLChar CharPos() const { return charPos_; }
    void SetCharPos(TGLChar pos) { StoreAndRefresh(charPos_, pos); }

protected:
    void Paint() override;

private:
    template <class T> void StoreAndRefresh(T& field, T value) {
        field = value;
        Refresh();
    }
    void drawchar(TRect& rect, unsigned format);

    TEffectType effectType_ = etShadow;
    TColor backColor_ = clGray;
    int effectValue_ = 2;
    TGLChar charPos_ = cpSingle;
};

} // namespace sv
