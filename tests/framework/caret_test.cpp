#include "framework/caret.h"
#include "framework/forms.h"
#include "tests/framework/test_helpers.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace sv;
using namespace sv::test;

namespace {

class CaretTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCaretBlinkTime(0);
        form = new TForm(Application);
        form->SetBounds(0, 0, 200, 100);
        box = new TCustomControl(form);
        box->SetParent(form);
        box->SetBounds(10, 10, 50, 20);
        box->SetColor(clWhite);
        form->Show();
        QApplication::processEvents();
    }
    void TearDown() override {
        delete form;
        SetCaretBlinkTime(530);
    }
    TForm* form = nullptr;
    TCustomControl* box = nullptr;
};

TEST_F(CaretTest, HiddenUntilShownAndHidingCounts) {
    EXPECT_FALSE(CreateCaret(box, 1, 0));
    EXPECT_EQ(GetCaretInfo().Owner, nullptr);
    ASSERT_TRUE(CreateCaret(box, 2, 12));
    EXPECT_FALSE(GetCaretInfo().Visible);
    EXPECT_TRUE(ShowCaret(box));
    EXPECT_TRUE(ShowCaret(box)); // already shown: the count stays at zero
    EXPECT_TRUE(GetCaretInfo().Visible);
    HideCaret(box);
    HideCaret(box);
    ShowCaret(box);
    EXPECT_FALSE(GetCaretInfo().Visible);
    ShowCaret(box);
    EXPECT_TRUE(GetCaretInfo().Visible);
    SetCaretPos(7, 3);
    EXPECT_EQ(GetCaretInfo().Bounds, Rect(7, 3, 9, 15));
    EXPECT_FALSE(DestroyCaret(form)); // only its owner removes it
    EXPECT_TRUE(DestroyCaret(box));
    EXPECT_EQ(GetCaretInfo().Owner, nullptr);
    EXPECT_FALSE(SetCaretPos(1, 1));
}

TEST_F(CaretTest, InvertsThePixelsUnderItOnTheWindowOnly) {
    CreateCaret(box, 2, 12);
    SetCaretPos(5, 4);
    ShowCaret(box);
    auto shown = RenderControl(box);
    EXPECT_EQ(PixelAt(*shown, 5, 4), 0x000000u);
    EXPECT_EQ(PixelAt(*shown, 6, 15), 0x000000u);
    EXPECT_EQ(PixelAt(*shown, 7, 4), 0xFFFFFFu);
    HideCaret(box);
    EXPECT_EQ(PixelAt(*RenderControl(box), 5, 4), 0xFFFFFFu);
    // A new owner takes the caret away.
    CreateCaret(form, 1, 1);
    ShowCaret(box);
    EXPECT_EQ(PixelAt(*RenderControl(box), 5, 4), 0xFFFFFFu);
    delete box;
    EXPECT_EQ(GetCaretInfo().Owner, form);
    DestroyCaret(form);
}

} // namespace

namespace {
// Lets its caret go as it is freed, as a field with a caret does.
class CaretField : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    ~CaretField() override {
        BeginDestruction();
        DestroyCaret(this);
    }
};
} // namespace

TEST_F(CaretTest, AnOwnerFreedWithItsCaretShownStopsTheBlinking) {
    SetCaretBlinkTime(530);
    auto* field = new CaretField(form);
    field->SetParent(form);
    field->SetBounds(10, 40, 50, 20);
    ASSERT_TRUE(CreateCaret(field, 1, 12));
    ShowCaret(field);
    auto* blink = QCoreApplication::instance()->findChild<QTimer*>("caretBlink");
    ASSERT_NE(blink, nullptr);
    EXPECT_TRUE(blink->isActive());
    delete field;
    EXPECT_EQ(GetCaretInfo().Owner, nullptr);
    EXPECT_FALSE(blink->isActive());
    EXPECT_FALSE(ShowCaret(box)); // no caret is left over for another control
}
