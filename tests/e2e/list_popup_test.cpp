// The file list's pop-up menu of the WAV/MP3 form, opened as a user opens it on a real X display:
// the right button (on an empty list and on an item), Shift+F10 and the menu key.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using X = sv::e2e::XDisplay;
using sv::e2e::WaitUntil;

// Without a window manager the main window's client area is where main.ini puts it: (100, 100).
// The list of the form lies at (122, 222)-(568, 424) on the screen, its first row at y 224-235.
constexpr int kListLeft = 122, kListTop = 222, kListRight = 568, kListBottom = 424;
constexpr int kRowY = 229, kRowX = 500;
constexpr std::uint32_t kSelectedRow = 0x0080FF, kWhite = 0xFFFFFF;

std::optional<X::Window> OpenMenu(X& display) {
    for (const X::Window& w : display.TopWindows())
        if (w.viewable && w.overrideRedirect && w.width > 40 && w.height > 40) return w;
    return std::nullopt;
}

// Top-level windows the program placed through the (absent) window manager: the main window
// and its dialogs.
std::vector<X::Window> Windows(X& display) {
    std::vector<X::Window> r;
    for (const X::Window& w : display.TopWindows())
        if (w.viewable && !w.overrideRedirect) r.push_back(w);
    return r;
}

int Dialogs(X& display) {
    return static_cast<int>(Windows(display).size());
}

// Waits for one dialog over the main window and for it to take the keyboard focus: a key sent
// before would be lost.
bool WaitForDialog(X& display, std::uint32_t main) {
    std::uint32_t dialog = 0;
    const bool up = WaitUntil(
        [&] {
            const std::vector<X::Window> windows = Windows(display);
            dialog = windows.size() == 2 ? windows.back().id : main;
            return dialog != main;
        },
        10s);
    return up && WaitUntil([&] { return display.FocusWindow() == dialog; }, 10s);
}

std::optional<X::Window> WaitForMenu(X& display) {
    std::optional<X::Window> menu;
    WaitUntil([&] { return (menu = OpenMenu(display)).has_value(); }, 10s);
    return menu;
}

bool WaitForNoMenu(X& display) {
    return WaitUntil([&] { return !OpenMenu(display); }, 10s);
}

// Repeats the action until the condition holds: input that comes while a closing dialog still
// holds the program modal is lost.
template <class Action, class Condition> bool Retry(Action action, Condition condition) {
    for (int tries = 0; tries < 4; ++tries) {
        action();
        if (WaitUntil(condition, 3s)) return true;
    }
    return false;
}

bool WaitForPixel(X& display, int x, int y, std::uint32_t colour) {
    return WaitUntil([&] { return display.Pixel(x, y) == colour; }, 10s);
}

bool InList(const X::Window& w) {
    return w.x >= kListLeft && w.x < kListRight && w.y >= kListTop && w.y < kListBottom;
}

} // namespace

TEST(ListPopupMenu, OpensFromTheMouseAndTheKeysAndItsItemsAct) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    const fs::path song = folder.Dir().parent_path() / "song.wav";
    std::ofstream(song).put('\0');
    pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    ASSERT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, 30s));
    ASSERT_TRUE(WaitUntil([&] { return Dialogs(display) == 1; }, 30s)) << "no main window";
    const std::uint32_t main = Windows(display).front().id;
    std::this_thread::sleep_for(1s);
    display.MovePointer(396, 136); // "WAV→MP3"
    display.Sync();
    std::this_thread::sleep_for(300ms);
    display.Click(396, 136);
    display.Sync();
    ASSERT_TRUE(WaitForPixel(display, kRowX, kRowY, kWhite)) << "the form did not come up";

    // An empty list: the menu opens at the pointer.
    display.Click(300, 320, X::kRightButton);
    std::optional<X::Window> menu = WaitForMenu(display);
    ASSERT_TRUE(menu) << "a right click on the empty list opened nothing";
    EXPECT_EQ(menu->x, 300);
    EXPECT_EQ(menu->y, 320);
    display.Tap(X::kEscape);
    EXPECT_TRUE(WaitForNoMenu(display));

    // The menu key on the list, focused by that click, opens it inside the list; its play item
    // tells that nothing is listed.
    display.Tap(X::kMenu);
    display.Sync();
    menu = WaitForMenu(display);
    ASSERT_TRUE(menu) << "the menu key opened nothing";
    EXPECT_TRUE(InList(*menu)) << menu->x << "," << menu->y;
    display.Type("s"); // 再生(&S)
    EXPECT_TRUE(WaitForNoMenu(display));
    ASSERT_TRUE(WaitForDialog(display, main)) << "no message";
    display.Tap(X::kReturn);
    EXPECT_TRUE(WaitUntil([&] { return Dialogs(display) == 1; }, 10s));

    // One listed file, selected by a click.
    const auto dialogUp = [&] { return Dialogs(display) == 2; };
    ASSERT_TRUE(Retry([&] { display.Click(619, 234); }, dialogUp)) << "no file dialog"; // 追加
    ASSERT_TRUE(WaitForDialog(display, main));
    EXPECT_TRUE(display.Type(song.string()));
    // The dialog's completion list, when it comes up, takes the first Return for itself.
    ASSERT_TRUE(Retry([&] { display.Tap(X::kReturn); }, [&] { return Dialogs(display) == 1; }))
        << "the file dialog stayed open";
    ASSERT_TRUE(Retry([&] { display.Click(kRowX, kRowY); },
                      [&] { return display.Pixel(kRowX, kRowY) == kSelectedRow; }))
        << "the file was not listed";

    // A right click on the item opens the menu there.
    display.Click(kRowX, kRowY, X::kRightButton);
    menu = WaitForMenu(display);
    ASSERT_TRUE(menu) << "a right click on an item opened nothing";
    EXPECT_EQ(menu->x, kRowX);
    EXPECT_EQ(menu->y, kRowY);
    display.Tap(X::kEscape);
    EXPECT_TRUE(WaitForNoMenu(display));

    // Shift+F10 opens it on the current row; its delete item removes the selected file.
    display.Key(X::kShift, true);
    display.Tap(X::kF10);
    display.Key(X::kShift, false);
    display.Sync();
    menu = WaitForMenu(display);
    ASSERT_TRUE(menu) << "Shift+F10 opened nothing";
    EXPECT_TRUE(InList(*menu));
    EXPECT_GE(menu->y, kListTop);
    EXPECT_LE(menu->y, kRowY + 6);
    display.Type("d"); // 削除(&D)
    EXPECT_TRUE(WaitForNoMenu(display));
    EXPECT_TRUE(WaitForPixel(display, kRowX, kRowY, kWhite)) << "the item was not deleted";
    EXPECT_TRUE(fs::exists(song)) << "deleting from the list must keep the file";

    sv::e2e::KillAndReap(sonvale);
}
