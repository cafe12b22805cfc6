#include "widget_test.h"
#include "writer/widgets/color_btn.h"

namespace sv::test {
namespace {

constexpr TColor kGrey = 0x00C0C0C0;

TEST(ColorBtnColors, BrightAndDarkFromTheFaceColour) {
    EXPECT_EQ(TColorBtn::GetBrightColor(kGrey, 192), 0x00FFFFFFu);
    EXPECT_EQ(TColorBtn::GetDarkColor(kGrey, 128), 0x00404040u);
    EXPECT_EQ(TColorBtn::GetDarkColor(kGrey, 192), 0x00000000u);
    EXPECT_EQ(TColorBtn::GetDarkColor(kGrey, 64), 0x00808080u);
    // White and black themselves are pulled in by 32 so their edges still show.
    EXPECT_EQ(TColorBtn::GetBrightColor(clWhite, 192), 0x00DFDFDFu);
    EXPECT_EQ(TColorBtn::GetBrightColor(clWhite, 0), 0x00DFDFDFu);
    EXPECT_EQ(TColorBtn::GetDarkColor(clBlack, 128), 0x00202020u);
    EXPECT_EQ(TColorBtn::GetDarkColor(clBlack, 192), 0x00202020u);
    // A system colour is resolved first and is not clWhite itself.
    EXPECT_EQ(TColorBtn::GetBrightColor(clBtnHighlight, 192), 0x00FFFFFFu);
    EXPECT_EQ(TColorBtn::GetDarkColor(clBlue, 128), 0x007F0000u);
}

class ColorBtnFace : public WidgetTest {
protected:
    TColorBtn* Button(int bevel, TColorBtnBevel style) {
        auto* b = Make<TColorBtn>();
        b->SetBounds(0, 0, 40, 20);
        b->SetCaption("");
        b->SetColor(kGrey);
        b->SetBevelWidth(bevel);
        b->SetBevelStyle(style);
        return b;
    }
};

TEST_F(ColorBtnFace, RingsForEachStyleWidthAndPress) {
    const std::uint32_t light = 0xFFFFFF, dark = 0x404040, face = 0xC0C0C0;
    for (TColorBtnBevel style : {cbStd, cbLowered, cbRaised})
        for (int width : {0, 1, 5})
            for (bool pressed : {false, true}) {
                SCOPED_TRACE(testing::Message() << "style " << static_cast<int>(style) << " width "
                                                << width << " pressed " << pressed);
                TColorBtn* b = Button(width, style);
                auto bmp = DrawItem(b, pressed ? ODS_SELECTED : 0);
                const bool lowered = style == cbLowered || (style == cbStd && pressed);
                const std::uint32_t first = lowered ? dark : light;
                const std::uint32_t second = lowered ? light : dark;
                for (int k = 0; k < width; ++k) {
                    EXPECT_EQ(PixelAt(*bmp, k + 1, k), first);       // top
                    EXPECT_EQ(PixelAt(*bmp, k, k + 1), first);       // left
                    EXPECT_EQ(PixelAt(*bmp, 39 - k, k + 1), second); // right
                    EXPECT_EQ(PixelAt(*bmp, k + 1, 19 - k), second); // bottom
                    EXPECT_EQ(PixelAt(*bmp, 39 - k, k), second);     // top-right corner
                }
                EXPECT_EQ(PixelAt(*bmp, width, width), face);
                delete b;
            }
}

TEST_F(ColorBtnFace, FocusFrameAndDottedRectangleInsetByHalfTheBevel) {
    // (bevel width, first dotted pixel): inset 1 for widths 0 and 1, 2 for width 5.
    for (auto [width, at] : {std::pair{0, 2}, std::pair{1, 3}, std::pair{5, 8}}) {
        SCOPED_TRACE(width);
        TColorBtn* b = Button(width, cbStd);
        auto bmp = DrawItem(b, ODS_FOCUS);
        EXPECT_EQ(PixelAt(*bmp, 0, 0), 0x000000u); // frame in dark 192
        EXPECT_EQ(PixelAt(*bmp, 20, 19), 0x000000u);
        // A black font's dark value is below the threshold: the dots are white, XORed in.
        EXPECT_EQ(PixelAt(*bmp, at, at), 0x3F3F3Fu);
        EXPECT_EQ(PixelAt(*bmp, at + 1, at), 0xC0C0C0u);
        EXPECT_EQ(PixelAt(*bmp, at - 1, at - 1), 0xC0C0C0u);
        delete b;
    }
}

TEST_F(ColorBtnFace, BlueFontCountsAsDarkForTheFocusRectangle) {
    TColorBtn* b = Button(1, cbStd);
    b->Font()->SetColor(clBlue);
    auto bmp = DrawItem(b, ODS_FOCUS);
    EXPECT_EQ(PixelAt(*bmp, 3, 3), 0x3F3F3Fu); // XOR white, not XOR dark blue
}

TEST_F(ColorBtnFace, CaptionMovesOnlyWithStandardBevelWhilePressed) {
    FixedText text;
    for (TColorBtnBevel style : {cbStd, cbLowered, cbRaised})
        for (bool pressed : {false, true}) {
            TColorBtn* b = Button(1, style);
            b->SetCaption("A");
            auto bmp = DrawItem(b, pressed ? ODS_SELECTED : 0);
            const int shift = style == cbStd && pressed ? 1 : 0;
            EXPECT_EQ(BoundsOf(*bmp, 0x000000), Bounds(16 + shift, 4 + shift, 7, 11));
            delete b;
        }
}

TEST_F(ColorBtnFace, DisabledCaptionLightPassOnePixelHigherThenDarkPass) {
    FixedText text;
    TColorBtn* b = Button(1, cbStd);
    b->SetCaption("A");
    b->SetEnabled(false);
    auto bmp = DrawItem(b, 0);
    EXPECT_EQ(PixelAt(*bmp, 16, 3), 0xFFFFFFu);
    EXPECT_EQ(BoundsOf(*bmp, 0x808080), Bounds(16, 4, 7, 11));
}

TEST_F(ColorBtnFace, NegativeBevelWidthIsOneAndFocusOnlyRepaints) {
    TColorBtn* b = Button(3, cbStd);
    b->SetBevelWidth(-3);
    EXPECT_EQ(b->BevelWidth(), 1);
    b->SetBevelWidth(0);
    EXPECT_EQ(b->BevelWidth(), 0);
    b->SetButtonStyle(true);
    EXPECT_TRUE(b->IsFocused());
    b->HandleNeeded();
    EXPECT_EQ(b->WindowStyle() & 0x0F, BS_OWNERDRAW);
    auto bmp = DrawItem(b, 0);
    EXPECT_EQ(PixelAt(*bmp, 0, 0), 0x000000u); // the focused flag draws the frame by itself
}

} // namespace
} // namespace sv::test
