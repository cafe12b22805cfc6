#include "controls/flat_combo.h"

#include "controls/vorsa_button.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace sv {
namespace {

using test::PixelAt;

class FlatComboTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(Application);
        form->SetBounds(0, 0, 400, 200);
        form->BeginLoading();
        field = new TFlatReferEdit(form.get());
        field->SetParent(form.get());
        field->SetBounds(10, 10, 200, 18);
        field->SetBorderColor(clSilver);
        field->SetReadonly(true);
        field->Font()->SetHeight(-12);
        field->SetParentFont(false);
        form->EndLoading();
        form->Show();
    }
    void TearDown() override {
        form.reset();
        test::MoveCursorAway();
    }
    std::unique_ptr<TForm> form;
    TFlatReferEdit* field = nullptr;
};

TEST_F(FlatComboTest, PartsAndAutoHeight) {
    EXPECT_EQ(field->Height(), 18) << "a font of height -12 gives 18";
    EXPECT_EQ(field->ButtonPart()->Width(), 15);
    EXPECT_EQ(field->ButtonPart()->Glyph()->Width(), 10);
    EXPECT_EQ(field->ButtonPart()->Margin(), 1);
    const int w = field->ClientWidth(), h = field->ClientHeight();
    EXPECT_EQ(field->EditPart()->BoundsRect(), Bounds(3, 3, w - 15 - 6, h - 5));
    EXPECT_EQ(field->ButtonPart()->BoundsRect(), Bounds(w - 15 - 2, 2, 15, h - 4));
    field->Font()->SetHeight(-16);
    EXPECT_EQ(field->Height(), 22) << "a new font re-fits the height";
}

TEST_F(FlatComboTest, HoverMakesTheFrameSunkenAndLeavingRestoresIt) {
    auto flat = test::RenderControl(field);
    EXPECT_EQ(PixelAt(*flat, 0, 0), 0xC0C0C0u);
    EXPECT_EQ(PixelAt(*flat, 199, 17), 0xC0C0C0u);
    test::MoveCursorTo(field, 20, 5);
    EXPECT_TRUE(field->Hot());
    auto hot = test::RenderControl(field);
    EXPECT_EQ(PixelAt(*hot, 0, 0), 0x606060u);
    EXPECT_EQ(PixelAt(*hot, 100, 0), 0x606060u);
    EXPECT_EQ(PixelAt(*hot, 199, 17), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(*hot, 199, 5), 0xFFFFFFu);
    test::MoveCursorAway();
    EXPECT_FALSE(field->Hot());
    EXPECT_EQ(PixelAt(*test::RenderControl(field), 0, 0), 0xC0C0C0u);
}

TEST_F(FlatComboTest, ShiftColorClamps) {
    EXPECT_EQ(ShiftColor(clSilver, true), 0x606060u);
    EXPECT_EQ(ShiftColor(clSilver, false), 0xFFFFFFu);
    EXPECT_EQ(ShiftColor(RGB(10, 200, 100), true), RGB(0, 104, 4));
    EXPECT_EQ(ShiftColor(clBtnFace, false), RGB(255, 255, 255)) << "system colour resolved";
}

TEST_F(FlatComboTest, BrowseButtonFocusesAndFiresOnClickOnce) {
    int clicks = 0;
    bool focusedAndHot = false;
    field->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, field);
        focusedAndHot = field->EditPart()->Focused() && field->Hot();
        ++clicks;
    };
    TSpeedButton* b = field->ButtonPart();
    test::MoveCursorTo(b, 5, 5);
    test::ClickAt(b, 5, 5);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(focusedAndHot);
    EXPECT_FALSE(field->ListShown()) << "the path field never shows its list";
    field->OnClick = nullptr;
}

TEST_F(FlatComboTest, KeysOpenNothingAndReadonlyRefusesTyping) {
    EXPECT_TRUE(field->EditPart()->ReadOnly());
    field->EditPart()->SetFocus();
    for (int key : {VK_DOWN, VK_F4, VK_RETURN}) {
        int k = key;
        field->EditPart()->OnKeyDown(field->EditPart(), k,
                                     key == VK_DOWN ? TShiftState{ssAlt} : TShiftState{});
        EXPECT_FALSE(field->ListShown());
    }
}

TEST_F(FlatComboTest, TextFollowsBothWaysWithOnChangeFromTheCombo) {
    int changes = 0;
    field->OnChange = [&](TObject* s) {
        EXPECT_EQ(s, field);
        ++changes;
    };
    field->SetText("/home/u/music/");
    EXPECT_EQ(field->EditPart()->Text(), "/home/u/music/");
    field->EditPart()->SetText("/tmp/");
    EXPECT_EQ(field->Text(), "/tmp/");
    EXPECT_GE(changes, 1);
    field->OnChange = nullptr;
}

TEST_F(FlatComboTest, OneClickOnAPushButtonWhileTheFieldIsFocused) {
    auto* btn = new TVorsaButton(form.get());
    btn->SetParent(form.get());
    btn->SetBounds(10, 60, 75, 25);
    int clicks = 0;
    btn->OnClick = [&](TObject*) { ++clicks; };
    field->EditPart()->SetFocus();
    ASSERT_TRUE(field->EditPart()->Focused());
    test::ClickAt(btn, 10, 10);
    EXPECT_EQ(clicks, 1);
    btn->OnClick = nullptr;
}

TEST_F(FlatComboTest, ClosingTheListCancelsOnlyOurOwnCapture) {
    auto* combo = new TCustomFlatCombo(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 100, 150, 18);
    combo->ListPart()->Items()->Add("alpha");
    combo->ListPart()->Items()->Add("beta");
    auto* other = new TSpeedButton(form.get());
    other->SetParent(form.get());
    other->SetBounds(300, 10, 20, 20);

    combo->ShowList();
    ASSERT_TRUE(combo->ListShown());
    SetCaptureControl(other);
    combo->CloseList();
    EXPECT_FALSE(combo->ListShown());
    EXPECT_EQ(GetCaptureControl(), other) << "someone else's capture is left alone";

    combo->ShowList();
    SetCaptureControl(combo->ButtonPart());
    combo->CloseList();
    EXPECT_EQ(GetCaptureControl(), nullptr);

    SetCaptureControl(combo->ButtonPart());
    combo->CloseList(); // list not shown: nothing to cancel
    EXPECT_EQ(GetCaptureControl(), combo->ButtonPart());
    SetCaptureControl(nullptr);
}

TEST_F(FlatComboTest, ListChoiceByKeysAndCancelModeFromOtherControls) {
    auto* combo = new TCustomFlatCombo(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 100, 150, 18);
    combo->ListPart()->Items()->Add("alpha");
    combo->ListPart()->Items()->Add("beta");
    int clicks = 0;
    combo->OnClick = [&](TObject* s) {
        EXPECT_EQ(s, combo);
        ++clicks;
    };
    int key = VK_DOWN;
    combo->EditPart()->OnKeyDown(combo->EditPart(), key, TShiftState{});
    EXPECT_EQ(combo->Text(), "alpha");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(key, 0) << "consumed";
    key = VK_F4;
    combo->EditPart()->OnKeyDown(combo->EditPart(), key, TShiftState{});
    EXPECT_TRUE(combo->ListShown());
    // Shown over the form, just below the combo.
    EXPECT_EQ(combo->ListPart()->Parent(), form.get());
    EXPECT_EQ(combo->ListPart()->Top(), 100 + 18 - 2);
    EXPECT_EQ(combo->ListPart()->Width(), 150);
    combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(combo->ButtonPart()));
    EXPECT_TRUE(combo->ListShown()) << "a notice naming our own part is ignored";
    combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(field));
    EXPECT_FALSE(combo->ListShown());
    EXPECT_EQ(combo->ListPart()->Parent(), combo);
    combo->OnClick = nullptr;
}

} // namespace
} // namespace sv
