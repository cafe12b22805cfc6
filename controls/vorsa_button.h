#pragma once
// The owner-drawn push button of both programs: any face colour, a caption of one or more
// lines placed by alignment, three edge styles and hover events.
#include "framework/stdctrls.h"

#include <memory>

namespace sv {

class TCanvas;
class TStrings;
class TStringList;
class TTimer;

// Scoped: bsNone would clash with the border styles.
enum class TButtonStyle { bsStd, bsIELike, bsNone };
enum class TNHAlignment { haLeft, haCenter, haRight };
using enum TNHAlignment;
enum class TNVAlignment { vaTop, vaCenter, vaBottom };
using enum TNVAlignment;

class TVorsaButton : public TButton {
public:
    explicit TVorsaButton(TComponent* owner);
    ~TVorsaButton() override;
    std::string ClassName() const override { return "TVorsaButton"; }

    TStrings* CaptionLines() const;
    // Copies only when the text differs; the own list is never replaced.
    void SetCaptionLines(const TStrings* lines);
    TNHAlignment CapAlignH() const { return capAlignH_; }
    void SetCapAlignH(TNHAlignment v) { Store(capAlignH_, v); }
    TNVAlignment CapAlignV() const { return capAlignV_; }
    void SetCapAlignV(TNVAlignment v) { Store(capAlignV_, v); }
    TButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyleProp(TButtonStyle v) { Store(buttonStyle_, v); }
    bool CapFixed() const { return capFixed_; }
    void SetCapFixed(bool v) { Store(capFixed_, v); }
    bool Focusline() const { return focusline_; }
    void SetFocusline(bool v) { Store(focusline_, v); }
    int CapOffsetH() const { return capOffsetH_; }
    void SetCapOffsetH(int v) { Store(capOffsetH_, v); }
    int CapOffsetV() const { return capOffsetV_; }
    void SetCapOffsetV(int v) { Store(capOffsetV_, v); }
    TColor FrameColor() const { return frameColor_; }
    void SetFrameColor(TColor v) { Store(frameColor_, v); }
    TColor EdgeHighlight() const { return edgeHighlight_; }
    void SetEdgeHighlight(TColor v) { Store(edgeHighlight_, v); }
    TColor EdgeShadow() const { return edgeShadow_; }
    void SetEdgeShadow(TColor v) { Store(edgeShadow_, v); }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    bool Hover() const { return hover_; }
    bool DefaultLook() const { return defaultLook_; }
    TTimer* HoverTimer() const { return hoverTimer_; }
    // Paints the whole face for the item state (ODS_SELECTED, ODS_FOCUS) onto `dest` at (0, 0).
    void DrawFace(TCanvas* dest, unsigned itemState);

    void Dispatch(TMessage& message) override;
    // The default look lives only in this button's painting; the window keeps owner-draw.
    void SetButtonStyle(bool isDefault) override;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    template <typename T> void Store(T& field, T value) {
        if (field == value) return;
        field = value;
        Invalidate();
    }
    std::string CaptionText() const;
    void MouseMoved(TMessage& m);

    std::unique_ptr<TStringList> captionLines_;
    TNHAlignment capAlignH_ = haCenter;
    TNVAlignment capAlignV_ = vaCenter;
    TButtonStyle buttonStyle_ = TButtonStyle::bsStd;
    bool capFixed_ = true;
    bool focusline_ = true;
    int capOffsetH_ = 0;
    int capOffsetV_ = 0;
    TColor frameColor_ = clWindowFrame;
    TColor edgeHighlight_ = clBtnHighlight;
    TColor edgeShadow_ = clBtnShadow;
    bool defaultLook_ = false;
    bool hover_ = false;
    TTimer* hoverTimer_ = nullptr; // owned as a component
};

} // namespace sv
