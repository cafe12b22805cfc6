#pragma once
// A non-visual painter of colour ramps: bands of one colour scaled from black to full strength
// (or back) across or down a rectangle of a canvas its owner hands it while painting.
#include "framework/component.h"
#include "framework/graphics.h"

#include <functional>

namespace sv {

class TCanvas;

enum class TGradateDir { gdLight, gdDark };
using enum TGradateDir;
enum class TGradateType { gtNone, gtHorizon, gtVertical };
using enum TGradateType;

class TGradate : public TComponent {
public:
    explicit TGradate(TComponent* owner);
    std::string ClassName() const override { return "TGradate"; }

    // The setters only store: the owner paints when it paints.
    TColor BasicColor() const { return basicColor_; }
    void SetBasicColor(TColor color) { basicColor_ = color; }
    // gdLight runs from black to the colour, gdDark the other way.
    TGradateDir Direction() const { return direction_; }
    void SetDirection(TGradateDir direction) { direction_ = direction; }
    TGradateType GradateType() const { return gradateType_; }
    void SetGradateType(TGradateType type) { gradateType_ = type; }
    // Band thickness in pixels; 0 makes 48 bands; anything below 2 gives 2.
    int Steps() const { return steps_; }
    void SetSteps(int steps) { steps_ = steps; }

    // Paints the ramp into `rect`; a canvas without a surface gets nothing. Positions are
    // canvas coordinates, so a rectangle that does not start at 0 starts part way up the ramp.
    void DrawGradate(TCanvas* canvas, TRect& rect);
    // The remembered rectangle of the last call.
    const TRect& TargetRect() const { return rect_; }

    // Each channel scaled by position / extent, within 0..255; 0 where the extent is 0.
    static TColor getcol(int red, int green, int blue, long long position, long long extent);

private:
    void hmake(int red, int green, int blue);
    void vmake(int red, int green, int blue);
    // Bands from `from` towards `to` (the extent), only those reaching into the visible part;
    // `fill` paints one band between two positions in the brush set for it.
    void MakeBands(int from, int to, int visibleFrom, int visibleTo, int red, int green, int blue,
                   const std::function<void(int, int)>& fill);
    int Band(long long size) const;

    TColor basicColor_ = clBlue;
    TGradateDir direction_ = gdDark;
    TGradateType gradateType_ = gtHorizon;
    TCanvas* canvas_ = nullptr; // only during DrawGradate
    int steps_ = 0;
    TRect rect_;
};

} // namespace sv
