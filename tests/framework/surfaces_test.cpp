#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/cp932.h"
#include "framework/hintwindow.h"
#include "tests/framework/test_helpers.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace sv;
using namespace sv::test;

namespace {

TEST(AlphaBitmap, PlainCopiesKeepTransparencyDrawingIsOpaque) {
    TBitmap a;
    a.SetAlphaChannel(true);
    a.SetSize(4, 1);
    EXPECT_EQ(qAlpha(a.Image().pixel(0, 0)), 0);
    a.Canvas()->SetPixels(1, 0, clRed);
    TBitmap b;
    b.SetAlphaChannel(true);
    b.SetSize(4, 1);
    b.Canvas()->Brush()->SetColor(clBlue);
    b.Canvas()->FillRect(Rect(0, 0, 4, 1));
    b.Canvas()->CopyRect(Rect(0, 0, 4, 1), a.Canvas(), Rect(0, 0, 4, 1));
    EXPECT_EQ(qAlpha(b.Image().pixel(0, 0)), 0);
    EXPECT_EQ(b.Image().pixel(1, 0), 0xFFFF0000u);
    // Into a plain bitmap the colour goes, as always.
    TBitmap plain(4, 1);
    plain.Canvas()->CopyRect(Rect(0, 0, 4, 1), a.Canvas(), Rect(0, 0, 4, 1));
    EXPECT_EQ(PixelAt(plain, 1, 0), 0xFF0000u);
    EXPECT_EQ(qAlpha(plain.Image().pixel(0, 0)), 255);
}

// A hint window that paints nothing of its own, so the surface shows what was drawn on it.
class BareHint : public THintWindow {
public:
    using THintWindow::THintWindow;
    int paints = 0;

protected:
    void Paint() override { ++paints; }
    void Dispatch(TMessage& m) override {
        if (m.Msg == WM_ERASEBKGND || m.Msg == WM_NCPAINT) return;
        THintWindow::Dispatch(m);
    }
};

TEST(HintSurface, KeepsWhatIsDrawnOutsideAPaint) {
    BareHint hint(nullptr);
    hint.SetTranslucent(true);
    hint.ActivateHint(Bounds(50, 50, 10, 4), "");
    QApplication::processEvents();
    hint.Repaint();
    const int paints = hint.paints;
    EXPECT_GE(paints, 1);
    EXPECT_EQ(qAlpha(hint.Surface().pixel(2, 1)), 0); // nothing drawn: transparent
    hint.DrawOnWindow([](TCanvas* c) { c->SetPixels(2, 1, clLime); });
    EXPECT_EQ(hint.Surface().pixel(2, 1), 0xFF00FF00u);
    EXPECT_EQ(hint.paints, paints);
    hint.Repaint();
    EXPECT_EQ(hint.Surface().pixel(2, 1), 0xFF00FF00u);
    // An opaque window's surface starts in its colour.
    BareHint opaque(nullptr);
    opaque.SetColor(clYellow);
    opaque.ActivateHint(Bounds(50, 50, 10, 4), "");
    QApplication::processEvents();
    opaque.Repaint();
    EXPECT_EQ(opaque.Surface().pixel(2, 1), 0xFFFFFF00u);
}

TEST(Cp932, RoundTripAndUnencodableCharacters) {
    EXPECT_EQ(Utf8ToCp932("１２３"), "\x82\x50\x82\x51\x82\x52");
    EXPECT_EQ(Utf8ToCp932("\xEF\xBD\xA5"), "\xA5"); // half-width middle dot
    EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932("数値 -1.5")), "数値 -1.5");
    EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80"
                          "b"),
              "a?b");
}

} // namespace
