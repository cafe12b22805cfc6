// The main window's default place follows the real screen: the offscreen platform takes its
// screen size from a configuration file, so the test runs itself again with each size.
#include "app/main_form.h"
#include "tests/app/app_fixture.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sv;
using namespace sv::app;

namespace {

constexpr const char* kChild = "ScreenSize.ChildShowsTheMainWindow";

struct Placed {
    int screenW = 0, screenH = 0, left = 0, top = 0, width = 0, height = 0;
};

std::optional<Placed> RunChild(const std::filesystem::path& dir, int screenW, int screenH) {
    std::filesystem::path config = dir / "screen.json";
    std::ofstream(config) << "{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, \"width\": "
                          << screenW << ", \"height\": " << screenH << "}]}\n";
    std::filesystem::path report = dir / "placed.txt";
    std::filesystem::remove(report);
    pid_t pid = fork();
    if (pid == 0) {
        std::string platform = "offscreen:configfile=" + config.string();
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        setenv("SV_SCREEN_REPORT", report.c_str(), 1);
        setenv("SV_SCREEN_DIR", dir.c_str(), 1);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        std::string filter = std::string("--gtest_filter=") + kChild;
        execl("/proc/self/exe", "sv_app_tests", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    std::ifstream in(report);
    Placed p;
    if (!(in >> p.screenW >> p.screenH >> p.left >> p.top >> p.width >> p.height))
        return std::nullopt;
    return p;
}

class ScreenSize : public apptest::SonvaleTest {};

} // namespace

// Runs only as the child of the test below.
TEST_F(ScreenSize, ChildShowsTheMainWindow) {
    const char* report = std::getenv("SV_SCREEN_REPORT");
    if (!report) return;
    SetProgramDirForTests(std::getenv("SV_SCREEN_DIR"));
    Screen->SetSizeOverride(0, 0);
    CreateSonvaleForms();
    TNotifyEvent show = FmMain->OnShow;
    FmMain->OnShow = [&](TObject* sender) {
        show(sender);
        std::ofstream(report) << Screen->Width() << ' ' << Screen->Height() << ' ' << FmMain->Left()
                              << ' ' << FmMain->Top() << ' ' << FmMain->Width() << ' '
                              << FmMain->Height() << '\n';
    };
    FmMain->Show();
}

TEST_F(ScreenSize, MainWindowIsCentredOnTheOffscreenScreen) {
    if (std::getenv("SV_SCREEN_REPORT")) return;
    for (auto [w, h] : {std::pair{1024, 768}, std::pair{640, 481}}) {
        std::optional<Placed> p = RunChild(dir_, w, h);
        ASSERT_TRUE(p) << w << "x" << h;
        EXPECT_EQ(p->screenW, w);
        EXPECT_EQ(p->screenH, h);
        EXPECT_EQ(p->width, 738);
        EXPECT_EQ(p->left, w / 2 - 738 / 2);
        EXPECT_EQ(p->top, h / 2 - p->height / 2);
        if (w == 1024) {
            EXPECT_EQ(p->left, 143);
        }
    }
}
