// The about box as a user meets it on a private X display: opened from the help menu, closed
// with Enter.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using X = sv::e2e::XDisplay;

namespace {

constexpr int kEscape = X::kEscape, kReturn = 36, kC = 54, kV = 55;

// Tells when the program opens main.ini: the main window reads it when it comes up, the about
// box each time it is shown. The screen itself cannot be read here, so this is how the test
// knows a window is there instead of guessing with fixed waits.
class IniOpens {
public:
    explicit IniOpens(const std::filesystem::path& ini)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) inotify_add_watch(fd_, ini.c_str(), IN_OPEN);
    }
    ~IniOpens() {
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    // True when at least one open came within the time; takes all that came.
    bool Wait(std::chrono::milliseconds timeout) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
        Drain();
        return true;
    }
    // Waits until the program has stopped opening the file for a while.
    void WaitQuiet(std::chrono::milliseconds quiet) {
        while (Wait(quiet)) {
        }
    }

private:
    void Drain() {
        char buffer[4096];
        while (read(fd_, buffer, sizeof buffer) > 0) {
        }
    }
    int fd_;
};

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
    IniOpens opens(folder.MainIni());
    ASSERT_TRUE(opens.Ok());
    pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    ASSERT_TRUE(opens.Wait(30s)) << "the main window did not come up";
    opens.WaitQuiet(1s);

    // ヘルプ → バージョン情報(&V), again if the keys came before the window took them.
    const bool shown = sv::e2e::WaitUntil(
        [&] {
            return Menu(display, {X::kLeft, kV}), opens.Wait(3s);
        },
        30s);
    ASSERT_TRUE(shown) << "the about box did not open";
    std::this_thread::sleep_for(500ms);
    // While the box is open the main window's menu does not answer: the exit item does nothing.
    Menu(display, {kC});
    EXPECT_FALSE(sv::e2e::WaitExit(sonvale, 1s)) << "the exit item answered past the about box";

    display.Tap(kReturn);
    display.Sync();
    // ファイル → アプリケーションの終了(&C) ends the program once the box is closed.
    std::optional<int> status;
    sv::e2e::WaitUntil(
        [&] {
            Menu(display, {kC});
            status = sv::e2e::WaitExit(sonvale, 2s);
            return status.has_value();
        },
        30s);
    if (!status) sv::e2e::KillAndReap(sonvale);
    ASSERT_TRUE(status) << "the about box did not close with Enter";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}
