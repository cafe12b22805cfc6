#include "widget_test.h"
#include "writer/widgets/gradate.h"

namespace sv::test {
namespace {

// Paints into a black image of `w` x 4 whose canvas origin lies `origin` pixels in.
class GradateTest : public ::testing::Test {
protected:
    TBitmap& Paint(TRect r, TGradateDir dir, int w = 500, int origin = 0) {
        bmp.SetSize(w, 4);
        bmp.Canvas()->Brush()->SetColor(clBlack);
        bmp.Canvas()->FillRect(Rect(0, 0, w, 4));
        bmp.Canvas()->SetOrigin(Point(origin, 0));
        g.SetBasicColor(clRed);
        g.SetDirection(dir);
        g.DrawGradate(bmp.Canvas(), r);
        bmp.Canvas()->SetOrigin(Point(0, 0));
        return bmp;
    }
    static int Red(const TBitmap& b, int x) { return static_cast<int>(PixelAt(b, x, 0) >> 16); }
    TGradate g{nullptr};
    TBitmap bmp;
};

TEST_F(GradateTest, BandsAcrossTheRectangle) {
    TBitmap& light = Paint(Rect(0, 0, 480, 4), gdLight);
    EXPECT_EQ(Red(light, 0), 0);
    EXPECT_EQ(Red(light, 9), 0);
    EXPECT_EQ(Red(light, 10), 5);
    EXPECT_EQ(Red(light, 240), 127);
    EXPECT_EQ(Red(light, 479), 249);
    EXPECT_EQ(PixelAt(light, 470, 0) & 0xFFFF, 0u); // red only
    TBitmap& dark = Paint(Rect(0, 0, 480, 4), gdDark);
    EXPECT_EQ(Red(dark, 0), 255);
    EXPECT_EQ(Red(dark, 470), 5);
}

TEST_F(GradateTest, BandWidthsAndTheOvershootingLastBand) {
    TBitmap& fifty = Paint(Rect(0, 0, 50, 4), gdLight);
    int bands = 1;
    for (int x = 1; x < 50; ++x) bands += Red(fifty, x) != Red(fifty, x - 1);
    EXPECT_EQ(bands, 25);
    TBitmap& odd = Paint(Rect(0, 0, 47, 4), gdLight);
    EXPECT_EQ(Red(odd, 47), Red(odd, 46)); // one pixel past the right edge
    EXPECT_EQ(Red(odd, 48), 0);
    g.SetSteps(-7);
    TBitmap& narrow = Paint(Rect(0, 0, 10, 4), gdLight);
    EXPECT_EQ(Red(narrow, 2), Red(narrow, 3));
    EXPECT_NE(Red(narrow, 3), Red(narrow, 4));
}

TEST_F(GradateTest, NothingForNoTypeNoRectangleOrNoCanvas) {
    g.SetGradateType(gtNone);
    EXPECT_EQ(Red(Paint(Rect(0, 0, 480, 4), gdDark), 0), 0);
    g.SetGradateType(gtHorizon);
    EXPECT_EQ(Red(Paint(Rect(10, 0, 10, 4), gdDark), 10), 0);
    TRect r = Rect(0, 0, 10, 10);
    g.DrawGradate(nullptr, r);
    TCanvas detached;
    g.DrawGradate(&detached, r);
    EXPECT_EQ(g.TargetRect(), r);
}

TEST_F(GradateTest, RectanglesAtNegativeCoordinates) {
    // Ending at 0 there is no extent to scale by: black, and no division by zero.
    TBitmap& zero = Paint(Rect(-20, 0, 0, 4), gdDark, 40, 30);
    EXPECT_EQ(PixelAt(zero, 10, 0), 0u);
    // Positions beyond the extent are held within 0..255.
    TBitmap& dark = Paint(Rect(-20, 0, 20, 4), gdDark, 60, 30);
    EXPECT_EQ(Red(dark, 10), 255);
    TBitmap& light = Paint(Rect(-20, 0, 20, 4), gdLight, 60, 30);
    EXPECT_EQ(Red(light, 10), 0);
    EXPECT_EQ(Red(light, 49), 229);
}

TEST_F(GradateTest, VerticalBandsUseTheBottom) {
    TBitmap tall(4, 96);
    g.SetGradateType(gtVertical);
    g.SetDirection(gdLight);
    g.SetBasicColor(clBlue);
    TRect r = Rect(0, 0, 4, 96);
    g.DrawGradate(tall.Canvas(), r);
    EXPECT_EQ(PixelAt(tall, 0, 1), 0u);
    EXPECT_EQ(PixelAt(tall, 0, 48), 127u);
    EXPECT_EQ(PixelAt(tall, 3, 95), 249u);
}

} // namespace
} // namespace sv::test
