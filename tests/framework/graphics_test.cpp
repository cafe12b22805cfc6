#include "framework/graphics.h"

#include <gtest/gtest.h>

using namespace sv;

TEST(Colors, SystemColoursResolveThroughTheClassicTable) {
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clBtnText), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clWindowFrame), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(clHighlight), RGB(10, 36, 106));
    EXPECT_EQ(ColorToRGB(clGrayText), RGB(128, 128, 128));
    EXPECT_EQ(ColorToRGB(cl3DLight), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(cl3DDkShadow), RGB(64, 64, 64));
    EXPECT_EQ(ColorToRGB(clInfoBk), RGB(255, 255, 225));
    EXPECT_EQ(ColorToRGB(clInfoText), RGB(0, 0, 0));
    // The numbers other code relies on.
    EXPECT_EQ(clBtnFace, 0x8000000Fu);
    EXPECT_EQ(clHighlight, 0x8000000Du);
    EXPECT_EQ(clBtnHighlight, 0x80000014u);
}

TEST(Colors, PlainValuesPassUnchangedAndChannelsSplitBlueHigh) {
    EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456u);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(ColorToRGB(clDefault), clDefault);
    TColor c = RGB(1, 2, 3);
    EXPECT_EQ(c, 0x00030201u);
    EXPECT_EQ(GetRValue(c), 1);
    EXPECT_EQ(GetGValue(c), 2);
    EXPECT_EQ(GetBValue(c), 3);
    EXPECT_EQ(ColorToQRgb(clRed), 0xFFFF0000u);
    EXPECT_EQ(ColorToQRgb(clBtnFace), 0xFFD4D0C8u);
}

TEST(Font, JapaneseSystemFacesMapToIpaFonts) {
    EXPECT_EQ(SubstituteFontName("ＭＳ Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(SubstituteFontName("ＭＳ ゴシック"), "IPAGothic");
    EXPECT_EQ(SubstituteFontName("ＭＳ 明朝"), "IPAMincho");
    EXPECT_EQ(SubstituteFontName("DejaVu Sans"), "DejaVu Sans");

    TFont f;
    f.SetName("ＭＳ 明朝");
    EXPECT_EQ(f.Name(), "ＭＳ 明朝"); // the program still sees its own name
    EXPECT_EQ(f.ToQFont().family(), "IPAMincho");
}

TEST(Font, SizeAndHeightConvertAtNinetySixPixelsPerInch) {
    TFont f;
    EXPECT_EQ(f.Height(), -12);
    EXPECT_EQ(f.Size(), 9);
    f.SetSize(12);
    EXPECT_EQ(f.Height(), -16);
    EXPECT_EQ(f.ToQFont().pixelSize(), 16);
    f.SetHeight(-13);
    EXPECT_EQ(f.Size(), 10); // 9.75 rounds
    EXPECT_EQ(f.ToQFont().styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);
}

TEST(Font, ChangeFiresOnlyForRealChangesAndAssignCopiesEverything) {
    TFont a;
    int changes = 0;
    TObject* sender = nullptr;
    a.OnChange = [&](TObject* s) {
        ++changes;
        sender = s;
    };
    a.SetColor(clRed);
    a.SetColor(clRed);
    a.SetStyle({fsBold, fsUnderline});
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(sender, &a);

    TFont b;
    b.Assign(&a);
    EXPECT_EQ(b.Color(), clRed);
    EXPECT_TRUE(b.Style().Contains(fsBold));
    EXPECT_TRUE(b.Style().Contains(fsUnderline));
    EXPECT_FALSE(b.Style().Contains(fsItalic));
    EXPECT_TRUE(b.ToQFont().bold());
    EXPECT_TRUE(b.ToQFont().underline());

    TPen pen;
    changes = 0;
    EXPECT_THROW(a.Assign(&pen), EConvertError);
    EXPECT_EQ(a.Color(), clRed);
    EXPECT_EQ(changes, 0);
}

TEST(PenAndBrush, DefaultsAndFrameworkQuirks) {
    TPen pen;
    EXPECT_EQ(pen.Color(), clBlack);
    EXPECT_EQ(pen.Width(), 1);
    EXPECT_EQ(pen.Mode(), pmCopy);
    pen.SetWidth(0);
    EXPECT_EQ(pen.Width(), 1);

    TBrush brush;
    EXPECT_EQ(brush.Color(), clWhite);
    brush.SetStyle(bsClear);
    int changes = 0;
    brush.OnChange = [&](TObject*) { ++changes; };
    // A colour given to a clear brush makes it solid, even the same colour.
    brush.SetColor(clWhite);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(changes, 1);

    TBrush copy;
    copy.Assign(&brush);
    EXPECT_EQ(copy.Style(), bsSolid);
    EXPECT_THROW(copy.Assign(&pen), EConvertError);
}

TEST(Geometry, RectHelpers) {
    TRect r = Rect(0, 0, 10, 10);
    InflateRect(r, -2, -3);
    EXPECT_EQ(r, Rect(2, 3, 8, 7));
    OffsetRect(r, 1, -1);
    EXPECT_EQ(r, Rect(3, 2, 9, 6));
    TRect i;
    EXPECT_TRUE(IntersectRect(i, r, Rect(5, 0, 20, 4)));
    EXPECT_EQ(i, Rect(5, 2, 9, 4));
    EXPECT_FALSE(IntersectRect(i, r, Rect(9, 0, 20, 4)));
    EXPECT_EQ(i, TRect{});
    EXPECT_TRUE(PtInRect(r, {3, 2}));
    EXPECT_FALSE(PtInRect(r, {9, 2}));
}
