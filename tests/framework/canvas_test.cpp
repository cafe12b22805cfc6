#include "framework/bitmap.h"
#include "framework/canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

using namespace sv;

namespace {

// A white bitmap of w x h whose canvas the test draws on.
struct Surface {
    TBitmap bmp;
    Surface(int w, int h) : bmp(w, h) {}
    TCanvas* c() { return bmp.Canvas(); }
    TColor at(int x, int y) { return bmp.Canvas()->Pixels(x, y); }
    // Every pixel that is not white.
    std::set<std::pair<int, int>> marked() {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < bmp.Height(); ++y)
            for (int x = 0; x < bmp.Width(); ++x)
                if (at(x, y) != clWhite) out.insert({x, y});
        return out;
    }
};

} // namespace

TEST(CanvasLines, EndPointIsNotDrawn) {
    Surface s(12, 12);
    s.c()->MoveTo(2, 5);
    s.c()->LineTo(8, 5);
    for (int x = 2; x < 8; ++x) EXPECT_EQ(s.at(x, 5), clBlack) << x;
    EXPECT_EQ(s.at(8, 5), clWhite);
    EXPECT_EQ(s.c()->PenPos(), Point(8, 5));

    s.c()->LineTo(8, 1); // upwards from the previous end
    EXPECT_EQ(s.at(8, 5), clBlack);
    EXPECT_EQ(s.at(8, 2), clBlack);
    EXPECT_EQ(s.at(8, 1), clWhite);

    Surface d(8, 8);
    d.c()->MoveTo(0, 0);
    d.c()->LineTo(5, 5);
    EXPECT_EQ(d.marked(), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));

    Surface z(4, 4);
    z.c()->MoveTo(1, 1);
    z.c()->LineTo(1, 1);
    EXPECT_TRUE(z.marked().empty());
}

TEST(CanvasLines, XorPenTwiceRestoresAndPolylineSkipsTheLastPoint) {
    Surface s(10, 10);
    s.c()->Pen()->SetMode(pmXor);
    s.c()->Pen()->SetColor(clWhite);
    s.c()->Polyline({{1, 1}, {8, 1}, {8, 8}});
    EXPECT_EQ(s.at(1, 1), clBlack);
    EXPECT_EQ(s.at(8, 1), clBlack);
    EXPECT_EQ(s.at(8, 7), clBlack);
    EXPECT_EQ(s.at(8, 8), clWhite);
    EXPECT_EQ(s.c()->PenPos(), Point(0, 0));
    s.c()->Polyline({{1, 1}, {8, 1}, {8, 8}});
    EXPECT_TRUE(s.marked().empty());
}

TEST(CanvasShapes, RectangleCoversHalfOpenOutlineAndFillsInside) {
    Surface s(12, 10);
    s.c()->Brush()->SetColor(clRed);
    s.c()->Rectangle(2, 2, 8, 6);
    for (int x = 2; x < 8; ++x) {
        EXPECT_EQ(s.at(x, 2), clBlack);
        EXPECT_EQ(s.at(x, 5), clBlack);
        EXPECT_EQ(s.at(x, 6), clWhite);
    }
    for (int y = 2; y < 6; ++y) {
        EXPECT_EQ(s.at(2, y), clBlack);
        EXPECT_EQ(s.at(7, y), clBlack);
        EXPECT_EQ(s.at(8, y), clWhite);
    }
    EXPECT_EQ(s.at(3, 3), clRed);
    EXPECT_EQ(s.at(6, 4), clRed);

    // A one-pixel-wide rectangle is a line; with a clear brush nothing is filled.
    Surface line(6, 10);
    line.c()->Brush()->SetStyle(bsClear);
    line.c()->Rectangle(3, 2, 4, 9);
    std::set<std::pair<int, int>> expect;
    for (int y = 2; y < 9; ++y) expect.insert({3, y});
    EXPECT_EQ(line.marked(), expect);

    // Without a pen the fill covers one pixel less on the right and bottom.
    Surface nopen(6, 6);
    nopen.c()->Pen()->SetStyle(psClear);
    nopen.c()->Brush()->SetColor(clBlue);
    nopen.c()->Rectangle(1, 1, 4, 4);
    EXPECT_EQ(nopen.at(1, 1), clBlue);
    EXPECT_EQ(nopen.at(2, 2), clBlue);
    EXPECT_EQ(nopen.at(3, 3), clWhite);
}

TEST(CanvasShapes, XorRectangleTouchesEachPixelOnce) {
    Surface s(8, 8);
    s.c()->Pen()->SetMode(pmXor);
    s.c()->Pen()->SetColor(clWhite);
    s.c()->Brush()->SetStyle(bsClear);
    s.c()->Rectangle(1, 1, 6, 2); // one pixel high
    EXPECT_EQ(s.marked().size(), 5u);
    s.c()->Rectangle(1, 1, 6, 2);
    EXPECT_TRUE(s.marked().empty());
}

TEST(CanvasShapes, FillRectAndFrameRect) {
    Surface s(10, 10);
    s.c()->Brush()->SetColor(clGreen);
    s.c()->FillRect(Rect(2, 3, 5, 7));
    EXPECT_EQ(s.marked().size(), 12u);
    EXPECT_EQ(s.at(2, 3), clGreen);
    EXPECT_EQ(s.at(4, 6), clGreen);
    EXPECT_EQ(s.at(5, 6), clWhite);
    EXPECT_EQ(s.at(4, 7), clWhite);

    Surface inverted(10, 10);
    inverted.c()->Brush()->SetColor(clGreen);
    inverted.c()->FillRect(Rect(5, 5, 2, 2));
    inverted.c()->Brush()->SetStyle(bsClear);
    inverted.c()->FillRect(Rect(0, 0, 10, 10));
    EXPECT_TRUE(inverted.marked().empty());

    Surface f(10, 10);
    f.c()->Brush()->SetColor(clRed);
    f.c()->FrameRect(Rect(1, 1, 5, 4));
    EXPECT_EQ(f.marked().size(), 10u); // 4x3 ring
    EXPECT_EQ(f.at(4, 3), clRed);
    EXPECT_EQ(f.at(2, 2), clWhite);
}

TEST(CanvasFrames, Frame3DCornersBelongToTheSecondColour) {
    Surface s(10, 10);
    TRect r = Rect(0, 0, 6, 5);
    s.c()->Frame3D(r, clRed, clBlue, 1);
    EXPECT_EQ(r, Rect(1, 1, 5, 4));
    for (int x = 0; x < 5; ++x) EXPECT_EQ(s.at(x, 0), clRed) << x;
    EXPECT_EQ(s.at(5, 0), clBlue); // top-right
    for (int y = 1; y < 4; ++y) EXPECT_EQ(s.at(0, y), clRed) << y;
    EXPECT_EQ(s.at(0, 4), clBlue); // bottom-left
    for (int x = 0; x < 6; ++x) EXPECT_EQ(s.at(x, 4), clBlue) << x;
    for (int y = 0; y < 5; ++y) EXPECT_EQ(s.at(5, y), clBlue) << y;
    EXPECT_EQ(s.at(1, 1), clWhite);
    EXPECT_EQ(s.at(6, 0), clWhite);
    EXPECT_EQ(s.c()->Pen()->Color(), clBlue);

    Surface two(10, 10);
    TRect r2 = Rect(0, 0, 8, 8);
    two.c()->Frame3D(r2, clRed, clBlue, 2);
    EXPECT_EQ(r2, Rect(2, 2, 6, 6));
    EXPECT_EQ(two.at(1, 1), clRed);
    EXPECT_EQ(two.at(6, 1), clBlue);
    EXPECT_EQ(two.at(1, 6), clBlue);
    EXPECT_EQ(two.at(5, 1), clRed);
    EXPECT_EQ(two.at(2, 2), clWhite);
}

TEST(CanvasFrames, Frame3DOfAnyWidthEndsWithTheRingsThatShow) {
    Surface wide(12, 8), huge(12, 8);
    TRect a = Rect(0, 0, 12, 8), b = a;
    wide.c()->Frame3D(a, clRed, clBlue, 100);
    huge.c()->Frame3D(b, clRed, clBlue, INT_MAX); // a form's bevel width, taken as it is
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(huge.at(x, y), wide.at(x, y)) << x << "," << y;
    EXPECT_EQ(a, Rect(100, 100, -88, -92));
    EXPECT_EQ(b, Rect(INT_MAX, INT_MAX, 12 - INT_MAX, 8 - INT_MAX));
    EXPECT_EQ(huge.c()->Pen()->Color(), clBlue);

    TCanvas unbound; // nothing to draw on: only the rectangle changes
    TRect c = Rect(5, 5, 10, 10);
    unbound.Frame3D(c, clRed, clBlue, INT_MAX);
    EXPECT_EQ(c, Rect(INT_MAX, INT_MAX, 10 - INT_MAX, 10 - INT_MAX));
}

TEST(CanvasFrames, DrawEdgeUsesTheSystemEdgeColours) {
    Surface s(10, 10);
    TRect r = Rect(0, 0, 5, 5);
    s.c()->DrawEdge(r, BDR_RAISEDOUTER, BF_RECT);
    EXPECT_EQ(s.at(0, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(s.at(3, 0), ColorToRGB(cl3DLight));
    EXPECT_EQ(s.at(4, 0), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(s.at(0, 4), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(s.at(4, 4), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(s.at(1, 1), clWhite);
    EXPECT_EQ(r, Rect(0, 0, 5, 5));

    Surface sunk(10, 10);
    TRect r2 = Rect(0, 0, 6, 6);
    sunk.c()->DrawEdge(r2, EDGE_SUNKEN, BF_RECT | BF_ADJUST | BF_MIDDLE);
    EXPECT_EQ(r2, Rect(2, 2, 4, 4));
    EXPECT_EQ(sunk.at(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(sunk.at(5, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(sunk.at(1, 1), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(sunk.at(4, 4), ColorToRGB(cl3DLight));
    EXPECT_EQ(sunk.at(2, 2), ColorToRGB(clBtnFace));
}

TEST(CanvasFrames, FocusRectXorsEvenRingPixelsAndTwiceIsNothing) {
    Surface s(12, 12);
    s.c()->Brush()->SetColor(clRed);
    s.c()->FillRect(Rect(0, 0, 12, 12));
    s.c()->Brush()->SetColor(clWhite);
    TRect r = Rect(1, 2, 9, 7);
    s.c()->DrawFocusRect(r);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool ring = PtInRect(r, {x, y}) &&
                        (x == r.Left || x == r.Right - 1 || y == r.Top || y == r.Bottom - 1);
            TColor want = ring && (x + y) % 2 == 0 ? TColor(clAqua) : TColor(clRed);
            EXPECT_EQ(s.at(x, y), want) << x << "," << y;
        }
    s.c()->DrawFocusRect(r);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(s.at(x, y), clRed);
}

TEST(CanvasSurface, OriginAndClipConfineDrawing) {
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    TCanvas c;
    EXPECT_FALSE(c.HandleAllocated());
    c.FillRect(Rect(0, 0, 5, 5)); // no target: nothing, no crash
    c.SetSurface({&image, {5, 6}, Rect(5, 6, 10, 10)});
    EXPECT_TRUE(c.HandleAllocated());
    EXPECT_EQ(c.ClipRect(), Rect(0, 0, 5, 4));
    c.Brush()->SetColor(clBlack);
    c.FillRect(Rect(-10, -10, 100, 100));
    int black = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0) {
                ++black;
                EXPECT_TRUE(x >= 5 && x < 10 && y >= 6 && y < 10) << x << "," << y;
            }
    EXPECT_EQ(black, 20);
    EXPECT_EQ(c.Pixels(0, 0), clBlack);
    EXPECT_EQ(c.Pixels(5, 0), CLR_INVALID);

    c.SetClipRect(Rect(1, 1, 3, 3));
    EXPECT_EQ(c.ClipRect(), Rect(1, 1, 3, 3));
    c.SetPixels(0, 0, clRed);
    EXPECT_EQ(c.Pixels(0, 0), CLR_INVALID);
    c.ResetClip();
    EXPECT_EQ(c.Pixels(0, 0), clBlack);
}

TEST(CanvasImages, StretchKeepsBothEndPixels) {
    TBitmap src(3, 1);
    src.Canvas()->SetPixels(0, 0, clRed);
    src.Canvas()->SetPixels(1, 0, clLime);
    src.Canvas()->SetPixels(2, 0, clBlue);
    Surface s(12, 3);
    s.c()->StretchDraw(Rect(1, 0, 11, 2), &src);
    EXPECT_EQ(s.at(1, 0), clRed);
    EXPECT_EQ(s.at(10, 0), clBlue);
    EXPECT_EQ(s.at(10, 1), clBlue);
    EXPECT_EQ(s.at(6, 0), clLime);
    EXPECT_EQ(s.at(0, 0), clWhite);
    EXPECT_EQ(s.at(11, 0), clWhite);

    // A 256-wide ramp shrunk to 7 pixels still starts and ends on its end colours.
    TBitmap ramp(256, 1);
    for (int i = 0; i < 256; ++i) ramp.ScanLine(0)[i] = static_cast<std::uint32_t>(i);
    Surface small(7, 1);
    small.c()->StretchDraw(Rect(0, 0, 7, 1), &ramp);
    EXPECT_EQ(small.at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(small.at(6, 0), RGB(0, 0, 255));
}

TEST(CanvasImages, MaskRasterOperationPaintsBrushWhereMaskIsWhite) {
    TBitmap mask(4, 1);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(Rect(0, 0, 4, 1));
    mask.Canvas()->SetPixels(1, 0, clWhite);
    mask.Canvas()->SetPixels(3, 0, clWhite);
    mask.SetMonochrome(true);
    Surface s(6, 3);
    s.c()->Brush()->SetColor(clLime);
    s.c()->FillRect(Rect(0, 0, 6, 3));
    s.c()->Brush()->SetColor(clRed);
    EXPECT_TRUE(s.c()->BitBlt(1, 1, 4, 1, mask.Canvas(), 0, 0, ROP_DSPDxax));
    EXPECT_EQ(s.at(1, 1), clLime);
    EXPECT_EQ(s.at(2, 1), clRed);
    EXPECT_EQ(s.at(3, 1), clLime);
    EXPECT_EQ(s.at(4, 1), clRed);
    EXPECT_EQ(s.at(5, 1), clLime);
    EXPECT_EQ(s.at(2, 0), clLime);
}

TEST(CanvasImages, BinaryRasterOperations) {
    TBitmap src(1, 1);
    src.Canvas()->SetPixels(0, 0, 0x0000F0F0);
    auto blit = [&](TCopyMode rop) {
        Surface s(1, 1);
        s.c()->SetPixels(0, 0, 0x00FF00FF);
        s.c()->BitBlt(0, 0, 1, 1, src.Canvas(), 0, 0, rop);
        return s.at(0, 0);
    };
    EXPECT_EQ(blit(SRCCOPY), 0x0000F0F0u);
    EXPECT_EQ(blit(SRCAND), 0x0000F0F0u & 0x00FF00FFu);
    EXPECT_EQ(blit(SRCPAINT), 0x0000F0F0u | 0x00FF00FFu);
    EXPECT_EQ(blit(SRCINVERT), 0x0000F0F0u ^ 0x00FF00FFu);
    EXPECT_EQ(blit(NOTSRCCOPY), ~0x0000F0F0u & 0xFFFFFFu);
    EXPECT_EQ(blit(DSTINVERT), ~0x00FF00FFu & 0xFFFFFFu);
    EXPECT_EQ(blit(BLACKNESS), 0u);
}

TEST(CanvasImages, TransparentDrawSkipsTheTransparentColour) {
    TBitmap glyph(3, 2);
    glyph.Canvas()->Brush()->SetColor(clFuchsia);
    glyph.Canvas()->FillRect(Rect(0, 0, 3, 2));
    glyph.Canvas()->SetPixels(1, 0, clBlue);
    EXPECT_EQ(glyph.TransparentColor(), clFuchsia); // bottom-left pixel

    Surface s(5, 4);
    glyph.SetTransparent(true);
    s.c()->Draw(1, 1, &glyph);
    EXPECT_EQ(s.marked(), (std::set<std::pair<int, int>>{{2, 1}}));
    EXPECT_EQ(s.at(2, 1), clBlue);

    glyph.SetTransparentColor(clBlue);
    Surface fixed(5, 4);
    fixed.c()->Draw(0, 0, &glyph);
    EXPECT_EQ(fixed.marked().size(), 5u);
    EXPECT_EQ(fixed.at(1, 0), clWhite);

    glyph.SetTransparent(false);
    Surface opaque(5, 4);
    opaque.c()->Draw(0, 0, &glyph);
    EXPECT_EQ(opaque.marked().size(), 6u);
}

TEST(CanvasImages, CopyRectWithinOneImageHandlesOverlap) {
    Surface s(6, 1);
    for (int x = 0; x < 4; ++x) s.c()->SetPixels(x, 0, RGB(x * 10, 0, 0));
    s.c()->CopyRect(Rect(1, 0, 5, 1), s.c(), Rect(0, 0, 4, 1));
    EXPECT_EQ(s.at(0, 0), RGB(0, 0, 0));
    for (int x = 1; x < 5; ++x) EXPECT_EQ(s.at(x, 0), RGB((x - 1) * 10, 0, 0)) << x;
}

TEST(CanvasShapes, EllipseAndPolygonStayInsideTheirBounds) {
    Surface s(14, 12);
    s.c()->Brush()->SetColor(clRed);
    s.c()->Ellipse(2, 1, 12, 11);
    for (auto [x, y] : s.marked()) {
        EXPECT_TRUE(x >= 2 && x < 12 && y >= 1 && y < 11) << x << "," << y;
    }
    EXPECT_EQ(s.at(7, 6), clRed);
    EXPECT_EQ(s.at(2, 1), clWhite); // corner of the box
    EXPECT_EQ(s.at(7, 1), clBlack); // top of the outline

    Surface rr(12, 12);
    rr.c()->Brush()->SetColor(clRed);
    rr.c()->RoundRect(0, 0, 10, 8, 4, 4);
    EXPECT_EQ(rr.at(0, 0), clWhite); // cut corner
    EXPECT_EQ(rr.at(9, 7), clWhite);
    EXPECT_EQ(rr.at(5, 0), clBlack);
    EXPECT_EQ(rr.at(0, 4), clBlack);
    EXPECT_EQ(rr.at(5, 4), clRed);
    EXPECT_EQ(rr.at(10, 4), clWhite);

    Surface p(12, 12);
    p.c()->Brush()->SetColor(clBlue);
    p.c()->Polygon({{1, 1}, {10, 1}, {1, 10}});
    EXPECT_EQ(p.at(3, 3), clBlue);
    EXPECT_EQ(p.at(1, 1), clBlack);
    EXPECT_EQ(p.at(1, 10), clBlack);
    EXPECT_EQ(p.at(9, 9), clWhite);
}

TEST(CanvasRegions, BalloonWithSpoutFillsAndFrames) {
    // A 125 x 50 window: balloon in the lower 25 rows with 6 x 6 corner ellipses, spout
    // from the top-left corner.
    TRegion spout = TRegion::FromPolygon({{0, 0}, {62, 49}, {31, 49}}, true);
    TRegion balloon = TRegion::FromRoundRect(0, 25, 125, 50, 6, 6);
    TRegion shape = TRegion::Combine(spout, balloon, rcOr);
    EXPECT_EQ(balloon.Bounds(), Rect(0, 25, 125, 50));
    EXPECT_EQ(shape.Bounds(), Rect(0, 0, 125, 50));
    EXPECT_TRUE(shape.Contains(0, 0));
    EXPECT_FALSE(shape.Contains(0, 25)); // rounded corner
    EXPECT_FALSE(shape.Contains(124, 49));
    EXPECT_TRUE(shape.Contains(3, 25));
    EXPECT_TRUE(shape.Contains(62, 49));
    EXPECT_FALSE(shape.Contains(100, 10));

    Surface s(125, 50);
    s.c()->Brush()->SetColor(clYellow);
    s.c()->FillRegion(shape);
    s.c()->Brush()->SetColor(clBlack);
    s.c()->FrameRegion(shape, 1, 1);
    EXPECT_EQ(s.at(60, 40), clYellow);
    EXPECT_EQ(s.at(60, 49), clBlack);
    EXPECT_EQ(s.at(0, 40), clBlack);
    EXPECT_EQ(s.at(0, 25), clWhite);
    EXPECT_EQ(s.at(100, 10), clWhite);

    TRegion none = TRegion::Combine(spout, balloon, rcDiff);
    EXPECT_FALSE(none.Contains(60, 40));
    EXPECT_TRUE(none.Contains(20, 20));
    EXPECT_TRUE(TRegion::FromRect(Rect(3, 3, 3, 9)).Empty());
}

TEST(CanvasSurface, HugeCoordinatesDrawOnlyTheVisiblePart) {
    Surface s(10, 10);
    s.c()->Brush()->SetColor(clRed);
    s.c()->Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    EXPECT_EQ(s.at(5, 5), clRed);
    s.c()->MoveTo(-2000000000, 5);
    s.c()->LineTo(-1000000000, 5); // entirely outside
    EXPECT_EQ(s.at(0, 5), clRed);
    s.c()->Polygon({{-100000, -100000}, {100000, -100000}, {0, 100000}});
    s.c()->Rectangle(-2000000000, 3, 2000000000, 4);
    EXPECT_EQ(s.at(5, 3), clBlack);
    s.c()->FillRect(Rect(-2000000000, -2000000000, 2000000000, 2000000000));
    EXPECT_EQ(s.at(9, 9), clRed);
}

TEST(CanvasSurface, TargetsAreKeptAt32BitsAndOthersLeftAlone) {
    QImage image(4, 4, QImage::Format_Grayscale8);
    image.fill(255);
    TCanvas c(&image);
    EXPECT_EQ(image.format(), QImage::Format_RGB32); // converted when set
    c.Brush()->SetColor(clBlack);
    c.FillRect(Rect(0, 0, 2, 2));
    EXPECT_EQ(c.Pixels(1, 1), clBlack);
    image = QImage(4, 4, QImage::Format_Grayscale8); // swapped behind the canvas's back
    image.fill(255);
    c.FillRect(Rect(0, 0, 4, 4));
    c.MoveTo(0, 0);
    c.LineTo(3, 3);
    EXPECT_EQ(c.Pixels(0, 0), CLR_INVALID);
    EXPECT_EQ(image.constScanLine(0)[0], 255);
}
