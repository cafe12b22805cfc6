#include "widget_test.h"
#include "writer/widgets/glabel.h"

namespace sv::test {
namespace {

class GLabelTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        l = Make<TGLabel>();
        l->SetAutoSize(false);
        l->SetBounds(0, 0, 100, 30);
        l->SetColor(clWhite);
        l->Font()->SetColor(clBlack);
        l->SetCaption("AB");
    }
    std::unique_ptr<TBitmap> Render() { return RenderControl(l); }
    FixedText text;
    TGLabel* l = nullptr;
};

TEST_F(GLabelTest, GreyShadowTwoPixelsDownRightUnderTheText) {
    auto bmp = Render();
    EXPECT_EQ(BoundsOf(*bmp, 0x000000), Bounds(0, 9, 15, 11));
    EXPECT_EQ(BoundsOf(*bmp, 0x808080), Bounds(2, 11, 15, 11));
    EXPECT_EQ(PixelAt(*bmp, 99, 0), 0xFFFFFFu);
}

TEST_F(GLabelTest, NoEffectAndAShadowUpLeft) {
    l->SetEffectType(etNone);
    EXPECT_EQ(BoundsOf(*Render(), 0x808080), TRect{});
    l->SetEffectType(etShadow);
    l->SetEffectValue(-3);
    l->SetAlignment(taCenter);
    l->SetBackColor(clRed);
    auto bmp = Render();
    EXPECT_EQ(BoundsOf(*bmp, 0x000000), Bounds(42, 9, 15, 11));
    EXPECT_EQ(BoundsOf(*bmp, 0xFF0000), Bounds(39, 6, 15, 11));
}

TEST_F(GLabelTest, MultiLineRightAlignedFromTheTop) {
    l->SetBounds(0, 0, 48, 30);
    l->SetCaption("AA BB CCC");
    l->SetCharPos(cpMulti);
    l->SetAlignment(taRightJustify);
    l->SetEffectValue(1);
    auto bmp = Render();
    EXPECT_EQ(BoundsOf(*bmp, 0x000000), Rect(8, 0, 47, 23));
    // Line by line: each ends at the right edge.
    TBitmap first(48, 12), second(48, 12);
    first.Canvas()->CopyRect(Rect(0, 0, 48, 12), bmp->Canvas(), Rect(0, 0, 48, 12));
    second.Canvas()->CopyRect(Rect(0, 0, 48, 12), bmp->Canvas(), Rect(0, 12, 48, 24));
    EXPECT_EQ(BoundsOf(first, 0x000000), Rect(8, 0, 47, 11));
    EXPECT_EQ(BoundsOf(second, 0x000000), Rect(24, 0, 47, 11));
    EXPECT_EQ(BoundsOf(*bmp, 0x808080).Right, 48);
}

TEST_F(GLabelTest, TransparentStillPaintsTheColour) {
    l->SetTransparent(true);
    l->SetColor(clYellow);
    EXPECT_EQ(PixelAt(*Render(), 99, 29), 0xFFFF00u);
}

} // namespace
} // namespace sv::test
