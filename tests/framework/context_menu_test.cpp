// A control's pop-up menu as the user opens it: the right button, Shift+F10 and the menu key.
#include "framework/control.h"
#include "framework/forms.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "tests/framework/test_helpers.h"

#include <QKeyEvent>
#include <gtest/gtest.h>
#include <vector>

using namespace sv;
using namespace sv::test;

namespace {

class RecordingPopup : public TPopupMenu {
public:
    explicit RecordingPopup(TComponent* owner) : TPopupMenu(owner) {}
    void Popup(int x, int y) override { Points.push_back(Point(x, y)); }
    std::vector<TPoint> Points;
};

void SendKey(TWinControl* control, int key, Qt::KeyboardModifiers mods) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(control->Handle(), &e);
}

struct Scene {
    TForm* form = new TForm(nullptr);
    TCustomControl* panel = new TCustomControl(form);
    TCustomControl* child = new TCustomControl(form);
    TListBox* list = new TListBox(form);
    RecordingPopup* menu = new RecordingPopup(form);
    Scene() {
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        panel->SetParent(form);
        panel->SetBounds(10, 10, 250, 180);
        child->SetParent(panel);
        child->SetBounds(20, 20, 60, 40);
        child->SetPopupMenu(menu);
        list->SetParent(panel);
        list->SetBounds(10, 70, 120, 100);
        list->SetPopupMenu(menu);
        form->Show();
    }
    ~Scene() { delete form; }
};

} // namespace

// A right click inside a windowed child is the child's alone: the parent neither sees the press
// nor takes the capture (which would route the release, and the menu, away from the child).
TEST(ContextMenu, RightClickOnAWindowedChildOpensItsMenuAtThePointer) {
    Scene s;
    int parentPresses = 0, childPresses = 0;
    s.panel->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++parentPresses; };
    s.child->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++childPresses; };
    Press(s.list, 5, 6, Qt::RightButton);
    EXPECT_EQ(GetCaptureControl(), nullptr);
    Release(s.list, 5, 6, Qt::RightButton);
    Press(s.child, 7, 8, Qt::RightButton);
    EXPECT_EQ(GetCaptureControl(), s.child);
    Release(s.child, 7, 8, Qt::RightButton);
    EXPECT_EQ(parentPresses, 0);
    EXPECT_EQ(childPresses, 1);
    std::vector<TPoint> expected{s.list->ClientToScreen(Point(5, 6)),
                                 s.child->ClientToScreen(Point(7, 8))};
    EXPECT_EQ(s.menu->Points, expected);
    EXPECT_EQ(s.menu->PopupComponent(), s.child);

    // A left click is not a menu request; a menu that does not pop up by itself stays shut.
    ClickAt(s.child, 5, 6);
    s.menu->SetAutoPopup(false);
    Press(s.child, 5, 6, Qt::RightButton);
    Release(s.child, 5, 6, Qt::RightButton);
    EXPECT_EQ(s.menu->Points.size(), 2u);
}

TEST(ContextMenu, ShiftF10AndTheMenuKeyOpenItOnTheCurrentRowOrTheMiddle) {
    Scene s;
    SendKey(s.list, Qt::Key_Menu, Qt::NoModifier);
    for (const char* row : {"one", "two", "three"}) s.list->Items()->Add(row);
    s.list->SetItemIndex(1);
    SendKey(s.list, Qt::Key_F10, Qt::ShiftModifier);
    SendKey(s.child, Qt::Key_Menu, Qt::NoModifier);
    // Only Shift+F10 and the menu key alone ask for the menu.
    SendKey(s.list, Qt::Key_F10, Qt::NoModifier);
    SendKey(s.list, Qt::Key_F10, Qt::ShiftModifier | Qt::ControlModifier);
    SendKey(s.list, Qt::Key_Menu, Qt::AltModifier);

    TRect row = s.list->ItemRect(1);
    std::vector<TPoint> expected{
        s.list->ClientToScreen(Point(60, 50)),
        s.list->ClientToScreen(Point((row.Left + row.Right) / 2, (row.Top + row.Bottom) / 2)),
        s.child->ClientToScreen(Point(30, 20))};
    EXPECT_EQ(s.menu->Points, expected);
}

TEST(ContextMenu, ARowScrolledOutOfViewOpensTheMenuInTheMiddle) {
    Scene s;
    s.list->SetBounds(120, 10, 120, 40);
    for (int i = 0; i < 20; ++i) s.list->Items()->Add("row " + std::to_string(i));
    s.list->SetItemIndex(0);
    s.list->SetTopIndex(10);
    SendKey(s.list, Qt::Key_Menu, Qt::NoModifier);
    ASSERT_EQ(s.menu->Points.size(), 1u);
    EXPECT_EQ(s.menu->Points[0], s.list->ClientToScreen(Point(60, 20)));
}
