// Starts that cannot go on: the user is told why in a message box, and the program ends once
// the box is closed.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using sv::e2e::KillAndReap;
using sv::e2e::ProgramFolder;
using sv::e2e::WaitExit;
using sv::e2e::WaitUntil;
using X = sv::e2e::XDisplay;

namespace {

constexpr int kReturn = 36;
constexpr auto kStartTime = 30s;

// Starts Sonvale on the display, checks that it waits for the user, then answers the box with
// Enter over the screen's centre (where a box without a parent comes up) and gives the status.
std::optional<int> StartAndAnswer(X& display, ProgramFolder& folder) {
    pid_t pid = folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    if (std::optional<int> early = WaitExit(pid, 2s)) {
        ADD_FAILURE() << "ended without waiting for the user";
        return early;
    }
    EXPECT_FALSE(folder.LockHeld()) << "the lock is not taken before the checks pass";
    std::optional<int> status;
    WaitUntil(
        [&] {
            display.MovePointer(512, 384);
            display.Tap(kReturn);
            display.Sync();
            status = WaitExit(pid, 1s);
            return status.has_value();
        },
        kStartTime);
    if (!status) KillAndReap(pid);
    return status;
}

int ExitCode(const std::optional<int>& status) {
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

} // namespace

TEST(SonvaleStartFailure, AMissingOrBrokenDecoderLibraryIsToldAndEndsTheStart) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> breakages = {
        {"missing", [](const fs::path& library) { fs::remove(library); }},
        // Cut inside the code: debug sections alone could go without harm.
        {"cut short", [](const fs::path& library) { fs::resize_file(library, 4096); }},
        {"another library",
         [](const fs::path& library) {
             fs::copy_file(library.parent_path() / "libgogo.so", library,
                           fs::copy_options::overwrite_existing);
         }},
    };
    for (const auto& [what, breakIt] : breakages) {
        SCOPED_TRACE(what);
        ProgramFolder folder;
        breakIt(folder.Dir() / "libvbmp3.so");
        EXPECT_EQ(ExitCode(StartAndAnswer(display, folder)), 2);
    }
}

TEST(SonvaleStartFailure, ALockFileThatCannotBeOpenedIsTold) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    ProgramFolder folder;
    fs::create_directory(folder.RuntimeDir() / "DoubleOpenChk.lock");
    EXPECT_EQ(ExitCode(StartAndAnswer(display, folder)), 1);
}

// Without the CD-DA reader the start tells it in a box; once the box is answered the main window
// comes up and the program goes on without CDs.
TEST(SonvaleStartFailure, WithoutTheReaderLibraryTheStartTellsItAndGoesOn) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    // Without a window manager the main window is where main.ini puts it.
    ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    fs::remove(folder.Dir() / "libcdda_ex.so");
    const pid_t pid =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    auto shown = [&](bool mainWindow) {
        for (const X::Window& w : display.TopWindows())
            if (w.viewable && !w.overrideRedirect && w.width > 8 &&
                (w.x == 100 && w.y == 100) == mainWindow)
                return true;
        return false;
    };

    ASSERT_TRUE(WaitUntil([&] { return shown(false); }, kStartTime)) << "no box came up";
    EXPECT_TRUE(folder.LockHeld());
    EXPECT_FALSE(shown(true)) << "the main window came before the box was answered";
    // A key that comes while the box is still being mapped is lost: tap until it is taken.
    EXPECT_TRUE(WaitUntil(
        [&] {
            display.MovePointer(512, 384);
            display.Tap(kReturn);
            display.Sync();
            return WaitUntil([&] { return shown(true); }, 1s);
        },
        kStartTime))
        << "no main window";
    EXPECT_FALSE(WaitExit(pid, 1s)) << "the program ended";
    EXPECT_FALSE(shown(false));
    KillAndReap(pid);
}
