#pragma once
// A colour button that shows one square frame of a glyph strip at a time. Buttons keep no clock
// of their own: a master button's timer ticks every 55 ms and tells the other buttons of its
// group on the same parent; each turns its own interval into a count of ticks.
#include "writer/widgets/color_btn.h"
#include "writer/widgets/glyph_layout.h"

#include <cstdint>
#include <memory>

namespace sv {

class TBitmap;
class TTimer;

// The master's tick, to the controls of its parent: WParam its group, LParam the master.
inline constexpr unsigned WM_ANIBTN_SYNC = 0x7400;

class TAniBtn : public TColorBtn {
public:
    static constexpr int kTick = 55;

    explicit TAniBtn(TComponent* owner);
    ~TAniBtn() override;
    std::string ClassName() const override { return "TAniBtn"; }

    bool AnimateMaster() const { return animateMaster_; }
    virtual void SetAnimateMaster(bool master);
    // Milliseconds, stored as a multiple of the tick (clockround); a running countdown keeps
    // going. Zero or less stops the button once its countdown has run out.
    int IntervalTime() const { return intervalTime_; }
    virtual void SetIntervalTime(int ms);
    // 0: in no group.
    int GroupIndex() const { return groupIndex_; }
    virtual void SetGroupIndex(int group);
    // A strip of square frames as high as the bitmap; assigning it starts at the first frame.
    TBitmap* Glyph() const { return glyph_.get(); }
    virtual void SetGlyph(const TBitmap* glyph);
    // Frames in the strip: the strip is used only when this many square frames fill it.
    int GlyphNum() const { return glyphNum_; }
    virtual void SetGlyphNum(int count);
    int Margin() const { return margin_; }
    virtual void SetMargin(int margin);
    TLayout Layout() const { return layout_; }
    virtual void SetLayout(TLayout layout);
    // Stored only; negative values are ignored.
    int Spacing() const { return spacing_; }
    virtual void SetSpacing(int spacing);

    // What is left of the current frame's time, in milliseconds.
    std::int64_t Countdown() const { return countdown_; }
    // Left edge of the current frame in the strip, and a frame's width (0: no usable strip).
    int FrameOffset() const { return frameOffset_; }
    int FrameWidth() const { return frameWidth_; }
    TTimer* MasterTimer() const { return timer_; }

    // The nearest multiple of the tick, 1 to 27 giving 0.
    static int clockround(int ms);

    void DrawObject(const TRect& rect, unsigned state) override;
    virtual int DrawCaption(const TRect& rect, int offset);

protected:
    void Dispatch(TMessage& message) override;

private:
    void btntimer();
    void sendsyncro();
    void timerproc(const TMessage& message);
    void timesub();
    void DrawFrame(TRect& area);

    bool animateMaster_ = false;
    int intervalTime_ = 0;
    int groupIndex_ = 0;
    std::unique_ptr<TBitmap> glyph_;
    TLayout layout_ = blBtnLeft;
    int margin_ = -1;
    int spacing_ = 2;
    int glyphNum_ = 0;
    std::unique_ptr<TBitmap> work_;
    TTimer* timer_ = nullptr; // owned as a component while the button is the master
    std::int64_t countdown_ = 0;
    int frameOffset_ = 0;
    int frameWidth_ = 0;
};

} // namespace sv
