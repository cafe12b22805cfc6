#include "controls/flat_combo.h"

#include "controls/vorsa_button.h"
#include "tests/framework/test_helpers.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <memory>
#include <string>
#include <vector>

namespace sv {
namespace {

using test::PixelAt;

// A typed character, through the real Qt path of the control's widget.
void TypeInto(TWinControl* control, char c) {
    const QString text(QChar::fromLatin1(c));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, text);
    QApplication::sendEvent(control->Handle(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + (c - 'a'), Qt::NoModifier, text);
    QApplication::sendEvent(control->Handle(), &release);
}

void SendKey(TWinControl* control, int qtKey) {
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(control->Handle(), &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(control->Handle(), &release);
}

// A combo of the list-only style, which takes the focus itself.
class ListOnlyCombo : public TCustomFlatCombo {
public:
    explicit ListOnlyCombo(TComponent* owner) : TCustomFlatCombo(owner) { SetStyle(1); }
};

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
    // A combo of the form at the given top, with these rows in its list.
    template <class Combo = TCustomFlatCombo>
    Combo* AddCombo(int top, const std::vector<std::string>& rows) {
        auto* combo = new Combo(form.get());
        combo->SetParent(form.get());
        combo->SetBounds(10, top, 150, 18);
        for (const std::string& row : rows) combo->ListPart()->Items()->Add(row);
        return combo;
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

    // Auto size holds against every bounds change, not only fonts and loading.
    field->Font()->SetHeight(-12);
    field->SetHeight(30);
    EXPECT_EQ(field->Height(), 18);
    field->SetBounds(20, 20, 150, 40);
    EXPECT_EQ(field->BoundsRect(), Bounds(20, 20, 150, 18));
    field->SetAutoSize(false);
    field->SetHeight(30);
    EXPECT_EQ(field->Height(), 30);
    EXPECT_EQ(field->EditPart()->Height(), 30 - 5) << "the parts follow";
    field->SetAutoSize(true);
    EXPECT_EQ(field->Height(), 18);
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
    field->EditPart()->SetFocus();
    for (int key : {VK_DOWN, VK_F4, VK_RETURN}) {
        int k = key;
        field->EditPart()->OnKeyDown(field->EditPart(), k,
                                     key == VK_DOWN ? TShiftState{ssAlt} : TShiftState{});
        EXPECT_FALSE(field->ListShown());
    }
    field->SetText("/music/");
    field->SetReadonly(false);
    TypeInto(field->EditPart(), 'a');
    ASSERT_EQ(field->Text(), "/music/a") << "typing reaches a field that is not read-only";
    field->SetReadonly(true);
    TypeInto(field->EditPart(), 'b');
    EXPECT_EQ(field->Text(), "/music/a");
}

TEST_F(FlatComboTest, TextFollowsBothWaysWithOneOnChangeFromTheCombo) {
    int changes = 0;
    field->OnChange = [&](TObject* s) {
        EXPECT_EQ(s, field);
        ++changes;
    };
    field->SetText("/home/u/music/");
    EXPECT_EQ(field->EditPart()->Text(), "/home/u/music/");
    EXPECT_EQ(changes, 1);
    field->EditPart()->SetText("/tmp/");
    EXPECT_EQ(field->Text(), "/tmp/");
    EXPECT_EQ(changes, 2);
    field->SetText("/tmp/");
    EXPECT_EQ(changes, 2) << "the same text is no change";
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
    auto* combo = AddCombo(100, {"alpha", "beta"});
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
    auto* combo = AddCombo(100, {"alpha", "beta"});
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
    // A press in the combo's own edit closes the list too; one on its text area does not.
    combo->ShowList();
    combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(combo->TextAreaPart()));
    EXPECT_TRUE(combo->ListShown());
    combo->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(combo->EditPart()));
    EXPECT_FALSE(combo->ListShown());
    combo->OnClick = nullptr;
}

TEST_F(FlatComboTest, OpeningTheListSelectsTheFirstRowStartingWithTheText) {
    auto* combo = AddCombo(100, {"beta", "alpha", "Alphabet", "gamma"});
    const std::pair<const char*, const char*> cases[] = {
        {"al", "alpha"}, {"AL", "alpha"}, {"alphab", "Alphabet"}, {"alpha", "alpha"}};
    for (auto [typed, chosen] : cases) {
        combo->SetText(typed);
        combo->ShowList();
        EXPECT_EQ(combo->Text(), chosen) << typed;
        const int row = combo->ListPart()->ItemIndex();
        ASSERT_GE(row, 0) << typed;
        EXPECT_EQ(combo->ListPart()->Items()->Strings(row), chosen);
        combo->CloseList();
    }
    combo->SetText("delta");
    combo->ShowList();
    EXPECT_EQ(combo->ListPart()->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "delta") << "no row starts so: the text stays";
    combo->CloseList();
}

TEST_F(FlatComboTest, KeysOfTheComboItselfAndOfItsEditAreHandledOnce) {
    // List-only style: the combo holds the focus and answers the keys itself.
    auto* combo = AddCombo<ListOnlyCombo>(100, {"alpha", "beta"});
    std::vector<int> keys;
    combo->OnKeyDown = [&](TObject* s, int& key, TShiftState) {
        EXPECT_EQ(s, combo);
        keys.push_back(key);
    };
    combo->SetFocus();
    ASSERT_TRUE(combo->Focused());
    SendKey(combo, Qt::Key_Down);
    EXPECT_EQ(combo->Text(), "alpha");
    SendKey(combo, Qt::Key_F4);
    EXPECT_TRUE(combo->ListShown());
    SendKey(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->ListShown());
    EXPECT_EQ(keys, (std::vector<int>{VK_DOWN, VK_F4, VK_RETURN}));

    // The edit's style: a key the edit does not take passes the combo once, not twice.
    std::vector<std::string> rows;
    for (int i = 0; i < 30; ++i) rows.push_back("row " + std::to_string(i));
    auto* other = AddCombo(130, rows);
    int downs = 0, ups = 0, listKeys = 0;
    other->OnKeyDown = [&](TObject*, int&, TShiftState) { ++downs; };
    other->OnKeyUp = [&](TObject*, int&, TShiftState) { ++ups; };
    other->EditPart()->SetFocus();
    other->ShowList();
    auto listProc = other->ListPart()->WindowProc;
    other->ListPart()->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_KEYDOWN) ++listKeys;
        listProc(m);
    };
    SendKey(other->EditPart(), Qt::Key_PageDown);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(listKeys, 1) << "the list pages once";
    other->ListPart()->WindowProc = listProc;
    other->CloseList();
}

} // namespace
} // namespace sv
