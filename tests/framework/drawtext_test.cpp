#include "framework/bitmap.h"
#include "framework/canvas.h"

#include <gtest/gtest.h>

#include <climits>

using namespace sv;

namespace {

// Cells of 8 x 12, baseline at 10: a glyph is an 7 x 11 box, the underline row is 11.
const FixedCellTextMetrics kCells(8, 12, 10);

struct TextSurface {
    TBitmap bmp;
    TextSurface(int w, int h) : bmp(w, h) {
        bmp.Canvas()->SetTextMetrics(&kCells);
        bmp.Canvas()->Brush()->SetStyle(bsClear);
        bmp.Canvas()->Font()->SetColor(clBlack);
    }
    TCanvas* c() { return bmp.Canvas(); }
    // Bounding box of the pixels in `color`.
    TRect Box(TColor color) {
        TRect r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x)
                if (c()->Pixels(x, y) == color) {
                    r.Left = std::min(r.Left, x);
                    r.Top = std::min(r.Top, y);
                    r.Right = std::max(r.Right, x + 1);
                    r.Bottom = std::max(r.Bottom, y + 1);
                }
        return r;
    }
    int Count(TColor color) {
        int n = 0;
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x) n += c()->Pixels(x, y) == color;
        return n;
    }
};

} // namespace

TEST(DrawText, CalcRectIsWidestLineTimesLineCount) {
    TextSurface s(10, 10);
    TRect r = Rect(5, 7, 5, 7);
    EXPECT_EQ(s.c()->DrawText("ab\r\nabcd\nx", r, DT_CALCRECT), 36);
    EXPECT_EQ(r, Rect(5, 7, 37, 43));
    EXPECT_EQ(s.Count(clBlack), 0); // measuring draws nothing

    r = Rect(0, 0, 0, 0);
    s.c()->DrawText("ab\r\nabcd", r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r, Rect(0, 0, 48, 12));

    // Word breaks use the given width; a word that does not fit widens the result.
    r = Rect(0, 0, 40, 0);
    EXPECT_EQ(s.c()->DrawText("aa bb cc", r, DT_CALCRECT | DT_WORDBREAK), 24);
    EXPECT_EQ(r, Rect(0, 0, 40, 24));
    r = Rect(0, 0, 20, 0);
    s.c()->DrawText("abcdef gh", r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(r, Rect(0, 0, 48, 24));
    // Empty lines stay lines; a break at the very end adds none.
    r = Rect(0, 0, 40, 0);
    EXPECT_EQ(s.c()->DrawText("a\r\n\r\nb\r\n", r, DT_CALCRECT | DT_WORDBREAK), 36);
    // Wide characters break anywhere.
    r = Rect(0, 0, 40, 0);
    s.c()->DrawText("あいうえ", r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(r, Rect(0, 0, 32, 24));

    // Prefix marks take no room; "&&" is one character.
    r = Rect(0, 0, 0, 0);
    s.c()->DrawText("&a&&b", r, DT_CALCRECT);
    EXPECT_EQ(r.Right, 24);
    r = Rect(0, 0, 0, 0);
    s.c()->DrawText("&a&&b", r, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(r.Right, 40);

    r = Rect(3, 3, 50, 50);
    s.c()->DrawText("", r, DT_CALCRECT);
    EXPECT_EQ(r, Rect(3, 3, 3, 3));
}

TEST(DrawText, HorizontalAndVerticalPlacement) {
    struct Case {
        unsigned format;
        TRect box;
        int result;
    };
    // Rectangle (0, 0, 100, 20); "ab" is 16 wide, 12 high; glyph boxes leave the last
    // column and row of each cell empty.
    const Case cases[] = {
        {DT_LEFT, Rect(0, 0, 15, 11), 12},
        {DT_CENTER, Rect(42, 0, 57, 11), 12},
        {DT_RIGHT, Rect(84, 0, 99, 11), 12},
        {DT_CENTER | DT_VCENTER, Rect(42, 0, 57, 11), 12}, // needs a single line
        {DT_SINGLELINE | DT_VCENTER, Rect(0, 4, 15, 15), 16},
        {DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, Rect(84, 8, 99, 19), 20},
    };
    for (const Case& c : cases) {
        TextSurface s(100, 20);
        TRect r = Rect(0, 0, 100, 20);
        EXPECT_EQ(s.c()->DrawText("ab", r, c.format), c.result) << c.format;
        EXPECT_EQ(s.Box(clBlack), c.box) << c.format;
        EXPECT_EQ(r, Rect(0, 0, 100, 20));
    }
}

TEST(DrawText, LinesWrapAndCentreEachOnItsOwn) {
    TextSurface s(60, 40);
    TRect r = Rect(0, 0, 40, 40);
    EXPECT_EQ(s.c()->DrawText("aa bb cc", r, DT_WORDBREAK | DT_CENTER), 24);
    // "aa bb" fills the width; "cc" is centred below it.
    EXPECT_EQ(s.c()->Pixels(0, 0), clBlack);
    EXPECT_EQ(s.c()->Pixels(12, 12), clBlack);
    EXPECT_EQ(s.c()->Pixels(11, 12), clWhite);
    EXPECT_EQ(s.c()->Pixels(28, 12), clWhite);
}

TEST(DrawText, PrefixUnderlinesTheMarkedCharacter) {
    TextSurface s(60, 20);
    TRect r = Rect(0, 0, 60, 20);
    s.c()->DrawText("a&bc", r, DT_LEFT);
    // Underline on row 11 (baseline 10 + 1) under "b" only.
    EXPECT_EQ(s.Box(clBlack), Rect(0, 0, 23, 12));
    for (int x = 0; x < 24; ++x) EXPECT_EQ(s.c()->Pixels(x, 11) == clBlack, x >= 8 && x < 16) << x;

    TextSurface hidden(60, 20);
    hidden.c()->DrawText("a&bc", r, DT_HIDEPREFIX);
    EXPECT_EQ(hidden.Box(clBlack), Rect(0, 0, 23, 11));

    TextSurface literal(60, 20);
    literal.c()->DrawText("a&bc", r, DT_NOPREFIX);
    EXPECT_EQ(literal.Box(clBlack), Rect(0, 0, 31, 11));
}

TEST(DrawText, ClippingAndBackground) {
    TextSurface s(60, 20);
    TRect r = Rect(0, 0, 12, 20);
    s.c()->DrawText("abcd", r, DT_LEFT);
    EXPECT_EQ(s.Box(clBlack), Rect(0, 0, 12, 11));

    TextSurface noclip(60, 20);
    noclip.c()->DrawText("abcd", r, DT_LEFT | DT_NOCLIP);
    EXPECT_EQ(noclip.Box(clBlack), Rect(0, 0, 31, 11));

    // A solid brush paints behind the text's own extent, not the whole rectangle.
    TextSurface opaque(60, 20);
    opaque.c()->Brush()->SetColor(clBlue);
    TRect wide = Rect(0, 0, 60, 20);
    opaque.c()->DrawText("ab", wide, DT_CENTER);
    EXPECT_EQ(opaque.Box(clBlue), Rect(22, 0, 38, 12));
    EXPECT_EQ(opaque.c()->Pixels(29, 5), clBlue); // gap between the two glyph boxes
}

TEST(DrawText, TabsExpandToEightCharacterStops) {
    TextSurface s(120, 20);
    TRect r = Rect(0, 0, 0, 0);
    s.c()->DrawText("a\tb", r, DT_CALCRECT | DT_EXPANDTABS);
    EXPECT_EQ(r.Right, 72);
    r = Rect(0, 0, 120, 20);
    s.c()->DrawText("a\tb", r, DT_EXPANDTABS);
    EXPECT_EQ(s.c()->Pixels(64, 0), clBlack);
    EXPECT_EQ(s.c()->Pixels(8, 0), clWhite);
}

TEST(TextOut, ExtentAndPenPosition) {
    TextSurface s(60, 20);
    EXPECT_EQ(s.c()->TextWidth("abc"), 24);
    EXPECT_EQ(s.c()->TextWidth("日本"), 32);
    EXPECT_EQ(s.c()->TextHeight("x"), 12);
    EXPECT_EQ(s.c()->TextExtent("ab"), (TSize{16, 12}));
    s.c()->TextOut(3, 4, "ab");
    EXPECT_EQ(s.c()->PenPos(), Point(19, 4));
    EXPECT_EQ(s.Box(clBlack), Rect(3, 4, 18, 15));

    TextSurface rect(60, 20);
    rect.c()->Brush()->SetColor(clRed);
    rect.c()->TextRect(Rect(10, 2, 20, 18), 12, 4, "abc");
    EXPECT_EQ(rect.Box(clRed), Rect(10, 2, 20, 18));
    EXPECT_EQ(rect.Box(clBlack), Rect(12, 4, 19, 15)); // "b" starts on the clip edge
}

TEST(TextOut, QtMetricsDrawSomethingInsideTheMeasuredBox) {
    TBitmap b(80, 30);
    TCanvas* c = b.Canvas();
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBlack);
    TSize size = c->TextExtent("Ab");
    EXPECT_GT(size.cx, 0);
    EXPECT_GT(size.cy, 0);
    c->TextOut(5, 5, "Ab");
    int inside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            TColor p = c->Pixels(x, y);
            EXPECT_TRUE(p == clBlack || p == clWhite) << "antialiased pixel at " << x << "," << y;
            if (p == clBlack) {
                ++inside;
                EXPECT_TRUE(x >= 5 && x < 5 + size.cx + 1 && y >= 5 && y < 5 + size.cy);
            }
        }
    EXPECT_GT(inside, 0);
}

TEST(DrawText, EndEllipsisShortensOnlyLinesThatDoNotFit) {
    TextSurface s(100, 20);
    TRect r = Rect(0, 0, 48, 40);
    s.c()->DrawText("abcdefgh\r\nab", r, DT_CALCRECT | DT_END_ELLIPSIS);
    EXPECT_EQ(r, Rect(0, 0, 48, 24)); // "abc..." and "ab"
    r = Rect(0, 0, 20, 20);
    s.c()->DrawText("abcdef", r, DT_CALCRECT | DT_END_ELLIPSIS | DT_SINGLELINE);
    EXPECT_EQ(r.Right, 24); // only the dots remain, and they still overflow
}
