#include "framework/extctrls.h"
#include "widget_test.h"
#include "writer/widgets/ani_btn.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace sv::test {
namespace {

TEST(AniBtnClock, RoundsToTheNearestTick) {
    const std::pair<int, int> table[] = {{1, 0},     {27, 0},    {28, 55},   {82, 55}, {83, 110},
                                         {137, 110}, {200, 220}, {220, 220}, {0, 0},   {-100, -55}};
    for (auto [in, out] : table) EXPECT_EQ(TAniBtn::clockround(in), out) << in;
    // The ends of the range neither overflow nor change sign.
    EXPECT_EQ(TAniBtn::clockround(INT_MAX), 2147483635);
    EXPECT_EQ(TAniBtn::clockround(INT_MIN), -2147483635);
}

// A strip of `frames` square 16-pixel frames, frame k filled with colour k.
const TColor kFrameColors[] = {clRed, clLime, clBlue, clYellow};
std::unique_ptr<TBitmap> Frames(int frames, int width = 0) {
    auto s = std::make_unique<TBitmap>(width ? width : frames * 16, 16);
    for (int k = 0; k < frames; ++k) {
        s->Canvas()->Brush()->SetColor(kFrameColors[k % 4]);
        s->Canvas()->FillRect(Rect(k * 16, 0, k * 16 + 16, 16));
    }
    return s;
}

class AniBtnTest : public WidgetTest {
protected:
    TAniBtn* Button(int group, bool master = false, TWinControl* parent = nullptr) {
        auto* b = Make<TAniBtn>(parent);
        b->SetBounds(0, 0, 60, 24);
        b->SetGlyph(Frames(4).get());
        b->SetGroupIndex(group);
        b->SetIntervalTime(55);
        if (master) b->SetAnimateMaster(true);
        return b;
    }
    static void Tick(TAniBtn* master, int n = 1) {
        for (int i = 0; i < n; ++i) master->MasterTimer()->Fire();
    }
};

TEST_F(AniBtnTest, StripsAndFrameCounts) {
    auto* b = Make<TAniBtn>();
    EXPECT_EQ(b->IntervalTime(), 220);
    EXPECT_EQ(b->Countdown(), 220);
    b->SetGlyph(Frames(4).get());
    EXPECT_EQ(b->GlyphNum(), 4);
    EXPECT_EQ(b->FrameWidth(), 16);
    b->SetGlyphNum(3);
    EXPECT_EQ(b->GlyphNum(), 3);
    EXPECT_EQ(b->FrameWidth(), 0);
    b->SetGlyph(Frames(3, 50).get()); // not a whole number of square frames
    EXPECT_EQ(b->GlyphNum(), 3);
    EXPECT_EQ(b->FrameWidth(), 0);
}

TEST_F(AniBtnTest, FramesAdvanceByIntervalAndWrapAround) {
    TAniBtn* m = Button(1, true);
    m->SetIntervalTime(200); // 220: four ticks a frame
    Tick(m, 3);
    EXPECT_EQ(m->FrameOffset(), 0);
    Tick(m);
    EXPECT_EQ(m->FrameOffset(), 16);
    Tick(m, 3);
    EXPECT_EQ(m->FrameOffset(), 16);
    Tick(m);
    EXPECT_EQ(m->FrameOffset(), 32);
    Tick(m, 8);
    EXPECT_EQ(m->FrameOffset(), 0);
    // The face shows the current frame.
    Tick(m, 4);
    auto bmp = DrawItem(m, 0);
    EXPECT_EQ(PixelAt(*bmp, 30, 12), Px(clLime));
}

TEST_F(AniBtnTest, TheMastersClockTicksEvery55Milliseconds) {
    TAniBtn* m = Button(1);
    TAniBtn* follower = Button(1);
    std::vector<double> changes; // when the follower showed its next frame, in ms
    const auto start = std::chrono::steady_clock::now();
    m->SetAnimateMaster(true);
    for (int last = 0; changes.size() < 8; Application->HandleMessage()) {
        if (follower->FrameOffset() == last) continue;
        last = follower->FrameOffset();
        changes.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // The first frame lasts the constructor's four ticks, each later one a tick; a late tick
    // (a busy machine) does not delay the ones after it.
    std::vector<double> late;
    for (std::size_t j = 0; j < changes.size(); ++j) {
        EXPECT_GE(changes[j], 55.0 * (j + 4) - 1) << j;
        late.push_back(changes[j] - 55.0 * (j + 4));
    }
    std::sort(late.begin(), late.end());
    EXPECT_LE(late[late.size() / 2], 15);
}

TEST_F(AniBtnTest, FollowersBySameGroupOnTheSameParentOnly) {
    TAniBtn* m = Button(1, true);
    TAniBtn* same = Button(1);
    TAniBtn* other = Button(2);
    TAniBtn* none = Button(0);
    auto* panel = Make<TPanel>();
    TAniBtn* elsewhere = Button(1, false, panel);
    Tick(m, 4); // the first countdown is the constructor's 220
    EXPECT_EQ(m->FrameOffset(), 16);
    EXPECT_EQ(same->FrameOffset(), 16);
    EXPECT_EQ(other->FrameOffset(), 0);
    EXPECT_EQ(none->FrameOffset(), 0);
    EXPECT_EQ(elsewhere->FrameOffset(), 0);
}

TEST_F(AniBtnTest, GroupZeroAndTwoMasters) {
    TAniBtn* lone = Button(0, true);
    TAniBtn* follower0 = Button(0);
    Tick(lone, 4);
    EXPECT_EQ(lone->FrameOffset(), 16);
    EXPECT_EQ(follower0->FrameOffset(), 0);

    TAniBtn* a = Button(3, true);
    TAniBtn* b = Button(3, true);
    TAniBtn* f = Button(3);
    // Each master counts its own ticks and the other's: two steps per round of ticks.
    for (int i = 0; i < 3; ++i) {
        Tick(a);
        Tick(b);
    }
    EXPECT_EQ(a->FrameOffset(), 48);
    EXPECT_EQ(b->FrameOffset(), 48);
    EXPECT_EQ(f->FrameOffset(), 48);
}

TEST_F(AniBtnTest, IntervalZeroOrNegativeStopsForGood) {
    TAniBtn* m = Button(0, true);
    m->SetIntervalTime(0); // the running countdown still runs out
    Tick(m, 4);
    EXPECT_EQ(m->FrameOffset(), 16);
    EXPECT_EQ(m->Countdown(), 0);
    m->SetIntervalTime(55);
    Tick(m, 5);
    EXPECT_EQ(m->FrameOffset(), 16);

    TAniBtn* n = Button(0, true);
    n->SetIntervalTime(-100);
    Tick(n, 6);
    EXPECT_EQ(n->FrameOffset(), 16);
    EXPECT_EQ(n->Countdown(), -55); // stopped, not counting on towards an overflow
}

TEST_F(AniBtnTest, DesignModeAndAMasterWithoutParent) {
    TAniBtn* m = Button(1, true);
    m->SetDesigning(true);
    Tick(m, 4);
    EXPECT_EQ(m->FrameOffset(), 0);

    auto* orphan = new TAniBtn(form);
    orphan->SetGlyph(Frames(4).get());
    orphan->SetIntervalTime(55);
    orphan->SetGroupIndex(1);
    orphan->SetAnimateMaster(true);
    Tick(orphan, 4);
    EXPECT_EQ(orphan->FrameOffset(), 16);
}

} // namespace
} // namespace sv::test
