#include "framework/caret.h"
#include "framework/cp932.h"
#include "widget_test.h"
#include "writer/widgets/kst_edit.h"

#include <climits>

namespace sv::test {
namespace {

std::string Dots(int n) {
    return std::string(static_cast<std::size_t>(n), '\xA5');
}

class KstEditTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        e = Make<TKstEdit>();
    }
    void Type(const std::string& keys) {
        for (char c : keys) e->Perform(WM_CHAR, static_cast<unsigned char>(c));
    }
    void Key(int vk) { e->Perform(WM_KEYDOWN, vk); }
    TKstEdit* e = nullptr;
};

TEST_F(KstEditTest, DigitsFillFromTheRight) {
    Type("123");
    EXPECT_EQ(e->KeyBuffer(), Dots(12) + "123");
    EXPECT_EQ(e->GetKeybf(), std::string(12, ' ') + "123");
    EXPECT_EQ(e->Value(), 123);
    Type("4567890123456789");
    EXPECT_EQ(e->KeyBuffer(), "123456789012345");

    auto* zeros = Make<TKstEdit>();
    zeros->SetZeroSuppress(false);
    for (char c : std::string("123")) zeros->Perform(WM_CHAR, c);
    EXPECT_EQ(zeros->KeyBuffer(), "000000000000123");
}

TEST_F(KstEditTest, SeparatorsGroupTheIntegerPartAndLimitTheDigits) {
    e->SetGirderEnabled(true);
    EXPECT_EQ(e->UsableLength(), 12);
    Type("1234567");
    EXPECT_EQ(e->Digit3(e->KeyBuffer()), Dots(6) + "1,234,567");
    RenderControl(e);
    EXPECT_EQ(e->Text(), Cp932ToUtf8(Dots(6) + "1,234,567"));
    Type("8901234");
    EXPECT_EQ(e->KeyBuffer(), Dots(3) + "123456789012");
    EXPECT_EQ(e->Digit3(e->KeyBuffer()), "123,456,789,012");

    e->SetKeybf("1234.5678");
    EXPECT_EQ(e->Digit3(e->KeyBuffer()), Dots(5) + "1,234.5678");
    e->SetMaxLength(4);
    EXPECT_EQ(e->UsableLength(), 4);
    Type("1234");
    EXPECT_EQ(e->Digit3(e->KeyBuffer()), "1234"); // no separator rather than a lost digit
}

TEST_F(KstEditTest, PointAndSigns) {
    Type("12.");
    EXPECT_EQ(e->Value(), 12000); // a point that cannot be one stands for three zeros
    e->Clear();
    e->SetPointEnabled(true);
    Type("1.5.");
    EXPECT_EQ(e->KeyBuffer(), Dots(9) + "1.5000");
    EXPECT_EQ(e->Value(), 1);

    e->Clear();
    e->SetMinusEnabled(true);
    Type("-5-");
    EXPECT_EQ(e->GetKeybf(), std::string(13, ' ') + "-5");
    EXPECT_EQ(e->Value(), -5);
    e->Clear();
    Type("+5+");
    EXPECT_EQ(e->GetKeybf(), std::string(13, ' ') + "+5");

    // Without signs or a point, a dash separates; "12-34" reads two ways.
    e->Clear();
    e->SetMinusEnabled(false);
    e->SetPointEnabled(false);
    Type("-12-3-4");
    EXPECT_EQ(e->GetKeybf(), std::string(10, ' ') + "12-34");
    EXPECT_EQ(e->Value(), -1234);
    EXPECT_EQ(e->LongValue(), 12);
}

TEST_F(KstEditTest, BackspaceKeepsTheSignAndPointBitsTrue) {
    e->SetMinusEnabled(true);
    Type("-5");
    Key(VK_BACK);
    Key(VK_BACK);
    EXPECT_TRUE(e->Empty());
    Type("-");
    EXPECT_EQ(e->GetKeybf(), std::string(14, ' ') + "-");

    e->Clear();
    e->SetPointEnabled(true);
    Type("1.");
    Key(VK_BACK);
    Type(".5");
    EXPECT_EQ(e->GetKeybf(), std::string(12, ' ') + "1.5");

    Type("\b\b\b\b");
    EXPECT_FALSE(e->Modified()); // backspace on an empty field clears it
}

TEST_F(KstEditTest, SpecialKeysInTheStateWord) {
    Key(VK_RETURN);
    EXPECT_EQ(e->State(), TKstEdit::kEnter);
    Type("*");
    EXPECT_EQ(e->State(), TKstEdit::kStar);
    e->SetAutoExit(true);
    e->SetMaxLength(3);
    Type("12");
    EXPECT_EQ(e->State() & TKstEdit::kFull, 0);
    Type("3");
    EXPECT_EQ(e->State() & TKstEdit::kFull, TKstEdit::kFull);
    Key(VK_DELETE);
    EXPECT_EQ(e->KeyBuffer(), Dots(3));
    EXPECT_TRUE(e->Modified());
    EXPECT_EQ(e->State(), 0);
}

TEST_F(KstEditTest, LimitsAndChecks) {
    EXPECT_EQ(e->Value(), 0);
    EXPECT_EQ(e->CheckValue(), -1); // nothing typed
    e->SetLowValue(10);
    e->SetHighValue(20);
    Type("25");
    EXPECT_EQ(e->Value(), 25);
    EXPECT_TRUE(e->DataInError());
    EXPECT_EQ(e->CheckValue(), 0);
    e->Clear();
    Type("15");
    EXPECT_EQ(e->CheckLongValue(), 1);
    EXPECT_FALSE(e->DataInError());

    e->SetLowValue(0);
    e->SetHighValue(0);
    e->Clear();
    Type("12-");
    EXPECT_EQ(e->Value(), 0);
    EXPECT_TRUE(e->DataInError()); // ends in a dash
}

TEST_F(KstEditTest, LoadingTextAndValues) {
    e->SetKeybf("12a4");
    EXPECT_EQ(e->KeyBuffer().substr(11), std::string("12") + '\xA5' + "4");
    EXPECT_TRUE(e->Empty());
    EXPECT_TRUE(e->Modified());
    e->SetKeybf("１２"); // counted in code page 932 bytes
    EXPECT_EQ(e->KeyBuffer(), Dots(15));

    e->SetValue(123);
    EXPECT_EQ(e->GetKeybf(), std::string(12, ' ') + "123");
    e->SetValue(-5); // no minus allowed
    EXPECT_EQ(e->Value(), 123);
    e->SetMinusEnabled(true);
    e->SetZeroSuppress(false);
    e->SetMaxLength(6);
    e->SetValue(-5);
    EXPECT_EQ(e->KeyBuffer(), "-00005");
    e->SetValue(1234567); // does not fit six places
    EXPECT_EQ(e->Value(), -5);
    e->SetLongValue(-42);
    EXPECT_EQ(e->LongValue(), -42);

    // Padded to the longest field: every place is written, the digits last.
    e->SetMaxLength(63);
    e->SetValue(7);
    EXPECT_EQ(e->KeyBuffer(), std::string(62, '0') + "7");
    EXPECT_EQ(e->Value(), 7);
    e->SetLongValue(-1234567890123LL);
    EXPECT_EQ(e->KeyBuffer(), "-" + std::string(49, '0') + "1234567890123");
    EXPECT_EQ(e->LongValue(), -1234567890123LL);
}

TEST_F(KstEditTest, LongDigitStringsSaturate) {
    e->SetKeybf("999999999999999");
    EXPECT_EQ(e->Value(), INT_MAX);
    EXPECT_TRUE(e->DataInError());
    EXPECT_EQ(e->LongValue(), 999999999999999LL);
    EXPECT_FALSE(e->DataInError());

    e->SetMaxLength(25);
    e->SetKeybf(std::string(25, '9'));
    EXPECT_EQ(e->LongValue(), LLONG_MAX);
    EXPECT_TRUE(e->DataInError());
    e->SetKeybf("-" + std::string(24, '9'));
    EXPECT_EQ(e->Value(), INT_MIN);
    EXPECT_TRUE(e->DataInError());
    e->SetMinusEnabled(true);
    e->SetLongValue(LLONG_MIN);
    EXPECT_EQ(e->LongValue(), LLONG_MIN);
    EXPECT_FALSE(e->DataInError());
}

TEST_F(KstEditTest, NewLengthStartsCleanAndBlackIsNoColour) {
    e->SetMinusEnabled(true);
    Type("-1");
    e->SetMaxLength(0);
    e->SetMaxLength(64);
    EXPECT_EQ(e->MaxLength(), 15);
    e->SetMaxLength(5);
    EXPECT_EQ(e->KeyBuffer(), Dots(5));
    EXPECT_TRUE(e->Empty());
    Type("-"); // the sign bit went with the old entry
    EXPECT_EQ(e->GetKeybf(), "    -");
    e->SetEnterColor(clBlack);
    EXPECT_EQ(e->EnterColor(), clWhite);
}

TEST_F(KstEditTest, FullWidthDisplay) {
    const std::string half = std::string(1, '\xA5') + " +-0123456789,.*";
    EXPECT_EQ(TKstEdit::Str2Knj(half), Utf8ToCp932("・　＋－０１２３４５６７８９，．"));
    e->SetEchoBack(ebKanji);
    e->SetMaxLength(3);
    Type("7");
    RenderControl(e);
    EXPECT_EQ(e->Text(), "・・７");
}

class KstEditFocus : public KstEditTest {
protected:
    void SetUp() override {
        KstEditTest::SetUp();
        SetCaretBlinkTime(0);
        e->SetMaxLength(4);
        e->SetFillChar(fcBlank);
        other = Make<TKstEdit>();
        other->SetTop(40);
        form->Show();
        QApplication::processEvents(); // exposed, so that Repaint paints
    }
    void TearDown() override {
        SetCaretBlinkTime(530);
        KstEditTest::TearDown();
    }
    TKstEdit* other = nullptr;
    FixedText text;
};

TEST_F(KstEditFocus, CaretFollowsTheTextByAlignment) {
    e->SetFocus();
    TCaretInfo caret = GetCaretInfo();
    ASSERT_EQ(caret.Owner, e);
    EXPECT_EQ(caret.Bounds.Width(), 1);
    EXPECT_EQ(caret.Bounds.Height(), 21);
    Type("12");
    const std::pair<THalign, int> xs[] = {
        {THalign::haRight, 118}, {THalign::haCenter, 76}, {THalign::haLeft, 35}};
    for (auto [align, x] : xs) {
        e->SetHalign(align);
        e->Repaint();
        caret = GetCaretInfo();
        EXPECT_EQ(caret.Bounds.TopLeft(), Point(x, 1));
        EXPECT_TRUE(caret.Visible);
    }
    Key(VK_DOWN); // Up and Down move the focus
    EXPECT_EQ(GetCaretInfo().Owner, other);

    e->SetBorderLine(blSingle);
    other->Perform(WM_KEYDOWN, VK_UP);
    ASSERT_EQ(GetCaretInfo().Owner, e);
    EXPECT_EQ(GetCaretInfo().Bounds.Height(), 19);
    other->SetBevelWidth(7); // nothing left of the height: no caret
    other->SetFocus();
    EXPECT_EQ(GetCaretInfo().Owner, nullptr);
}

TEST_F(KstEditFocus, ColourLookFollowsTheFocus) {
    other->SetFocus();
    e->SetCaretType(ctColor);
    e->SetEnterColor(clYellow);
    e->SetExitColor(clSilver);
    e->SetFocus();
    EXPECT_EQ(PixelAt(*RenderControl(e), 5, 5), Px(clYellow));
    other->SetFocus();
    EXPECT_EQ(PixelAt(*RenderControl(e), 5, 5), Px(clSilver));
    // The text is the inverse of the background.
    e->SetKeybf("8");
    EXPECT_EQ(BoundsOf(*RenderControl(e), Px(clSilver) ^ 0xFFFFFF), Bounds(110, 6, 7, 11));
}

} // namespace
} // namespace sv::test
