#pragma once
// LOCAL STAND-INS for framework classes that the framework does not have yet (TTimer and
// TSpeedButton) and file drop support. Minimal, only what the controls here use; delete this file
// and include the framework's headers once they exist.
#include "framework/bitmap.h"
#include "framework/control.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace sv::gap {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    int Interval() const { return interval_; }
    void SetInterval(int v);
    // Runs OnTimer as a tick would.
    void Fire();
    TNotifyEvent OnTimer;

private:
    void Update();
    bool enabled_ = true;
    int interval_ = 1000;
    std::unique_ptr<QTimer> timer_;
};

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
using enum TButtonLayout;

// Group part of the framework's speed button: GroupIndex, Down and AllowAllUp, announced to
// the parent's controls with 0xB018 whenever one of them takes effect.
class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool v);
    bool Flat() const { return flat_; }
    void SetFlat(bool v) { flat_ = v; }
    int Margin() const { return margin_; }
    void SetMargin(int v) { margin_ = v; }
    TBitmap* Glyph() const { return glyph_.get(); }
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    void Announce();
    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    bool flat_ = false;
    int margin_ = -1;
    bool pressed_ = false;
    std::unique_ptr<TBitmap> glyph_;
};

// Files dropped on a control: WM_DROPFILES carries a pointer to this record in WParam.
struct TDropRecord {
    std::vector<std::string> Files;
    TPoint Point; // client coordinates of the control
    bool Finished = false;
};

// Registers the control's widget for local-file drops (or stops accepting them); a drop
// arrives as WM_DROPFILES performed on the control.
void DragAcceptFiles(TWinControl* control, bool accept);
// Whether the control's widget accepts drops now.
bool DragAcceptsFiles(TWinControl* control);
int DragQueryFileCount(std::intptr_t drop);
std::string DragQueryFile(std::intptr_t drop, int index);
TPoint DragQueryPoint(std::intptr_t drop);
void DragFinish(std::intptr_t drop);

} // namespace sv::gap

namespace sv {
using gap::DragAcceptFiles;
using gap::DragAcceptsFiles;
using gap::DragFinish;
using gap::DragQueryFile;
using gap::DragQueryFileCount;
using gap::DragQueryPoint;
using gap::TButtonLayout;
using gap::TDropRecord;
using gap::TSpeedButton;
using gap::TTimer;
using enum gap::TButtonLayout;
} // namespace sv
