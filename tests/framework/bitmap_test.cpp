#include "framework/bitmap.h"
#include "framework/canvas.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace sv;

TEST(Bitmap, EmptyResizeAndRows) {
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.TransparentColor(), clDefault);
    EXPECT_THROW(b.ScanLine(0), EInvalidGraphic);

    b.SetSize(4, 3);
    EXPECT_FALSE(b.Empty());
    b.Canvas()->SetPixels(1, 2, RGB(0x11, 0x22, 0x33));
    // Rows read as 0x00RRGGBB, blue in the low byte.
    EXPECT_EQ(b.ScanLine(2)[1] & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(b.ScanLine(0)[0] & 0xFFFFFF, 0xFFFFFFu);
    b.ScanLine(0)[3] = 0x00445566; // top byte written as 0 is still a colour
    EXPECT_EQ(b.Canvas()->Pixels(3, 0), RGB(0x44, 0x55, 0x66));

    b.SetWidth(6); // pixels that fit stay, the rest is white
    EXPECT_EQ(b.Canvas()->Pixels(1, 2), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(b.Canvas()->Pixels(5, 2), clWhite);
    b.SetHeight(0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphic);
}

TEST(Bitmap, AssignIsADeepCopy) {
    TBitmap a(2, 2);
    a.Canvas()->SetPixels(0, 0, clRed);
    a.SetTransparent(true);
    a.SetTransparentColor(clRed);
    TBitmap b;
    b.Assign(&a);
    b.Canvas()->SetPixels(0, 0, clBlue);
    EXPECT_EQ(a.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clRed);

    TFont font;
    EXPECT_THROW(b.Assign(&font), EConvertError);
    EXPECT_EQ(b.Width(), 2);
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, ChangeEventsFollowSizeCanvasAndSettings) {
    TBitmap b;
    int changes = 0;
    b.OnChange = [&](TObject* s) {
        EXPECT_EQ(s, &b);
        ++changes;
    };
    b.SetSize(3, 3);
    EXPECT_EQ(changes, 1);
    b.SetSize(3, 3);
    EXPECT_EQ(changes, 1);
    b.Canvas()->FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(changes, 2);
    b.SetPixelFormat(pf32bit);
    b.SetPixelFormat(pf32bit);
    EXPECT_EQ(changes, 3);
}

TEST(Bitmap, MonochromeKeepsWhiteAndBlackensTheRest) {
    TBitmap b(3, 1);
    b.Canvas()->SetPixels(0, 0, clWhite);
    b.Canvas()->SetPixels(1, 0, RGB(250, 250, 250));
    b.Canvas()->SetPixels(2, 0, clRed);
    b.SetMonochrome(true);
    EXPECT_EQ(b.PixelFormat(), pf1bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), clBlack);
    EXPECT_EQ(b.Canvas()->Pixels(2, 0), clBlack);
}

TEST(Bitmap, BmpFilesRoundTripAndBadFilesChangeNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string path = dir.filePath("a.bmp").toStdString();
    TBitmap a(5, 4);
    a.Canvas()->SetPixels(4, 3, RGB(1, 2, 3));
    a.SaveToFile(path);

    TBitmap b;
    b.LoadFromFile(path);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 4);
    EXPECT_EQ(b.Canvas()->Pixels(4, 3), RGB(1, 2, 3));

    try {
        b.LoadFromFile(dir.filePath("missing.bmp").toStdString());
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(e.Message().find("missing.bmp"), std::string::npos);
    }
    EXPECT_EQ(b.Width(), 5);
    // A folder where the file should be.
    EXPECT_THROW(a.SaveToFile(dir.path().toStdString()), EInvalidGraphic);
    TBitmap empty;
    EXPECT_THROW(empty.SaveToFile(dir.filePath("e.bmp").toStdString()), EInvalidGraphic);
}

TEST(ImageList, AddMaskedCutsCellsAndDrawsWithoutTheMaskColour) {
    TImageList list(nullptr);
    list.SetSize(2, 2);
    TBitmap strip(5, 2); // two whole cells and a column left over
    strip.Canvas()->Brush()->SetColor(clLime);
    strip.Canvas()->FillRect(Rect(0, 0, 5, 2));
    strip.Canvas()->SetPixels(0, 0, clRed);
    strip.Canvas()->SetPixels(3, 1, clBlue);
    EXPECT_EQ(list.AddMasked(&strip, clLime), 0);
    EXPECT_EQ(list.Count(), 2);

    TBitmap target(4, 4);
    list.Draw(target.Canvas(), 1, 1, 1);
    EXPECT_EQ(target.Canvas()->Pixels(2, 2), clBlue);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clWhite);
    EXPECT_EQ(target.Canvas()->Pixels(1, 2), clWhite);
    list.Draw(target.Canvas(), 0, 0, 5); // no such cell
    list.Draw(nullptr, 0, 0, 0);

    // The bottom-left pixel as mask colour, and a cell size change that clears the list.
    EXPECT_EQ(list.AddMasked(&strip, clDefault), 2);
    EXPECT_EQ(list.Count(), 4);
    list.SetWidth(3);
    EXPECT_EQ(list.Count(), 0);
    TBitmap narrow(2, 2);
    EXPECT_EQ(list.AddMasked(&narrow, clWhite), -1);
}

TEST(ImageList, DisabledDrawEmbossesTheShape) {
    TImageList list(nullptr, 2, 1);
    TBitmap cell(2, 1);
    cell.Canvas()->SetPixels(0, 0, clBlack);
    list.AddMasked(&cell, clWhite);
    TBitmap target(4, 3);
    target.Canvas()->Brush()->SetColor(clRed);
    target.Canvas()->FillRect(Rect(0, 0, 4, 3));
    list.Draw(target.Canvas(), 1, 1, 0, false);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), ColorToRGB(clBtnShadow));
    EXPECT_EQ(target.Canvas()->Pixels(2, 2), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(target.Canvas()->Pixels(2, 1), clRed);
}

TEST(ImageList, OwnerFreesIt) {
    TComponent owner(nullptr);
    auto* list = new TImageList(&owner);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), list);
}
