#include "controls/shine_button.h"

#include "framework/buttons.h"
#include "framework/extctrls.h"

#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace sv {
namespace {

using test::ClickAt;
using test::MoveCursorAway;
using test::MoveCursorTo;
using test::PixelAt;
using test::Press;
using test::Release;
using test::RenderControl;

class ShineButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(Application);
        form->SetBounds(0, 0, 400, 200);
        form->Show();
    }
    // The form goes first: handlers that count into locals of a test body must not run after it.
    void TearDown() override {
        form.reset();
        MoveCursorAway();
    }
    TShineSpeedButton* Add(int group, int left, TWinControl* parent = nullptr) {
        auto* b = new TShineSpeedButton(form.get());
        b->SetParent(parent ? parent : form.get());
        b->SetBounds(left, 10, 40, 24);
        b->SetGroupIndex(group);
        return b;
    }
    std::unique_ptr<TForm> form;
};

TEST_F(ShineButtonTest, ClickInExclusiveGroupPutsOthersUpAndEndsHotDown) {
    auto* a = Add(1, 0);
    auto* b = Add(1, 50);
    auto* c = Add(1, 100);
    a->SetDown(true);
    int clicks = 0, enters = 0;
    b->OnClick = [&](TObject* s) {
        EXPECT_EQ(s, b);
        ++clicks;
    };
    b->OnMouseEnter = [&](TObject*, TShiftState, int, int) { ++enters; };
    MoveCursorTo(b, 5, 5);
    const int entersBefore = enters;
    ClickAt(b, 5, 5);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    EXPECT_FALSE(c->Down());
    EXPECT_EQ(clicks, 1);
    EXPECT_GT(enters, entersBefore) << "OnMouseEnter fires again after the release";
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookDownHot);
    EXPECT_EQ(a->LookState(), TShineSpeedButton::LookUp);

    ClickAt(b, 5, 5);
    EXPECT_TRUE(b->Down()) << "the down member of an exclusive group stays down";
    EXPECT_EQ(clicks, 2);
}

TEST_F(ShineButtonTest, DownSetterPutsTheOldOneUpBeforeOnClickRuns) {
    auto* a = Add(1, 0);
    auto* b = Add(1, 50);
    a->SetDown(true);
    bool aWasUp = false;
    b->OnClick = [&](TObject*) { aWasUp = !a->Down(); };
    // As the main window's menu does: the setter, then the handler called directly.
    b->SetDown(true);
    b->OnClick(b);
    EXPECT_TRUE(aWasUp);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookDown);

    a->SetDown(false);
    EXPECT_FALSE(a->Down());
    b->SetDown(false);
    EXPECT_TRUE(b->Down()) << "no way up through the setter without AllowAllUp";
}

TEST_F(ShineButtonTest, SwitchAndUngroupedButton) {
    auto* sw = Add(5, 0);
    sw->SetAllowAllUp(true);
    ClickAt(sw, 3, 3);
    EXPECT_TRUE(sw->Down());
    ClickAt(sw, 3, 3);
    EXPECT_FALSE(sw->Down());

    auto* plain = Add(0, 100);
    int clicks = 0;
    plain->OnClick = [&](TObject*) { ++clicks; };
    plain->SetDown(true);
    EXPECT_FALSE(plain->Down()) << "a button outside a group never goes down";
    ClickAt(plain, 3, 3);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(plain->Down());
}

TEST_F(ShineButtonTest, ReleaseOutsideDoesNotClickAndFiresLeave) {
    auto* b = Add(1, 50);
    int clicks = 0, leaves = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    b->OnMouseLeave = [&](TObject*, TShiftState, int, int) { ++leaves; };
    Press(b, 5, 5);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookDownHot);
    test::MouseMoveOn(b, 0, 5, Qt::LeftButton);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp) << "column 0 counts as outside here";
    test::MouseMoveOn(b, 1, 1, Qt::LeftButton);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookDownHot);
    Release(b, 200, 100);
    EXPECT_EQ(clicks, 0);
    EXPECT_GE(leaves, 1);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp);
    EXPECT_FALSE(b->Down());

    Press(b, 5, 5);
    Release(b, 0, 0);
    EXPECT_EQ(clicks, 1) << "a release on column 0 still clicks";
}

TEST_F(ShineButtonTest, DisablingClearsDownAndEnablingLeavesItUp) {
    auto* b = Add(1, 50);
    b->SetDown(true);
    b->SetEnabled(false);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookDisabled);
    b->SetEnabled(true);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp);
    int clicks = 0;
    b->SetEnabled(false);
    b->OnClick = [&](TObject*) { ++clicks; };
    ClickAt(b, 5, 5);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ShineButtonTest, MixedGroupWithFrameworkSpeedButton) {
    auto* shine = Add(3, 0);
    auto* plain = new TSpeedButton(form.get());
    plain->SetParent(form.get());
    plain->SetBounds(100, 10, 40, 24);
    plain->SetGroupIndex(3);
    shine->SetDown(true);
    plain->SetDown(true);
    EXPECT_FALSE(shine->Down());
    shine->SetDown(true);
    EXPECT_FALSE(plain->Down());
    EXPECT_EQ(form->ControlCount(), 2) << "the announcer is gone again";
}

TEST_F(ShineButtonTest, EqualGroupsInDifferentParentsAreIndependent) {
    auto* p1 = new TCustomControl(form.get());
    p1->SetParent(form.get());
    p1->SetBounds(0, 50, 150, 60);
    auto* p2 = new TCustomControl(form.get());
    p2->SetParent(form.get());
    p2->SetBounds(200, 50, 150, 60);
    auto* a = Add(1, 0, p1);
    auto* b = Add(1, 0, p2);
    a->SetDown(true);
    b->SetDown(true);
    EXPECT_TRUE(a->Down());
    EXPECT_TRUE(b->Down());
}

TEST_F(ShineButtonTest, HoverTimerCatchesAMissedLeave) {
    auto* b = Add(1, 50);
    int leaves = 0;
    b->OnMouseLeave = [&](TObject*, TShiftState, int, int) { ++leaves; };
    MoveCursorTo(b, 5, 5);
    ASSERT_TRUE(b->Hot());
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookHot);
    ASSERT_TRUE(b->HoverTimer()->Enabled());
    SetCursorPos(Point(-5000, -5000)); // gone without an idle pass
    b->HoverTimer()->Fire();
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(b->Hot());
    EXPECT_FALSE(b->HoverTimer()->Enabled());
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp);
}

TEST_F(ShineButtonTest, EnterWhileAnotherControlHoldsCaptureKeepsTheLook) {
    auto* b = Add(1, 50);
    auto* other = Add(0, 150);
    int enters = 0;
    b->OnMouseEnter = [&](TObject*, TShiftState, int, int) { ++enters; };
    SetCaptureControl(other);
    SetCursorPos(b->ClientToScreen(Point(5, 5)));
    b->Perform(CM_MOUSEENTER);
    SetCaptureControl(nullptr);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp);
    EXPECT_FALSE(b->Hot());
}

TEST_F(ShineButtonTest, DoubleClickOnlyWhileDownAndAccelerator) {
    auto* b = Add(7, 50);
    b->SetAllowAllUp(true);
    b->SetCaption("&Go");
    int dbl = 0, clicks = 0;
    b->OnDblClick = [&](TObject*) { ++dbl; };
    b->OnClick = [&](TObject*) { ++clicks; };
    b->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(5, 5));
    EXPECT_EQ(dbl, 0);
    b->SetDown(true);
    b->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(5, 5));
    EXPECT_EQ(dbl, 1);
    b->Perform(WM_LBUTTONUP, 0, MakeLParam(5, 5));

    const int before = clicks;
    const bool down = b->Down();
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'g'), 1);
    EXPECT_EQ(clicks, before + 1);
    EXPECT_EQ(b->Down(), down) << "AccelCharDown False only clicks";
    b->SetAccelCharDown(true);
    b->Perform(CM_DIALOGCHAR, 'G');
    EXPECT_EQ(b->Down(), !down);
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'x'), 0);
}

TEST_F(ShineButtonTest, ColourSetsAndFontsAreCopiedNeverReplaced) {
    auto* b = Add(0, 0);
    TShineBtnColors* own = b->Colors();
    TShineBtnColors src;
    src.SetColor(0x00D9DEC7);
    b->SetColors(&src);
    EXPECT_EQ(b->Colors(), own);
    EXPECT_EQ(b->Colors()->Color(), 0x00D9DEC7u);
    EXPECT_THROW(b->SetColors(nullptr), EConvertError);
    EXPECT_EQ(b->PressedColors()->Color(), clBtnHighlight);
    TFont* font = b->Font();
    b->SetFont(nullptr);
    EXPECT_EQ(b->Font(), font);
    EXPECT_EQ(b->Font()->Color(), clBtnText);
    EXPECT_EQ(b->ActiveFont()->Color(), clHighlight);
}

// ---- painting ----------------------------------------------------------------------------

class ShinePaintTest : public ShineButtonTest {
protected:
    TShineSpeedButton* Plain(int w, int h) {
        auto* b = Add(9, 0);
        b->SetAllowAllUp(true);
        b->SetBounds(0, 0, w, h);
        b->Colors()->SetColor(RGB(10, 20, 30));
        b->PressedColors()->SetColor(RGB(200, 100, 50));
        return b;
    }
    static std::uint32_t Px(TColor c) { return test::Px(c); }
};

TEST_F(ShinePaintTest, NormalFrameRaisedAndPressedCornerPixels) {
    auto* b = Plain(12, 10);
    auto up = RenderControl(b);
    const std::uint32_t face = Px(RGB(10, 20, 30));
    EXPECT_EQ(PixelAt(*up, 0, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 10, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 11, 0), face) << "both lines stop short of the top-right corner";
    EXPECT_EQ(PixelAt(*up, 0, 9), face);
    EXPECT_EQ(PixelAt(*up, 11, 9), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*up, 11, 1), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*up, 10, 8), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*up, 1, 8), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*up, 5, 5), face);

    b->SetDown(true);
    auto down = RenderControl(b);
    const std::uint32_t pface = Px(RGB(200, 100, 50));
    EXPECT_EQ(PixelAt(*down, 0, 0), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*down, 1, 1), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*down, 11, 9), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*down, 11, 0), pface);
    EXPECT_EQ(PixelAt(*down, 5, 5), pface);
}

TEST_F(ShinePaintTest, FlatAndEnclosedFrames) {
    auto* b = Plain(12, 10);
    b->SetFrameType(ftFlatFrame);
    auto flat = RenderControl(b);
    EXPECT_EQ(PixelAt(*flat, 0, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*flat, 11, 9), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*flat, 1, 1), Px(RGB(10, 20, 30)));

    b->SetFrameType(ftEnclosedFrame);
    b->SetDown(true);
    auto enc = RenderControl(b);
    EXPECT_EQ(PixelAt(*enc, 0, 0), Px(clWindowFrame)) << "outline in the up set's dark shadow";
    EXPECT_EQ(PixelAt(*enc, 11, 9), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*enc, 1, 1), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*enc, 10, 8), Px(clBtnHighlight));
}

TEST_F(ShinePaintTest, FrameSwitchesAndTransparent) {
    auto* b = Plain(12, 10);
    b->SetUpFrame(false);
    auto none = RenderControl(b);
    EXPECT_EQ(PixelAt(*none, 0, 0), Px(RGB(10, 20, 30)));
    b->SetTransparent(true);
    EXPECT_FALSE(b->ControlStyle().Contains(csOpaque));
    QImage img(12, 10, QImage::Format_RGB32);
    img.fill(QColor(0, 255, 0));
    b->PaintOn(&img, Point(0, 0), Rect(0, 0, 12, 10));
    TBitmap shown;
    shown.SetImage(img);
    auto* bmp = &shown;
    EXPECT_EQ(PixelAt(*bmp, 5, 5), Px(clLime)) << "no background of its own";
}

TEST_F(ShinePaintTest, GradationRunsFromColorToGradColor) {
    auto* b = Plain(256, 20);
    b->SetUpFrame(false);
    b->Colors()->SetColor(RGB(200, 200, 200));
    b->Colors()->SetGradColor(RGB(100, 100, 100));
    b->Colors()->SetGradation(true);
    auto h = RenderControl(b);
    EXPECT_EQ(PixelAt(*h, 0, 5), 0xC8C8C8u);
    EXPECT_EQ(PixelAt(*h, 255, 5), 0x646464u);
    EXPECT_EQ(PixelAt(*h, 128, 5), 0x969696u);
    b->Colors()->SetGradVertical(true);
    auto v = RenderControl(b);
    EXPECT_EQ(PixelAt(*v, 100, 0), 0xC8C8C8u);
    EXPECT_EQ(PixelAt(*v, 100, 19), 0x646464u);
}

TEST_F(ShinePaintTest, CaptionShiftsInPressedLooksAndDisabledDrawsTwice) {
    auto* b = Plain(80, 30);
    b->SetUpFrame(false);
    b->SetDownFrame(false);
    b->SetActiveFrame(false);
    b->SetCaption("AB");
    b->Font()->SetColor(clBlack);
    auto firstInk = [](const TBitmap& bmp, std::uint32_t ink) {
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x)
                if (PixelAt(bmp, x, y) == ink) return Point(x, y);
        return Point(-1, -1);
    };
    auto up = RenderControl(b);
    const TPoint p = firstInk(*up, 0);
    ASSERT_GE(p.X, 0);
    // The caption's measured block, centred across the client width, starting at its top.
    TBitmap probe(1, 1);
    probe.Canvas()->Font()->Assign(b->Font());
    const TSize ext = probe.Canvas()->TextExtent("AB");
    EXPECT_GE(p.X, (80 - ext.cx) / 2);
    EXPECT_LT(p.X, (80 - ext.cx) / 2 + ext.cx);
    EXPECT_GE(p.Y, (30 - ext.cy) / 2);

    b->PressedColors()->SetColor(RGB(10, 20, 30));
    b->SetDown(true);
    auto down = RenderControl(b);
    EXPECT_EQ(firstInk(*down, 0), Point(p.X + 1, p.Y + 1));

    b->SetDown(false);
    b->SetEnabled(false);
    auto dis = RenderControl(b);
    EXPECT_EQ(firstInk(*dis, Px(clBtnShadow)), p) << "the shadow copy in place, on top";
    // The highlight copy lies under it one pixel right and down: its far edges show.
    auto farEdge = [](const TBitmap& bmp, std::uint32_t ink) {
        TPoint m{-1, -1};
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x)
                if (PixelAt(bmp, x, y) == ink) m = Point(std::max(m.X, x), std::max(m.Y, y));
        return m;
    };
    const TPoint shadowEdge = farEdge(*dis, Px(clBtnShadow));
    EXPECT_EQ(farEdge(*dis, Px(clBtnHighlight)), Point(shadowEdge.X + 1, shadowEdge.Y + 1));
}

TEST_F(ShinePaintTest, ShadowAndHighlightCopiesAndClickDownHook) {
    auto* b = Plain(80, 30);
    b->SetUpFrame(false);
    b->SetCaption("AB");
    b->Font()->SetColor(clBlack);
    b->SetFontShadow(clRed);
    b->SetFontHighlight(clBlue);
    auto bmp = RenderControl(b);
    // The normal copy lies on top: the shadow shows past its far edges, the highlight before
    // its near ones.
    int maxBlack = -1, maxRed = -1, minBlack = 1000, minBlue = 1000;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const std::uint32_t p = PixelAt(*bmp, x, y);
            if (p == 0) maxBlack = std::max(maxBlack, x), minBlack = std::min(minBlack, x);
            if (p == Px(clRed)) maxRed = std::max(maxRed, x);
            if (p == Px(clBlue)) minBlue = std::min(minBlue, x);
        }
    EXPECT_EQ(maxRed, maxBlack + 1);
    EXPECT_EQ(minBlue, minBlack - 1);

    int lookInClick = -1;
    b->OnClick = [&](TObject*) { lookInClick = b->LookState(); };
    b->SetClickDownHook(true);
    b->Click();
    EXPECT_EQ(lookInClick, TShineSpeedButton::LookDownHot);
    EXPECT_EQ(b->LookState(), TShineSpeedButton::LookUp) << "the look comes back afterwards";
    b->OnClick = nullptr;
}

TEST_F(ShinePaintTest, GlyphEffectsInHotAndDisabledLooks) {
    auto* b = Plain(20, 20);
    b->SetUpFrame(false);
    b->SetActiveFrame(false);
    TBitmap g(4, 4);
    g.Canvas()->Brush()->SetColor(clOlive);
    g.Canvas()->FillRect(Rect(0, 0, 4, 4));
    g.Canvas()->Brush()->SetColor(clRed);
    g.Canvas()->FillRect(Rect(1, 1, 3, 3));
    b->SetGlyph(&g);
    // Glyph at the centre: (20 - 4) / 2.
    auto up = RenderControl(b);
    EXPECT_EQ(PixelAt(*up, 9, 9), Px(clRed));
    EXPECT_EQ(PixelAt(*up, 8, 8), Px(RGB(10, 20, 30))) << "transparent corner";
    MoveCursorTo(b, 3, 3);
    ASSERT_EQ(b->LookState(), TShineSpeedButton::LookHot);
    auto hot = RenderControl(b);
    EXPECT_EQ(PixelAt(*hot, 9, 8), Px(clYellow)) << "outline in the shine colour";
    EXPECT_EQ(PixelAt(*hot, 9, 9), Px(clRed));
    MoveCursorAway();
    b->SetDisabledImage(diGrayscale);
    b->SetEnabled(false);
    auto dis = RenderControl(b);
    EXPECT_EQ(PixelAt(*dis, 9, 9), 0x555555u);
}

} // namespace
} // namespace sv
