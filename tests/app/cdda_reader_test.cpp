// The CD-DA reader binding: which libraries it refuses, the stubs it keeps and restores, and the
// report of a negative status.
#include "app/cd_wav_form.h"
#include "app/cdda_reader.h"
#include "app/forms.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "framework/stdctrls.h"
#include "tests/app/app_fixture.h"
#include "tests/app/cd_form_fixture.h"

#include <algorithm>
#include <dlfcn.h>
#include <fstream>

namespace {

using namespace sv;
using namespace sv::app;
using apptest::CdForm;
using apptest::Strings;

std::string Fake(const std::string& variant) {
    return std::string(SV_BIN_DIR) + "/../tests/fakes/lib" + variant + ".so";
}

bool Resident(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

bool SameEntries(const CddaFunctionTable& a, const CddaFunctionTable& b) {
    return a.ReaderInit == b.ReaderInit && a.ReaderRelease == b.ReaderRelease &&
           a.ReaderScanDrives == b.ReaderScanDrives && a.ReaderSelectDrive == b.ReaderSelectDrive &&
           a.ReaderEndSession == b.ReaderEndSession && a.ReaderReadToc == b.ReaderReadToc &&
           a.ReaderSessionInfo == b.ReaderSessionInfo &&
           a.ReaderPrepareTrack == b.ReaderPrepareTrack &&
           a.ReaderFinishTrack == b.ReaderFinishTrack && a.ReaderReadChunk == b.ReaderReadChunk &&
           a.Spare == b.Spare;
}

class CddaBinding : public apptest::SonvaleTest {
protected:
    void SetUp() override {
        SonvaleTest::SetUp();
        UnloadCddaReader();
        stubs_ = Cdda;
    }
    void TearDown() override {
        UnloadCddaReader();
        SonvaleTest::TearDown();
    }
    CddaFunctionTable stubs_{};
};

TEST_F(CddaBinding, RefusedLibrariesLeaveTheStubs) {
    for (const std::string variant :
         {"missing", "cdda_ex_fake_v1071", "cdda_ex_fake_noprepare", "cdda_ex_fake_noexport"}) {
        SCOPED_TRACE(variant);
        EXPECT_EQ(LoadCddaReaderFile(Fake(variant)), 0);
        EXPECT_FALSE(CddaReaderLoaded());
        EXPECT_FALSE(Resident(Fake(variant)));
        EXPECT_TRUE(SameEntries(Cdda, stubs_));
        // The stubs do nothing to the context, so nothing is found.
        CddaContext ctx{};
        Cdda.ReaderScanDrives(&ctx);
        Cdda.ReaderPrepareTrack(&ctx, 3);
        Cdda.Spare(&ctx);
        EXPECT_EQ(ctx.Status, 0);
        EXPECT_EQ(ctx.DriveCount, 0);
        UnloadCddaReader(); // nothing to free
    }
}

TEST_F(CddaBinding, NullEntryKeepsItsStubAndUnloadRestoresThemAll) {
    ASSERT_EQ(LoadCddaReaderFile(Fake("cdda_ex_fake_noscan")), 1);
    EXPECT_TRUE(CddaReaderLoaded());
    EXPECT_EQ(Cdda.ReaderScanDrives, stubs_.ReaderScanDrives);
    EXPECT_NE(Cdda.ReaderInit, stubs_.ReaderInit);
    EXPECT_NE(Cdda.ReaderPrepareTrack, stubs_.ReaderPrepareTrack);
    EXPECT_EQ(Cdda.Spare, stubs_.Spare);
    CddaContext ctx{};
    ctx.Status = 5;
    Cdda.ReaderScanDrives(&ctx);
    EXPECT_EQ(ctx.Status, 5);
    Cdda.ReaderSelectDrive(&ctx, 7);
    EXPECT_EQ(ctx.Status, CDDA_EX_ERR_DEVICE_NUMBER);

    UnloadCddaReader();
    EXPECT_FALSE(Resident(Fake("cdda_ex_fake_noscan")));
    EXPECT_TRUE(SameEntries(Cdda, stubs_));
    Cdda.ReaderInit(&ctx); // a stub again, not an address in the freed library
}

TEST_F(CddaBinding, SecondLoadReplacesTheFirst) {
    ASSERT_EQ(LoadCddaReaderFile(Fake("cdda_ex_fake")), 1);
    ASSERT_EQ(LoadCddaReaderFile(Fake("cdda_ex_fake_noscan")), 1);
    EXPECT_FALSE(Resident(Fake("cdda_ex_fake")));
    EXPECT_EQ(Cdda.ReaderScanDrives, stubs_.ReaderScanDrives);
    // A refused one leaves no library bound.
    EXPECT_EQ(LoadCddaReaderFile(Fake("cdda_ex_fake_v1071")), 0);
    EXPECT_FALSE(Resident(Fake("cdda_ex_fake_noscan")));
    EXPECT_TRUE(SameEntries(Cdda, stubs_));
}

TEST_F(CddaBinding, StatusTexts) {
    EXPECT_EQ(CddaStatusText(-140), "CD-ROM Device - Over number.\n");
    EXPECT_EQ(CddaStatusText(-150), "CD/DVDデバイスが存在しません");
    // Codes outside the table, also the stand-in's own.
    for (int32_t status : {-199, -1, -202, int32_t{CDDA_EX_ERR_READ}})
        EXPECT_EQ(CddaStatusText(status), "エラーコードが見つかりません") << status;
}

TEST_F(CddaBinding, NegativeStatusIsLoggedAndShownOnce) {
    CreateSonvaleForms();
    TStrings* log = FmLogMsg->Log->Lines();
    log->Clear();
    EXPECT_EQ(CheckCddaStatus(0, "[CD_WAV]"), 0);
    EXPECT_EQ(CheckCddaStatus(7, "[CD_WAV]"), 0);
    EXPECT_EQ(log->Count(), 0);
    EXPECT_TRUE(dialogs_.Calls.empty());

    EXPECT_EQ(CheckCddaStatus(-140, "[CD_MP3]"), 1);
    ASSERT_EQ(log->Count(), 3);
    std::string bar;
    for (int i = 0; i < 31; ++i) bar += "■";
    EXPECT_EQ(log->Get(0), bar);
    EXPECT_EQ(log->Get(2), bar);
    const std::string line = log->Get(1);
    EXPECT_TRUE(line.ends_with("  [CD_MP3] CD-ROM Device - Over number.\n")) << line;
    EXPECT_EQ(line.size(),
              std::string("mm/dd  hh:mm:ss  [CD_MP3] CD-ROM Device - Over number.\n").size());
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0], (test::DialogCall{"MessageBox", line, "Error Msg", 0x10}));
}

TEST_F(CddaBinding, ClosingTheMainWindowReleasesAndUnloadsOnce) {
    WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n");
    CreateSonvaleForms();
    ASSERT_EQ(LoadCddaReaderFile(Fake("cdda_ex_fake")), 1);
    // Our own reference keeps the library readable after the program unloads it.
    void* fake = dlopen(Fake("cdda_ex_fake").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(fake, nullptr);
    reinterpret_cast<void (*)()>(dlsym(fake, "fakecdda_reset"))();
    TCloseAction action = caFree;
    FmMain->FormClose(FmMain, action);
    char text[256] = {};
    reinterpret_cast<size_t (*)(char*, size_t)>(dlsym(fake, "fakecdda_log"))(text, sizeof text);
    dlclose(fake);
    EXPECT_STREQ(text, "ReaderRelease\n");
    EXPECT_FALSE(CddaReaderLoaded());
    EXPECT_FALSE(Resident(Fake("cdda_ex_fake")));
    EXPECT_TRUE(SameEntries(Cdda, stubs_));
    // Again (a second close attempt): only the stubs are called.
    FmMain->FormClose(FmMain, action);
    EXPECT_TRUE(SameEntries(Cdda, stubs_));
}

// A disc image the reader cannot read is a drive with no tracks; why is in the log, told by the
// reader's scan.
TEST_F(CdForm, ScanNotesOfTheReaderAreLoggedWithTheModeTag) {
    std::ofstream(dir_ / "wave.cue") << "FILE \"disc.bin\" WAVE\n  TRACK 01 AUDIO\n"
                                     << "    INDEX 01 00:00:00\n";
    const std::string wave = (dir_ / "wave.cue").string();
    setenv("CDDA_EX_IMAGES", (wave + ":" + cue_.string()).c_str(), 1);
    FmLogMsg->Log->Lines()->Clear();
    Show("FmCD_MP3");
    EXPECT_EQ(form_->lst_cd->Count(), 3);
    const Strings log = Log();
    const auto note = std::find(
        log.begin(), log.end(),
        "[CD_MP3] " + wave + ": FILE行の形式 WAVE は読めません（読めるのは BINARY だけです）");
    ASSERT_NE(note, log.end());
    EXPECT_TRUE(note[-1].starts_with("[CD_MP3] CD-ROM Device Num = ")) << note[-1];

    form_->cmb_drive->SetItemIndex(form_->cmb_drive->Items()->IndexOf("wave.cue (I:0:0)"));
    ASSERT_GE(form_->cmb_drive->ItemIndex(), 0);
    form_->cmb_driveChange(form_->cmb_drive);
    EXPECT_EQ(form_->lst_cd->Count(), 0);
    EXPECT_TRUE(dialogs_.Calls.empty());
}

} // namespace
