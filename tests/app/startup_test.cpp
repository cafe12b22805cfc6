#include "app/cd_wav_form.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/mp3_cd_form.h"
#include "app/startup.h"
#include "app/wav_mp3_form.h"
#include "controls/vorsa_button.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/instance_lock.h"
#include "tests/app/app_fixture.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace sv;
using namespace sv::app;

namespace {

class Startup : public apptest::SonvaleTest {};

std::vector<std::string> ScreenFormNames() {
    std::vector<std::string> r;
    for (int i = 0; i < Screen->FormCount(); ++i) r.push_back(Screen->Forms(i)->Name());
    return r;
}

} // namespace

TEST_F(Startup, FormsAreCreatedInOrderAndOnlyTheMainFormIsMain) {
    CreateSonvaleForms();
    EXPECT_EQ(ScreenFormNames(),
              (std::vector<std::string>{"FmMain", "FmMP3_CD", "FmWAV_MP3", "FmCD_WAV", "FmOPTION",
                                        "FmLogMsg", "FmVersion"}));
    EXPECT_EQ(Application->MainForm(), FmMain);
    for (int i = 0; i < Screen->FormCount(); ++i) EXPECT_FALSE(Screen->Forms(i)->Visible());
    EXPECT_EQ(FmMP3_CD->Caption(), "FmMP3_CD");
    EXPECT_EQ(FmWAV_MP3->Caption(), "FmWAV_MP3");
    EXPECT_EQ(FmCD_WAV->Caption(), "FmCD_WAV");
    EXPECT_EQ(FmLogMsg->Caption(), "LogMessage");
    EXPECT_TRUE(FmLogMsg->Log->ReadOnly());
    EXPECT_EQ(FmLogMsg->Log->Lines()->Count(), 0);
}

TEST_F(Startup, AFormThatCannotBeCreatedEndsTheStartInTheExceptionDisplay) {
    bool looped = false;
    int code = RunSonvale([&] {
        Application->CreateForm(FmMain);
        FmMain->OnShow = [&](TObject*) { looped = true; };
        throw Exception("GOGO.DLLを初期化できません.");
    });
    EXPECT_EQ(code, kExitStartFailed);
    EXPECT_NE(code, 0);
    EXPECT_EQ(dialogs_.Texts("MessageBox"),
              std::vector<std::string>{"GOGO.DLLを初期化できません."});
    EXPECT_FALSE(looped);
    EXPECT_EQ(FmMP3_CD, nullptr);
}

TEST_F(Startup, DeviceArrivalRescansTheCdFormEvenWhenAnotherPageShows) {
    CreateSonvaleForms();
    FmMain->Show();
    FmMain->O1->Click(); // the settings page
    FmCD_WAV->SetCaption("FmCD_CD");
    FmMain->Perform(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_EQ(FmCD_WAV->ModeTag, "[CD_CD]");
    EXPECT_FALSE(FmCD_WAV->Visible());

    // Other notifications change nothing.
    FmCD_WAV->SetCaption("FmCD_WAV");
    FmMain->Perform(WM_DEVICECHANGE, 0x0007, 0);
    EXPECT_EQ(FmCD_WAV->ModeTag, "[CD_CD]");
}

TEST_F(Startup, DeviceRemovalClearsTheTrackListAndEndsAPreview) {
    CreateSonvaleForms();
    FmCD_WAV->lst_cd->Items()->Add("Track 01");
    FmCD_WAV->lst_cd->Items()->Add("Track 02");
    FmCD_WAV->btn_teisi->SetEnabled(true);
    FmMain->Perform(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
    EXPECT_EQ(FmCD_WAV->lst_cd->Items()->Count(), 0);
    EXPECT_FALSE(FmCD_WAV->btn_teisi->Enabled());
}

TEST_F(Startup, HelpOpensTheHelpFileAndTheViewerDoesNotHoldTheLock) {
    namespace fs = std::filesystem;
    fs::path bin = dir_ / "fakebin";
    fs::create_directories(bin);
    fs::path report = dir_ / "xdg-open.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\n"
               << "{ printf '%s\\n' \"$1\"; ls -l /proc/$$/fd; } > '" << report.string()
               << ".tmp'\nmv '" << report.string() << ".tmp' '" << report.string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::string oldRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);

    auto lock = platform::InstanceLock::Acquire("DoubleOpenChk");
    ASSERT_TRUE(lock);
    CreateSonvaleForms();
    FmMain->Sonvale1->Click();
    bool arrived = false;
    for (int i = 0; i < 500 && !arrived; ++i) {
        arrived = fs::exists(report);
        if (!arrived) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    setenv("PATH", oldPath.c_str(), 1);
    if (oldRuntime.empty())
        unsetenv("XDG_RUNTIME_DIR");
    else
        setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);

    ASSERT_TRUE(arrived);
    std::string text = apptest::ReadFileText(report);
    EXPECT_EQ(text.substr(0, text.find('\n')), (dir_ / "help.chm").string());
    EXPECT_EQ(text.find("DoubleOpenChk"), std::string::npos) << text;
    EXPECT_TRUE(dialogs_.Calls.empty());
}

// A running instance ends the start silently; a lock file that cannot be opened is told,
// naming the file.
TEST_F(Startup, ALockThatCannotBeOpenedIsToldAndARunningInstanceIsNot) {
    namespace fs = std::filesystem;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string oldRuntime = old ? old : "";
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    const fs::path lockFile = dir_ / "DoubleOpenChk.lock";

    std::unique_ptr<platform::InstanceLock> lock;
    std::string failure;
    EXPECT_EQ(CheckStart(lock, failure), kExitOk);
    EXPECT_TRUE(lock);
    EXPECT_EQ(failure, "");

    std::unique_ptr<platform::InstanceLock> second;
    EXPECT_EQ(CheckStart(second, failure), kExitAlreadyRunning);
    EXPECT_FALSE(second);
    EXPECT_EQ(failure, "");
    lock.reset();

    fs::remove(lockFile);
    fs::create_directory(lockFile);
    EXPECT_EQ(CheckStart(second, failure), kExitAlreadyRunning);
    EXPECT_FALSE(second);
    const std::string told =
        "二重起動防止用のファイル " + lockFile.string() + " を開けません。中止します。\n";
    EXPECT_EQ(failure.substr(0, told.size()), told);
    EXPECT_GT(failure.size(), told.size()) << "the reason is missing";

    if (old)
        setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}
