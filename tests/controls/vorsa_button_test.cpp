#include "controls/vorsa_button.h"

#include "framework/extctrls.h"
#include "framework/strings.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace sv {
namespace {

using test::PixelAt;

using test::Px;

class VorsaTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(Application);
        form->SetBounds(0, 0, 300, 200);
        btn = new TVorsaButton(form.get());
        btn->SetParent(form.get());
        btn->SetBounds(10, 10, 75, 25);
        btn->SetColor(0x00CBECB5);
    }
    void TearDown() override {
        form.reset();
        test::MoveCursorAway();
    }
    std::unique_ptr<TBitmap> Face(unsigned state) {
        auto bmp = std::make_unique<TBitmap>(btn->Width(), btn->Height());
        btn->DrawFace(bmp->Canvas(), state);
        return bmp;
    }
    // First pixel of `ink` scanning rows top to bottom.
    static TPoint FirstInk(const TBitmap& b, std::uint32_t ink, int margin = 3) {
        for (int y = margin; y < b.Height() - margin; ++y)
            for (int x = margin; x < b.Width() - margin; ++x)
                if (PixelAt(b, x, y) == ink) return Point(x, y);
        return Point(-1, -1);
    }
    std::unique_ptr<TForm> form;
    TVorsaButton* btn = nullptr;
};

TEST_F(VorsaTest, DefaultsAndOwnerDrawStyle) {
    TVorsaButton fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 75);
    EXPECT_EQ(fresh.Height(), 25);
    EXPECT_EQ(fresh.Color(), clWindow);
    EXPECT_TRUE(fresh.CapFixed());
    EXPECT_TRUE(fresh.Focusline());
    EXPECT_EQ(fresh.FrameColor(), clWindowFrame);
    btn->Handle();
    EXPECT_EQ(btn->WindowStyle() & 0x0F, BS_OWNERDRAW);
    // The window paints through the owner-draw notification.
    auto shown = test::RenderControl(btn);
    EXPECT_EQ(PixelAt(*shown, 3, 3), Px(0x00CBECB5));
    EXPECT_EQ(PixelAt(*shown, 0, 0), Px(clBtnHighlight));
}

TEST_F(VorsaTest, StdEdgesUpFocusedAndPressed) {
    const std::uint32_t face = Px(0x00CBECB5);
    auto up = Face(0);
    EXPECT_EQ(PixelAt(*up, 0, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 0, 23), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 74, 0), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*up, 0, 24), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*up, 73, 1), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*up, 1, 23), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*up, 73, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 2, 2), face);

    auto focused = Face(ODS_FOCUS);
    EXPECT_EQ(PixelAt(*focused, 0, 0), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*focused, 1, 1), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*focused, 73, 23), Px(clWindowFrame));

    auto pressed = Face(ODS_SELECTED | ODS_FOCUS);
    EXPECT_EQ(PixelAt(*pressed, 0, 0), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*pressed, 1, 1), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*pressed, 73, 23), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*pressed, 2, 2), face);
}

TEST_F(VorsaTest, FocusRectOnlyForTheFocusedDefaultButton) {
    auto plain = Face(ODS_FOCUS);
    btn->SetButtonStyle(true);
    auto def = Face(ODS_FOCUS);
    // The dotted ring, 4 inside: (4, 4) has x + y even and is XORed with clBtnFace.
    EXPECT_NE(PixelAt(*def, 4, 4), PixelAt(*plain, 4, 4));
    EXPECT_EQ(PixelAt(*def, 5, 4), PixelAt(*plain, 5, 4));
    btn->SetFocusline(false);
    auto off = Face(ODS_FOCUS);
    EXPECT_EQ(PixelAt(*off, 4, 4), PixelAt(*plain, 4, 4));
}

TEST_F(VorsaTest, IELikeAndNoneEdges) {
    btn->SetButtonStyleProp(TButtonStyle::bsIELike);
    const std::uint32_t face = Px(0x00CBECB5);
    EXPECT_EQ(PixelAt(*Face(0), 0, 0), face) << "no edge away from the cursor";
    btn->Perform(CM_MOUSEENTER);
    auto hot = Face(0);
    EXPECT_EQ(PixelAt(*hot, 0, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*hot, 74, 24), Px(clBtnShadow));
    auto sunk = Face(ODS_SELECTED);
    EXPECT_EQ(PixelAt(*sunk, 0, 0), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*sunk, 74, 24), Px(clBtnHighlight));
    btn->SetButtonStyleProp(TButtonStyle::bsNone);
    EXPECT_EQ(PixelAt(*Face(ODS_SELECTED), 0, 0), face);
}

TEST_F(VorsaTest, CaptionPlacementByMeasuredExtent) {
    btn->SetCaption("OK");
    btn->Font()->SetColor(clBlack);
    TBitmap probe(1, 1);
    probe.Canvas()->Font()->Assign(btn->Font());
    const TSize ext = probe.Canvas()->TextExtent("OK");
    const TPoint ink = FirstInk(*Face(0), 0);
    ASSERT_GE(ink.X, 0);
    EXPECT_GE(ink.X, (75 - ext.cx) / 2);
    EXPECT_GE(ink.Y, (25 - ext.cy) / 2);
    EXPECT_LT(ink.Y, (25 - ext.cy) / 2 + ext.cy);
    EXPECT_EQ(FirstInk(*Face(ODS_SELECTED), 0), Point(ink.X + 1, ink.Y + 1));

    // Unfixed, left-aligned: one pixel further left when neither focused nor default.
    btn->SetCapAlignH(haLeft);
    btn->SetCapFixed(false);
    const TPoint left = FirstInk(*Face(0), 0, 2);
    const TPoint leftFocused = FirstInk(*Face(ODS_FOCUS), 0, 2);
    EXPECT_EQ(left.X + 1, leftFocused.X);

    btn->SetCapAlignH(haCenter);
    btn->SetEnabled(false);
    auto dis = Face(0);
    EXPECT_EQ(PixelAt(*dis, 3, 3), Px(clBtnFace));
    const TPoint shadow = FirstInk(*dis, Px(clBtnShadow));
    const TPoint light = FirstInk(*dis, Px(clBtnHighlight));
    EXPECT_EQ(light, Point(shadow.X + 1, shadow.Y + 1));
}

TEST_F(VorsaTest, CaptionLinesUsedOnlyWithoutCaption) {
    btn->SetBounds(10, 10, 75, 60);
    btn->Font()->SetColor(clBlack);
    TStringList lines;
    lines.Add("A");
    lines.Add("B");
    lines.Add("C");
    btn->SetCaptionLines(&lines);
    EXPECT_EQ(btn->CaptionLines()->Count(), 3);
    auto three = Face(0);
    int inkRows = 0;
    for (int y = 3; y < 57; ++y) {
        bool ink = false;
        for (int x = 3; x < 72; ++x) ink = ink || PixelAt(*three, x, y) == 0;
        if (ink && (y == 3 || [&] {
                for (int x = 3; x < 72; ++x)
                    if (PixelAt(*three, x, y - 1) == 0) return false;
                return true;
            }()))
            ++inkRows;
    }
    EXPECT_EQ(inkRows, 3) << "three separate lines";
}

TEST_F(VorsaTest, CaptionLinesOfTheSameTextCauseNoRepaint) {
    struct Counting : TVorsaButton {
        using TVorsaButton::TVorsaButton;
        void Invalidate() override {
            ++invalidates;
            TVorsaButton::Invalidate();
        }
        int invalidates = 0;
    };
    auto* counted = new Counting(form.get());
    counted->SetParent(form.get());
    TStringList lines;
    lines.Add("A");
    lines.Add("B");
    counted->invalidates = 0;
    counted->SetCaptionLines(&lines);
    EXPECT_EQ(counted->invalidates, 1);
    TStrings* own = counted->CaptionLines();
    TStringList same;
    same.SetText(lines.Text());
    counted->SetCaptionLines(&same);
    EXPECT_EQ(counted->invalidates, 1);
    lines.Add("C");
    counted->SetCaptionLines(&lines);
    EXPECT_EQ(counted->invalidates, 2);
    EXPECT_EQ(counted->CaptionLines(), own) << "the own list is never replaced";
    EXPECT_EQ(own->Count(), 3);
}

TEST_F(VorsaTest, HoverEventsOnceAndDoubleClickIsTwoClicks) {
    form->Show();
    int enters = 0, leaves = 0, clicks = 0;
    btn->OnMouseEnter = [&](TObject* s) {
        EXPECT_EQ(s, btn);
        ++enters;
    };
    btn->OnMouseLeave = [&](TObject*) { ++leaves; };
    btn->OnClick = [&](TObject*) { ++clicks; };
    test::MouseMoveOn(btn, 5, 5);
    test::MouseMoveOn(btn, 6, 5);
    test::MoveCursorTo(btn, 7, 5);
    EXPECT_EQ(enters, 1);
    EXPECT_TRUE(btn->Hover());
    test::MoveCursorAway();
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(btn->Hover());

    // Gone to another program's window: no message reaches us but the timer's, whose idle
    // pass notices.
    test::MoveCursorTo(btn, 5, 5);
    btn->Perform(WM_MOUSEMOVE, 0, MakeLParam(5, 5));
    ASSERT_TRUE(btn->HoverTimer()->Enabled());
    SetCursorPos(Point(-7000, -7000));
    btn->HoverTimer()->Fire();
    EXPECT_EQ(leaves, 2);
    EXPECT_FALSE(btn->HoverTimer()->Enabled());

    test::ClickAt(btn, 5, 5);
    EXPECT_EQ(clicks, 1);
    test::SendMouse(QEvent::MouseButtonDblClick, btn, 5, 5, Qt::LeftButton, Qt::LeftButton);
    test::Release(btn, 5, 5);
    EXPECT_EQ(clicks, 2);
}

} // namespace
} // namespace sv
