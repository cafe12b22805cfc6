#include "framework/forms.h"
#include "tests/framework/test_helpers.h"

#include <QApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sv;
using namespace sv::test;

namespace {

// A container that takes the child keys it is told to.
class Taker : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int takes = 0;
    std::vector<TControl*> askedFor;

protected:
    void Dispatch(TMessage& m) override {
        if (m.Msg == CM_CHILDKEY) {
            askedFor.push_back(reinterpret_cast<TControl*>(m.LParam));
            if (m.WParam == takes) m.Result = 1;
            return;
        }
        TCustomControl::Dispatch(m);
    }
};

class Field : public TCustomControl {
public:
    explicit Field(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
    std::vector<std::string> got;

protected:
    bool DoKeyDown(int& key, TShiftState shift) override {
        got.push_back("down " + std::to_string(key));
        return TCustomControl::DoKeyDown(key, shift);
    }
    bool DoKeyPress(char32_t& key) override {
        got.push_back("char " + std::to_string(static_cast<int>(key)));
        return TCustomControl::DoKeyPress(key);
    }
};

void Press(TWinControl* c, Qt::Key key, const QString& text) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(c->Handle(), &e);
}

TEST(KeyDispatch, ParentsMayTakeAKeyBeforeTheControlSeesIt) {
    TForm form(Application);
    auto* taker = new Taker(&form);
    taker->SetParent(&form);
    auto* field = new Field(&form);
    field->SetParent(taker);
    taker->takes = 'A';
    Press(field, Qt::Key_B, "b");
    Press(field, Qt::Key_A, "a");
    EXPECT_EQ(field->got, (std::vector<std::string>{"down 66", "char 98"}));
    // Offered for the field both times (a key the field leaves goes on up to the taker too).
    EXPECT_EQ(taker->askedFor.front(), field);
    EXPECT_EQ(taker->askedFor.back(), field);
    // In a designer the control keeps its keys.
    field->SetDesigning(true);
    Press(field, Qt::Key_A, "a");
    EXPECT_EQ(field->got.back(), "char 97");
}

TEST(KeyDispatch, NextControlMessageWalksTheTabOrder) {
    TForm form(Application);
    form.SetBounds(0, 0, 200, 200);
    std::vector<Field*> f;
    for (int i = 0; i < 3; ++i) {
        f.push_back(new Field(&form));
        f.back()->SetParent(&form);
        f.back()->SetBounds(0, i * 30, 50, 20);
    }
    f[1]->SetEnabled(false);
    form.Show();
    f[0]->SetFocus();
    form.Perform(WM_NEXTDLGCTL, 0);
    EXPECT_EQ(form.ActiveControl(), f[2]); // a disabled control is passed over
    form.Perform(WM_NEXTDLGCTL, 1);
    EXPECT_EQ(form.ActiveControl(), f[0]);
    form.Perform(WM_NEXTDLGCTL, 1);
    EXPECT_EQ(form.ActiveControl(), f[2]); // round the end
}

} // namespace
