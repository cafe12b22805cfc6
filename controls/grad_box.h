#pragma once
// The gradient box: solid bands from StartColor to EndColor, left to right or top to bottom.
#include "framework/control.h"

namespace sv {

enum class TGradDirection { gdHorizontal, gdVertical };
using enum TGradDirection;

class TGradBox : public TGraphicControl {
public:
    explicit TGradBox(TComponent* owner);
    std::string ClassName() const override { return "TGradBox"; }

    // The colour setters and GradStep store, repaint and announce even an unchanged value.
    TColor StartColor() const { return startColor_; }
    void SetStartColor(TColor v) { SetColorIndexed(1, v); }
    TColor EndColor() const { return endColor_; }
    void SetEndColor(TColor v) { SetColorIndexed(2, v); }
    int GradStep() const { return gradStep_; }
    void SetGradStep(int v);
    TGradDirection Direction() const { return direction_; }
    void SetDirection(TGradDirection v);

    TNotifyEvent OnChange;

protected:
    void Paint() override;

private:
    void SetColorIndexed(int index, TColor v);
    void Changed();

    TColor startColor_ = clWhite;
    TColor endColor_ = clBlack;
    int gradStep_ = 128; // a byte
    TGradDirection direction_ = gdVertical;
};

} // namespace sv
