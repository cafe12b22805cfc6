#include "framework/buttons.h"
#include "framework/comctrls.h"
#include "framework/extctrls.h"
#include "framework/stdctrls.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

using namespace sv;
using namespace sv::test;

namespace {

TPaintBox* Box(TWinControl* parent, TRect r, TColor fill) {
    auto* b = new TPaintBox(parent);
    b->SetParent(parent);
    b->SetBoundsRect(r);
    b->OnPaint = [b, fill](TObject*) {
        // Deliberately larger than the box: the clip keeps it inside.
        b->Canvas()->Brush()->SetColor(fill);
        b->Canvas()->FillRect(Rect(-50, -50, 500, 500));
        b->Canvas()->Pixels(0, 0);
        b->Canvas()->SetPixels(0, 0, clBlack);
    };
    return b;
}

} // namespace

TEST(WindowlessPainting, ChildrenPaintInZOrderAtTheirOriginAndInsideTheirBounds) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 100, 60);
    auto* panel = new TCustomPanel(&form);
    panel->SetParent(&form);
    panel->SetBevelOuter(bvNone);
    panel->SetBounds(0, 0, 100, 60);
    panel->SetColor(clWhite);
    Box(panel, Rect(10, 10, 40, 40), clRed);
    auto* top = Box(panel, Rect(30, 20, 60, 50), clBlue);
    auto bmp = RenderControl(panel);
    EXPECT_EQ(PixelAt(*bmp, 10, 10), 0x000000u); // the red box's own (0, 0)
    EXPECT_EQ(PixelAt(*bmp, 11, 11), 0xFF0000u);
    EXPECT_EQ(PixelAt(*bmp, 35, 25), 0x0000FFu); // the later box lies on top
    EXPECT_EQ(PixelAt(*bmp, 30, 20), 0x000000u);
    EXPECT_EQ(PixelAt(*bmp, 9, 9), 0xFFFFFFu); // nothing outside the boxes
    EXPECT_EQ(PixelAt(*bmp, 60, 30), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(*bmp, 45, 50), 0xFFFFFFu);
    top->SendToBack();
    bmp = RenderControl(panel);
    EXPECT_EQ(PixelAt(*bmp, 35, 25), 0xFF0000u);
    top->SetVisible(false);
    bmp = RenderControl(panel);
    EXPECT_EQ(PixelAt(*bmp, 50, 45), 0xFFFFFFu);
}

TEST(PanelPainting, BevelsBorderAndAlignmentSpace) {
    TForm form(nullptr);
    auto* p = new TPanel(&form);
    p->SetParent(&form);
    p->SetBounds(0, 0, 50, 30);
    p->SetBevelOuter(bvLowered);
    p->SetBevelInner(bvRaised);
    p->SetBorderWidth(2);
    auto* child = new TPanel(&form);
    child->SetParent(p);
    child->SetAlign(alClient);
    child->SetVisible(false);
    auto bmp = RenderControl(p);
    EXPECT_EQ(PixelAt(*bmp, 0, 0), Px(clBtnShadow)); // outer, lowered
    EXPECT_EQ(PixelAt(*bmp, 49, 29), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*bmp, 1, 1), Px(clBtnFace));      // border width in the face colour
    EXPECT_EQ(PixelAt(*bmp, 3, 3), Px(clBtnHighlight)); // inner, raised
    EXPECT_EQ(PixelAt(*bmp, 46, 26), Px(clBtnShadow));
    child->SetVisible(true);
    EXPECT_EQ(child->BoundsRect(), Rect(4, 4, 46, 26)); // bevels and border kept free
    p->SetBorderStyle(bsSingle);
    EXPECT_EQ(p->ClientWidth(), 48);
    bmp = RenderControl(p);
    EXPECT_EQ(PixelAt(*bmp, 0, 0), Px(clWindowFrame));
    EXPECT_EQ(PixelAt(*bmp, 1, 1), Px(clBtnShadow));
}

TEST(LabelPainting, AutoSizeAlignmentLayoutAndDisabledText) {
    FixedText text;
    TForm form(nullptr);
    auto* l = new TLabel(&form);
    l->SetParent(&form);
    l->SetCaption("abc");
    EXPECT_EQ(l->Width(), 24);
    EXPECT_EQ(l->Height(), 12);
    l->SetCaption("");
    EXPECT_EQ(l->Height(), 12); // an empty caption keeps one line
    // A right-justified label keeps its right edge when its text grows.
    l->SetAlignment(taRightJustify);
    l->SetBounds(100, 0, 24, 12);
    l->SetCaption("abcd");
    EXPECT_EQ(l->Left(), 92);
    EXPECT_EQ(l->Width(), 32);
    // Fixed size, centred vertically.
    l->SetAutoSize(false);
    l->SetAlignment(taLeftJustify);
    l->SetLayout(tlCenter);
    l->SetBounds(0, 0, 40, 30);
    l->SetCaption("a");
    l->SetColor(clWhite);
    auto bmp = RenderControl(l);
    EXPECT_EQ(PixelAt(*bmp, 1, 9), Px(clWindowText)); // text from row 9 = (30 - 12) / 2
    EXPECT_EQ(PixelAt(*bmp, 1, 8), 0xFFFFFFu);
    l->SetEnabled(false);
    bmp = RenderControl(l);
    EXPECT_EQ(PixelAt(*bmp, 1, 9), Px(clBtnShadow));     // the shadow copy in place
    EXPECT_EQ(PixelAt(*bmp, 7, 19), Px(clBtnHighlight)); // the light copy one pixel down-right
    l->SetTransparent(true);
    bmp = RenderControl(l);
    EXPECT_EQ(PixelAt(*bmp, 30, 2), 0x000000u); // nothing filled: the render's black shows
}

TEST(SpeedButtonPainting, DownLookIsSunkenAndShiftsTheCaption) {
    FixedText text;
    TForm form(nullptr);
    auto* b = new TSpeedButton(&form);
    b->SetParent(&form);
    b->SetBounds(0, 0, 40, 20);
    b->SetCaption("x");
    auto up = RenderControl(b);
    EXPECT_EQ(PixelAt(*up, 0, 0), Px(clBtnHighlight));
    EXPECT_EQ(PixelAt(*up, 39, 19), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*up, 16, 4), Px(clBtnText)); // caption cell at ((40 - 8) / 2, (20 - 12) / 2)
    b->SetGroupIndex(1);
    b->SetDown(true);
    auto down = RenderControl(b);
    EXPECT_EQ(PixelAt(*down, 0, 0), Px(clBtnShadow));
    EXPECT_EQ(PixelAt(*down, 16, 4), Px(cl3DLight));
    EXPECT_EQ(PixelAt(*down, 17, 5), Px(clBtnText));
}

TEST(StatusBarPainting, SimpleTextOnlyWhileTheSimplePanelShows) {
    FixedText text;
    TForm form(nullptr);
    auto* bar = new TStatusBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 0, 100, 19);
    bar->SetSimpleText("ab");
    auto hidden = RenderControl(bar);
    EXPECT_EQ(PixelAt(*hidden, 3, 6), Px(clBtnFace));
    bar->SetSimplePanel(true);
    auto shown = RenderControl(bar);
    EXPECT_EQ(PixelAt(*shown, 3, 6), Px(clBtnText));
}

TEST(PageControl, TabClicksSwitchPagesUnlessOnChangingRefuses) {
    FixedText text;
    TForm form(nullptr);
    form.SetBounds(0, 620, 300, 200);
    auto* pc = new TPageControl(&form);
    pc->SetParent(&form);
    pc->SetBounds(0, 0, 300, 200);
    auto* a = new TTabSheet(&form);
    a->SetPageControl(pc);
    a->SetCaption("一般");
    auto* b = new TTabSheet(&form);
    b->SetPageControl(pc);
    b->SetCaption("詳細");
    form.Show();
    EXPECT_EQ(pc->ActivePage(), a);
    EXPECT_TRUE(a->Visible());
    EXPECT_FALSE(b->Visible());
    bool allow = false;
    int changes = 0;
    pc->OnChanging = [&](TObject*, bool& ok) { ok = allow; };
    pc->OnChange = [&](TObject*) { ++changes; };
    TRect tab = pc->TabRect(1);
    ClickAt(pc, tab.Left + 2, tab.Top + 2);
    EXPECT_EQ(pc->ActivePage(), a);
    allow = true;
    ClickAt(pc, tab.Left + 2, tab.Top + 2);
    EXPECT_EQ(pc->ActivePage(), b);
    EXPECT_TRUE(b->Visible());
    EXPECT_FALSE(a->Visible());
    EXPECT_EQ(changes, 1);
    delete b;
    EXPECT_EQ(pc->PageCount(), 1);
    EXPECT_EQ(pc->ActivePage(), a);
}
