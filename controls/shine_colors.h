#pragma once
// The colour set of a shining speed button: one for its up, hot and disabled looks, one for
// its down looks.
#include "framework/component.h"
#include "framework/graphics.h"

namespace sv {

class TShineBtnColors : public TPersistent {
public:
    TShineBtnColors();
    ~TShineBtnColors() override;
    TShineBtnColors(const TShineBtnColors&) = delete;
    TShineBtnColors& operator=(const TShineBtnColors&) = delete;
    std::string ClassName() const override { return "TShineBtnColors"; }

    // Copies the seven values; any other source (nil included) raises EConvertError.
    void Assign(const TPersistent* source) override;

    TColor Highlight() const { return highlight_; }
    void SetHighlight(TColor v);
    TColor Shadow() const { return shadow_; }
    void SetShadow(TColor v);
    TColor DarkShadow() const { return darkShadow_; }
    void SetDarkShadow(TColor v);
    TColor GradColor() const { return gradColor_; }
    void SetGradColor(TColor v);
    bool GradVertical() const { return gradVertical_; }
    void SetGradVertical(bool v);
    bool Gradation() const { return gradation_; }
    void SetGradation(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);

    // Change hook; the owning button sets it.
    TNotifyEvent OnColorsChange;

protected:
    void AssignTo(TPersistent* dest) const override;

private:
    template <typename T> void Store(T& field, T value);
    void CopyFrom(const TShineBtnColors& other);
    void Changed();

    TColor highlight_ = clBtnHighlight;
    TColor shadow_ = clBtnShadow;
    TColor darkShadow_ = clWindowFrame;
    TColor gradColor_ = clBlue;
    bool gradVertical_ = false;
    bool gradation_ = false;
    TColor color_ = clBtnFace;
};

} // namespace sv
