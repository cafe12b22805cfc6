#include "widget_test.h"
#include "writer/widgets/point_btn.h"

namespace sv::test {
namespace {

constexpr TColor kLeave = 0x00FFC0C0;
constexpr TColor kPoint = clLime;

class PointBtnTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        b = Make<TPointBtn>();
        b->SetBounds(10, 10, 60, 20);
        b->SetLeftColor(kLeave);
        b->SetPointEnabled(true);
    }
    void Move(int x, int y) { b->Perform(WM_MOUSEMOVE, 0, MakeLParam(x, y)); }
    TPointBtn* b = nullptr;
};

TEST_F(PointBtnTest, PointsUntilTheMouseIsPastTheEdge) {
    Move(5, 5);
    EXPECT_TRUE(b->MouseCapture());
    EXPECT_EQ(b->Color(), kPoint);
    Move(60, 20); // the right and bottom edges still count as inside
    EXPECT_TRUE(b->MouseCapture());
    Move(61, 5);
    EXPECT_FALSE(b->MouseCapture());
    EXPECT_EQ(b->Color(), kLeave);
    for (TPoint out : {Point(-1, 5), Point(5, -1), Point(5, 21)}) {
        Move(5, 5);
        Move(out.X, out.Y);
        EXPECT_FALSE(b->MouseCapture()) << out.X << "," << out.Y;
        EXPECT_EQ(b->Color(), kLeave);
    }
}

TEST_F(PointBtnTest, LeavingOverTheFormComesThroughTheCapture) {
    form->Show();
    MouseMoveOn(b, 5, 5);
    EXPECT_TRUE(b->MouseCapture());
    MouseMoveOn(form, 200, 200); // delivered to the button, in its own coordinates
    EXPECT_FALSE(b->MouseCapture());
    EXPECT_EQ(b->Color(), kLeave);
}

TEST_F(PointBtnTest, ClicksEndPointing) {
    Move(5, 5);
    b->Click();
    EXPECT_FALSE(b->MouseCapture());
    EXPECT_EQ(b->Color(), kLeave);
    Move(5, 5);
    b->DblClick();
    EXPECT_FALSE(b->MouseCapture());
    EXPECT_EQ(b->Color(), kLeave);

    b->SetPointEnabled(false);
    b->SetColor(clRed);
    b->DblClick();
    EXPECT_EQ(b->Color(), clRed); // a double click without point leaves the face alone
    b->Click();
    EXPECT_EQ(b->Color(), kLeave); // a click always rests it
}

TEST_F(PointBtnTest, ColoursTakeEffectAsTheyShould) {
    Move(5, 5);
    b->SetPointColor(clYellow);
    EXPECT_EQ(b->Color(), kPoint); // only at the next entry
    b->SetLeftColor(clAqua);
    EXPECT_EQ(b->Color(), clAqua); // at once, even while pointed
    Move(100, 5);
    Move(5, 5);
    EXPECT_EQ(b->Color(), clYellow);
}

TEST_F(PointBtnTest, DisabledNeverPointsAndLosingTheButtonReleasesTheCapture) {
    b->SetEnabled(false);
    Move(5, 5);
    EXPECT_FALSE(b->MouseCapture());
    b->SetEnabled(true);

    Move(5, 5);
    b->SetEnabled(false);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(b->Color(), kLeave);
    b->SetEnabled(true);

    Move(5, 5);
    b->Hide();
    EXPECT_EQ(GetCaptureControl(), nullptr);
    b->Show();

    Move(5, 5);
    b->SetPointEnabled(false);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    b->SetPointEnabled(true);

    Move(5, 5);
    delete b;
    EXPECT_EQ(GetCaptureControl(), nullptr);
}

// ---- the bitmap button ----------------------------------------------------------------------

constexpr std::uint32_t kKey = 0xFF00FF, kCell0 = 0x0000FF, kCell1 = 0xFF0000;

// A 48 x 16 strip of three cells; the first cell's top-left pixel is its transparent colour.
std::unique_ptr<TBitmap> Strip() {
    auto s = std::make_unique<TBitmap>(48, 16);
    TCanvas* c = s->Canvas();
    c->Brush()->SetColor(clBlue);
    c->FillRect(Rect(0, 0, 16, 16));
    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(16, 0, 48, 16));
    c->SetPixels(0, 0, clFuchsia);
    return s;
}

class BmpBtnTest : public WidgetTest {
protected:
    TBmpBtn* Button() {
        auto* b = Make<TBmpBtn>();
        b->SetBounds(0, 0, 100, 30);
        b->SetCaption("");
        b->SetColor(clWhite);
        return b;
    }
};

TEST_F(BmpBtnTest, FirstCellDrawnWhileTheLayoutReservesTheWholeStrip) {
    FixedText text;
    TBmpBtn* b = Button();
    auto strip = Strip();
    b->SetGlyph(strip.get());
    b->SetCaption("A");
    auto bmp = DrawItem(b, 0);
    // Face (1..99 inside the bevel); glyph at margin 1, centred down: (2, 7).
    EXPECT_EQ(PixelAt(*bmp, 2, 7), 0xFFFFFFu); // the key pixel lets the face through
    EXPECT_EQ(PixelAt(*bmp, 3, 7), kCell0);
    EXPECT_EQ(PixelAt(*bmp, 17, 22), kCell0);
    EXPECT_EQ(BoundsOf(*bmp, kCell1), TRect{});
    EXPECT_EQ(BoundsOf(*bmp, kKey), TRect{});
    // The caption is centred in 50..99, after the whole 48-pixel strip.
    EXPECT_EQ(BoundsOf(*bmp, 0x000000), Bounds(70, 9, 7, 11));
}

TEST_F(BmpBtnTest, GlyphPlacesForEveryLayout) {
    const TRect area = Rect(1, 1, 99, 29);
    struct Case {
        TLayout layout;
        int margin;
        TRect glyph, rest;
    } cases[] = {
        {blBtnLeft, 1, Rect(2, 7, 50, 23), Rect(50, 1, 99, 29)},
        {blBtnLeft, -1, Rect(26, 7, 74, 23), Rect(74, 1, 99, 29)},
        {blBtnLeft, 500, Rect(1, 7, 49, 23), Rect(49, 1, 99, 29)},
        {blBtnRight, 1, Rect(50, 7, 98, 23), Rect(1, 1, 50, 29)},
        {blBtnRight, 500, Rect(51, 7, 99, 23), Rect(1, 1, 51, 29)},
        {blBtnTop, 1, Rect(26, 2, 74, 18), Rect(1, 18, 99, 29)},
        {blBtnTop, 500, Rect(26, 1, 74, 17), Rect(1, 17, 99, 29)},
        {blBtnBottom, 1, Rect(26, 12, 74, 28), Rect(1, 1, 99, 12)},
        {blBtnBottom, -1, Rect(26, 7, 74, 23), Rect(1, 1, 99, 7)},
        {blBtnLeft, 1, Rect(2, 15, 2, 15), Rect(2, 1, 99, 29)}, // empty glyph
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        const bool empty = i + 1 == std::size(cases);
        TRect rest = area;
        EXPECT_EQ(PlaceGlyph(rest, c.layout, c.margin, empty ? 0 : 48, empty ? 0 : 16), c.glyph);
        EXPECT_EQ(rest, c.rest);
    }
    // A glyph too big for the area is cut to it.
    TRect small = Rect(0, 0, 20, 10);
    EXPECT_EQ(PlaceGlyph(small, blBtnLeft, 0, 48, 16), Rect(0, 0, 20, 10));
}

TEST_F(BmpBtnTest, MarginSpacingAndEmptyGlyph) {
    TBmpBtn* b = Button();
    b->SetMargin(-5);
    EXPECT_EQ(b->Margin(), -1);
    b->SetSpacing(5);
    b->SetSpacing(-2); // ignored, not made positive
    EXPECT_EQ(b->Spacing(), 5);
    auto bmp = DrawItem(b, 0);
    EXPECT_EQ(PixelAt(*bmp, 50, 15), 0xFFFFFFu); // nothing but the face
    b->SetGlyph(Strip().get());
    EXPECT_EQ(b->Images()->Count(), 3);
    EXPECT_EQ(b->Images()->Width(), 16);
}

} // namespace
} // namespace sv::test
