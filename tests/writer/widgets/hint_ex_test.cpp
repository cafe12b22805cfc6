#include "widget_test.h"
#include "writer/widgets/hint_ex.h"

#include <QFontInfo>
#include <QWidget>

namespace sv::test {
namespace {

// Cells 2 x 18, so that 47 characters make a plain hint of 100 x 20 (text + 6, + 2).
struct NarrowText {
    FixedCellTextMetrics cells{2, 18, 14};
    NarrowText() { SetDefaultTextMetrics(&cells); }
    ~NarrowText() { SetDefaultTextMetrics(nullptr); }
};

const std::string kText(47, 'x');

TEST(HintEx, KeysLeaveItUpAClickTakesItDown) {
    TForm form(Application);
    auto* target = new TPanel(&form);
    target->SetParent(&form);
    target->SetHint("help");
    Application->SetHintWindowClass([](TComponent* owner) { return new THintEx(owner); });
    Application->ActivateHint(target);
    THintWindow* w = Application->HintWindow();
    ASSERT_NE(dynamic_cast<THintEx*>(w), nullptr);
    EXPECT_TRUE(w->Visible());
    Application->HintMouseMessage(TMessage{WM_KEYDOWN, VK_SPACE, 0, 0});
    Application->HintMouseMessage(TMessage{WM_CHAR, 'a', 0, 0});
    EXPECT_TRUE(w->Visible());
    Application->HintMouseMessage(TMessage{WM_LBUTTONDOWN, MK_LBUTTON, 0, 0});
    EXPECT_FALSE(w->Visible());
    Application->SetHintWindowClass(nullptr);
}

TEST(SpoutHint, BalloonWithASpoutOverWhatLiesBeneath) {
    NarrowText text;
    TSpoutHint hint(nullptr);
    const TRect r = hint.CalcHintRect(1000, kText, nullptr);
    EXPECT_EQ(r, Rect(0, 0, 125, 50));
    hint.SetColor(clYellow);
    hint.ActivateHint(Bounds(100, 100, 125, 50), "");
    QApplication::processEvents(); // shown and exposed: a paint reaches the window
    hint.Repaint();
    const QImage& s = hint.Surface();
    ASSERT_EQ(s.size(), QSize(125, 50));
    auto at = [&](int x, int y) { return s.pixel(x, y); };
    const QRgb black = 0xFF000000, yellow = 0xFFFFFF00;
    // The spout runs from the top-left corner down to (31, 49) and (62, 49).
    EXPECT_EQ(at(0, 0), black);
    EXPECT_EQ(qAlpha(at(1, 0)), 0);
    EXPECT_EQ(qAlpha(at(10, 20)), 0);
    EXPECT_EQ(at(13, 20), black);
    EXPECT_EQ(at(20, 20), yellow);
    EXPECT_EQ(at(25, 20), black);
    EXPECT_EQ(qAlpha(at(27, 20)), 0);
    // The balloon fills the lower 25 rows, its corners cut by 6 x 6 ellipses.
    EXPECT_EQ(at(100, 25), black);
    EXPECT_EQ(at(100, 24), qRgba(0, 0, 0, 0));
    EXPECT_EQ(at(100, 30), yellow);
    EXPECT_EQ(at(62, 49), black);
    EXPECT_EQ(at(31, 49), black);
    EXPECT_EQ(qAlpha(at(0, 49)), 0);
    EXPECT_EQ(qAlpha(at(124, 25)), 0);
    EXPECT_EQ(at(124, 30), black);

    // Where no compositing manager runs, the window starts with a picture of the screen beneath
    // it, taken before it shows.
    SetScreenComposited(false);
    TForm beneath(nullptr);
    beneath.SetBorderStyle(bsNone);
    beneath.SetBounds(50, 50, 300, 200);
    beneath.SetColor(clTeal);
    beneath.Show();
    QApplication::processEvents();
    TSpoutHint opaque(nullptr);
    opaque.SetColor(clYellow);
    opaque.ActivateHint(Bounds(100, 100, 125, 50), "");
    QApplication::processEvents();
    opaque.Repaint();
    SetScreenComposited(std::nullopt);
    const QImage& o = opaque.Surface();
    const QRgb teal = ColorToQRgb(clTeal);
    EXPECT_EQ(o.pixel(1, 0), teal);
    EXPECT_EQ(o.pixel(10, 20), teal);
    EXPECT_EQ(o.pixel(20, 20), yellow);
    EXPECT_EQ(o.pixel(100, 24), teal);
    EXPECT_EQ(o.pixel(100, 30), yellow);
    EXPECT_EQ(o.pixel(0, 49), teal);
}

TEST(HintEx, CaptionInMinchoOfTwelvePoints) {
    TSpoutHint hint(nullptr);
    EXPECT_EQ(hint.Canvas()->Font()->Name(), "ＭＳ 明朝");
    EXPECT_EQ(hint.Canvas()->Font()->Size(), 12);
    EXPECT_EQ(QFontInfo(hint.Canvas()->Font()->ToQFont()).family(), "IPAMincho");
    // The caption is drawn as the same text in that font draws it.
    const std::string text = "書込みを開始します";
    const TRect r = hint.CalcHintRect(1000, text, nullptr);
    hint.SetColor(clYellow);
    hint.ActivateHint(Bounds(100, 100, r.Width(), r.Height()), text);
    QApplication::processEvents();
    hint.Repaint();
    TBitmap expected(r.Width(), r.Height());
    TCanvas* c = expected.Canvas();
    c->Font()->SetName("ＭＳ 明朝");
    c->Font()->SetSize(12);
    c->Font()->SetColor(hint.Canvas()->Font()->Color());
    c->Brush()->SetColor(clYellow);
    c->FillRect(Rect(0, 0, r.Width(), r.Height()));
    const int a = r.Height() / 2;
    TRect t = Rect(0, a, r.Width(), r.Height());
    InflateRect(t, -(a / 8), -(a / 8));
    c->DrawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    const QImage& s = hint.Surface();
    int inked = 0, differ = 0;
    for (int y = a + 3; y < r.Height() - 3; ++y)
        for (int x = 8; x < r.Width() - 8; ++x) {
            const std::uint32_t want = PixelAt(expected, x, y);
            inked += want != Px(clYellow);
            differ += (s.pixel(x, y) & 0xFFFFFF) != want;
        }
    EXPECT_GT(inked, 100);
    EXPECT_EQ(differ, 0);
}

TEST(RectHint, SlidesInOneRowEveryTenMillisecondsOnEveryPaint) {
    TRectHint hint(nullptr);
    std::vector<int> waits;
    std::vector<QRgb> topRow; // the window's first row after each step
    hint.Slide().SetWait([&](int ms) {
        waits.push_back(ms);
        topRow.push_back(hint.Surface().pixel(50, 0));
    });
    hint.SetColor(clYellow);
    hint.ActivateHint(Bounds(100, 100, 100, 20), "");
    QApplication::processEvents(); // the first showing's own paint and slide
    waits.clear();
    topRow.clear();
    hint.Repaint();
    QApplication::processEvents();
    ASSERT_EQ(waits.size(), 20u);
    EXPECT_EQ(waits, std::vector<int>(20, 10));
    const QImage& s = hint.Surface();
    // First the picture's bottom row shows at the top; at the end the picture stands whole.
    EXPECT_EQ(topRow.front(), s.pixel(50, 19));
    EXPECT_EQ(topRow.back(), s.pixel(50, 0));
    EXPECT_NE(s.pixel(50, 0), s.pixel(50, 19));
    EXPECT_EQ(s.pixel(50, 10), 0xFFFFFF00);
    hint.Repaint();
    QApplication::processEvents();
    EXPECT_EQ(waits.size(), 40u);
}

} // namespace
} // namespace sv::test
