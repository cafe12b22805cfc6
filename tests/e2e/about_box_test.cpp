// The about box as a user meets it on a private X display: opened from the help menu, closed
// with Enter.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace std::chrono_literals;
using X = sv::e2e::XDisplay;

namespace {

constexpr int kReturn = 36, kC = 54, kV = 55;

// Opens the first menu (client area at 100, 100) and types the keys.
void Menu(X& display, std::initializer_list<int> keys) {
    display.Click(130, 108);
    display.Sync();
    std::this_thread::sleep_for(300ms);
    for (int key : keys) {
        display.Tap(key);
        display.Sync();
        std::this_thread::sleep_for(300ms);
    }
}

} // namespace

TEST(AboutBox, EnterClosesItAndTheMainWindowTakesInputAgain) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder.LockHeld(); }, 30s));
    std::this_thread::sleep_for(2s); // the window comes up after the lock

    Menu(display, {X::kLeft, kV}); // ヘルプ → バージョン情報(&V)
    std::this_thread::sleep_for(1s);
    // While the box is open the main window's menu does not answer: the exit item does nothing.
    Menu(display, {kC});
    EXPECT_FALSE(sv::e2e::WaitExit(sonvale, 1s)) << "the about box did not open";

    display.Tap(kReturn);
    display.Sync();
    std::this_thread::sleep_for(500ms);
    Menu(display, {kC}); // ファイル → アプリケーションの終了(&C)
    std::optional<int> status = sv::e2e::WaitExit(sonvale, 10s);
    if (!status) sv::e2e::KillAndReap(sonvale);
    ASSERT_TRUE(status) << "the about box did not close with Enter";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}
