#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>

using namespace std::chrono_literals;
using sv::e2e::KillAndReap;
using sv::e2e::ProgramFolder;
using sv::e2e::WaitExit;
using sv::e2e::WaitUntil;

namespace {

// Sanitizer builds start slowly; the time-outs only bound a failing run.
constexpr auto kStartTime = 30s;

bool ExitedWith(const std::optional<int>& status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

} // namespace

TEST(SonvaleStart, SecondStartExitsOneWhileTheFirstRuns) {
    ProgramFolder folder;
    pid_t first = folder.Start("Sonvale");
    ASSERT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));

    pid_t second = folder.Start("Sonvale");
    std::optional<int> status = WaitExit(second, kStartTime);
    if (!status) KillAndReap(second);
    EXPECT_TRUE(ExitedWith(status, 1)) << "status " << status.value_or(-1);

    // The first instance is unaffected.
    EXPECT_FALSE(WaitExit(first, 300ms));
    EXPECT_TRUE(folder.LockHeld());
    KillAndReap(first);
}

TEST(SonvaleStart, StartSucceedsAfterTheRunningInstanceWasKilled) {
    ProgramFolder folder;
    pid_t first = folder.Start("Sonvale");
    ASSERT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));
    KillAndReap(first);
    EXPECT_FALSE(folder.LockHeld());

    pid_t again = folder.Start("Sonvale");
    EXPECT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));
    EXPECT_FALSE(WaitExit(again, 300ms)) << "the new start ended";
    KillAndReap(again);
}

// The help menu starts a viewer; the viewer must not keep the lock after Sonvale is gone. The
// menu is worked through a private X display as a user would: a click on the first menu, Left to
// wrap round to the help menu, M for its help item.
TEST(SonvaleStart, AProgramStartedBySonvaleDoesNotHoldTheLock) {
    sv::e2e::XDisplay display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    // Without a window manager the window's client area is where main.ini puts it.
    ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    std::filesystem::path fakeBin = folder.Dir().parent_path() / "fakebin";
    std::filesystem::create_directories(fakeBin);
    std::filesystem::path report = folder.Dir().parent_path() / "viewer.txt";
    {
        std::ofstream script(fakeBin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s %s\\n' \"$$\" \"$1\" > '" << report.string()
               << ".tmp'\nmv '" << report.string() << ".tmp' '" << report.string()
               << "'\nexec sleep 120\n";
    }
    std::filesystem::permissions(fakeBin / "xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"},
                                 {"DISPLAY", display.Name()},
                                 {"PATH", fakeBin.string() + ":" + (path ? path : "")}});
    ASSERT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));

    using X = sv::e2e::XDisplay;
    bool opened = WaitUntil(
        [&] {
            display.Tap(X::kEscape);
            display.Tap(X::kEscape);
            display.Click(130, 108);
            display.Sync();
            std::this_thread::sleep_for(200ms);
            display.Tap(X::kLeft);
            display.Sync();
            std::this_thread::sleep_for(200ms);
            display.Tap(X::kM);
            display.Sync();
            return WaitUntil([&] { return std::filesystem::exists(report); }, 1s);
        },
        kStartTime);
    ASSERT_TRUE(opened) << "the help item was not reached";
    std::string text = sv::e2e::ReadFile(report);
    pid_t viewer = std::stoi(text);
    EXPECT_EQ(text.substr(text.find(' ') + 1), (folder.Dir() / "help.chm").string() + "\n");

    KillAndReap(sonvale);
    EXPECT_EQ(kill(viewer, 0), 0) << "the viewer should still run";
    EXPECT_FALSE(folder.LockHeld());
    pid_t again = folder.Start("Sonvale");
    EXPECT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));
    EXPECT_FALSE(WaitExit(again, 300ms));
    KillAndReap(again);
    kill(viewer, SIGKILL);
}

// Where a user who dragged the window to the screen's corner leaves it: the window is then made
// where it already is, and must still lay out its mode buttons and take clicks. Its outputs go
// to a full pipe or socket that nobody reads (a launcher's, a session manager's log stream, or
// whoever started the Trelvik that started it), where the drives' scan writes why an image
// cannot be read: nothing may wait for it, and the caller's end stays as the caller made it.
TEST(SonvaleStart, AWindowStartedAtTheScreensCornerShowsItsModeButtonsAndTakesClicks) {
    sv::e2e::XDisplay display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=0\nTOP=0\n");
    const std::filesystem::path cue = folder.Dir().parent_path() / "broken.cue";
    std::ofstream(cue) << "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    for (const bool socket : {false, true}) {
        SCOPED_TRACE(socket ? "socket" : "pipe");
        int unread[2];
        ASSERT_EQ(socket ? socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, unread)
                         : pipe2(unread, O_CLOEXEC),
                  0);
        // Filled without waiting through an opening or a send of its own: the program's
        // descriptor stays a blocking one.
        const std::string block(4096, 'x');
        if (socket) {
            while (send(unread[1], block.data(), block.size(), MSG_DONTWAIT) > 0) {
            }
        } else {
            const int filler = open(("/proc/self/fd/" + std::to_string(unread[1])).c_str(),
                                    O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            ASSERT_GE(filler, 0);
            while (write(filler, block.data(), block.size()) > 0) {
            }
            close(filler);
        }
        const int flags = fcntl(unread[1], F_GETFL);
        display.MovePointer(1000, 700); // off the buttons, which it would light
        pid_t sonvale = folder.Start("Sonvale",
                                     {{"QT_QPA_PLATFORM", "xcb"},
                                      {"DISPLAY", display.Name()},
                                      {"CDDA_EX_IMAGES", cue.string()}},
                                     unread[1]);
        ASSERT_TRUE(WaitUntil([&] { return folder.LockHeld(); }, kStartTime));

        // The eight buttons in a row below the menu bar, in their designed colour.
        constexpr std::uint32_t kButtonFace = 0xC7DED9, kWhite = 0xFFFFFF;
        const auto buttonsDrawn = [&] {
            for (int i = 0; i < 8; ++i)
                if (display.Pixel(6 + 84 * i, 40) != kButtonFace) return false;
            return true;
        };
        EXPECT_TRUE(WaitUntil(buttonsDrawn, kStartTime)) << "the mode buttons are not drawn";

        // "CD→MP3" scans the drives, then "WAV→MP3" brings its page with its white file list.
        display.MovePointer(44, 36);
        display.Click(44, 36);
        display.Sync();
        const bool pageShown = WaitUntil(
            [&] {
                display.MovePointer(296, 36);
                display.Click(296, 36);
                display.Sync();
                return WaitUntil([&] { return display.Pixel(400, 129) == kWhite; }, 1s);
            },
            kStartTime);
        EXPECT_TRUE(pageShown) << "the mode button took no click";
        KillAndReap(sonvale);
        EXPECT_EQ(fcntl(unread[1], F_GETFL), flags);
        close(unread[0]);
        close(unread[1]);
    }
}
