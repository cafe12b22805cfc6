// CD→MP3 and CD→CD through the CD form's run button, over the real reader on a generated disc
// image and over the scripted reader: the MP3s of the ripped tracks, what a failed rip or encode
// leaves, and the hand-over of a disc copy to Trelvik.
#include "app/mode_frame.h"
#include "framework/ini_file.h"
#include "framework/messages.h"
#include "framework/strings.h"
#include "platform/instance_lock.h"
#include "platform/settings_keys.h"
#include "tests/app/cd_form_fixture.h"
#include "tests/app/small_disk.h"
#include "tests/outside/audio_files.h"

#include <optional>

namespace {

using namespace sv;
using namespace sv::app;
using apptest::FilesIn;
using apptest::Strings;
namespace fs = std::filesystem;

const std::string kBar = "■■■■■";

// The working folder changed for a scope.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(old_); }

private:
    fs::path old_;
};

class CdJobs : public apptest::CdForm {
protected:
    std::string Work(const std::string& name) const { return (dir_ / "tmp2" / name).string(); }
    std::string WorkKey(std::string_view key) const {
        return TIniFile(IniFile().string()).ReadString(settings::kWork, key, "");
    }
    // The log lines (after their time stamp) that hold `text`.
    Strings LogWith(const std::string& text) const {
        Strings r;
        for (const std::string& line : Log())
            if (line.find(text) != std::string::npos) r.push_back(line);
        return r;
    }
    // The sample frames of an MP3 as the reference decoder gives them.
    static uint64_t DecodedSamples(const fs::path& mp3) {
        const fs::path wav = mp3.string() + ".ref.wav";
        svtest::Shell("mpg123 -q -w '" + wav.string() + "' '" + mp3.string() + "'");
        const uint64_t samples = svtest::ReadWav(wav).Samples();
        fs::remove(wav);
        return samples;
    }
    void ExpectNoHandOver() {
        EXPECT_EQ(WorkKey(settings::kMode), "");
        EXPECT_EQ(WorkKey(settings::kWriteDir), "");
        Application->ProcessMessages();
        EXPECT_FALSE(Application->Terminated());
        EXPECT_FALSE(fs::exists(Started()));
    }
};

TEST_F(CdJobs, CdToMp3LeavesOneMp3PerRippedTrackAndNoWav) {
    Show("FmCD_MP3");
    // Track 3 is deleted; an old MP3 of track 2 is replaced without a question.
    Select({1}, 1);
    form_->btn_delClick(form_->btn_del);
    std::ofstream(out_ / "disc_02.mp3") << "an older encode";
    FmLogMsg->Log->Lines()->Clear();
    Run("disc", out_.string() + "/");

    EXPECT_EQ(dialogs_.Texts(), (Strings{"Complete"}));
    EXPECT_EQ(FilesIn(out_), (Strings{"disc_02.mp3", "disc_04.mp3"}));
    EXPECT_EQ(DecodedSamples(out_ / "disc_02.mp3"), 225u * 588);
    EXPECT_EQ(DecodedSamples(out_ / "disc_04.mp3"), 75u * 588);
    const std::string two = Out("disc_02.wav"), four = Out("disc_04.wav");
    EXPECT_EQ(
        LogWith("エンコード"),
        (Strings{"[CD_MP3] " + two + "エンコード開始", "[CD_MP3] " + two + "エンコード成功",
                 "[CD_MP3] " + four + "エンコード開始", "[CD_MP3] " + four + "エンコード成功"}));
    EXPECT_EQ(form_->lbl_track->Caption(), "トラック4");
    ExpectRestored();
    EXPECT_EQ(form_->lst_cd->Count(), 3);
    EXPECT_EQ(form_->TrackTable[1].Mp3Path, "");
}

TEST_F(CdJobs, CdToMp3AfterAReadErrorEncodesOnlyTheTracksThatCompleted) {
    ShowFake({0, 30, 60, 90}, 10, "FmCD_MP3");
    FakeReadError(1, 2);
    // Files of the names the tracks have before the rip gives them paths, where a job that took
    // a bare name would find them; and an earlier rip of the track that fails, which is neither
    // this job's to encode nor to delete.
    const fs::path cwd = dir_ / "cwd";
    fs::create_directories(cwd);
    for (const char* name : {"t_02", "t_03", "t_03.wav"}) std::ofstream(cwd / name) << "keep";
    svtest::WriteWav(out_ / "t_02.wav", 44100, 2, 30 * 588);
    const std::string earlier = apptest::ReadFileText(out_ / "t_02.wav");
    {
        InFolder in(cwd);
        Run("t", out_.string() + "/");
    }

    const Strings files = FilesIn(out_);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(Strings(files.begin(), files.begin() + 2), (Strings{"t_01.mp3", "t_02.wav"}));
    EXPECT_TRUE(files[2].starts_with("t_02.wav.") && files[2].ends_with(".part")) << files[2];
    EXPECT_EQ(apptest::ReadFileText(out_ / "t_02.wav"), earlier);
    EXPECT_EQ(FilesIn(cwd), (Strings{"t_02", "t_03", "t_03.wav"}));
    EXPECT_EQ(DecodedSamples(out_ / "t_01.mp3"), 30u * 588);
    EXPECT_EQ(LogWith("エンコード"), (Strings{"[CD_MP3] " + Out("t_01.wav") + "エンコード開始",
                                              "[CD_MP3] " + Out("t_01.wav") + "エンコード成功"}));
    ASSERT_EQ(dialogs_.Calls.size(), 3u);
    EXPECT_EQ(dialogs_.Calls[0].Text, "ripping error");
    EXPECT_NE(dialogs_.Calls[1].Text.find(kBar + "トラック3リッピング失敗"), std::string::npos);
    EXPECT_EQ(dialogs_.Calls[2].Text, "Complete");
    ExpectRestored();
}

// The disk fills up with the first track's MP3; the second track's fits.
TEST_F(CdJobs, AFailedEncodeKeepsItsWavAndTheNextTrackFollows) {
    const fs::path small = dir_ / "small";
    // The two WAVs take 1337 pages of 4 KiB; 40 more are left for the MP3s.
    apptest::SmallDisk disk(small, "size=5508k");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here: " << disk.Why();
    ShowFake({0, 30 * 75, 31 * 75}, 25, "FmCD_MP3");
    FmLogMsg->Log->Lines()->Clear();
    Run("t", small.string() + "/");

    EXPECT_EQ(FilesIn(small), (Strings{"t_01.wav", "t_02.mp3"}));
    EXPECT_EQ(svtest::ReadWav(small / "t_01.wav").Samples(), 30u * 75 * 588);
    const std::string one = (small / "t_01.wav").string(), two = (small / "t_02.wav").string();
    const std::string failure =
        "[CD_MP3] " + kBar + one + "エンコード失敗(MP3ファイルに書き込めません、エラーコード 11)";
    EXPECT_EQ(LogWith("エンコード"), (Strings{"[CD_MP3] " + one + "エンコード開始", failure,
                                              "[CD_MP3] " + two + "エンコード開始",
                                              "[CD_MP3] " + two + "エンコード成功"}));
    ASSERT_EQ(dialogs_.Calls.size(), 2u);
    EXPECT_NE(dialogs_.Calls[0].Text.find(failure.substr(9)), std::string::npos);
    EXPECT_EQ(dialogs_.Calls[1].Text, "Complete");
}

TEST_F(CdJobs, AnEncoderThatRefusesTheJobStillRestoresTheWindow) {
    WriteIni("[MAIN]\nTITLE=Sonvale\n[CD_MP3]\nENCODETYPE=9\n");
    ShowFake({0, 30, 60}, 10, "FmCD_MP3");
    EXPECT_ANY_THROW(Run("t", out_.string() + "/"));
    ExpectRestored();
    EXPECT_EQ(FilesIn(out_), (Strings{"t_01.wav", "t_02.wav"}));
    EXPECT_EQ(form_->TrackTable[0].FileName, "");
    EXPECT_TRUE(dialogs_.Texts("ShowMessage").empty());
}

TEST_F(CdJobs, CdToCdHandsTheWorkFilesToTrelvikInTheListsOrder) {
    WriteIni("[MAIN]\nTITLE=Sonvale\n[CD_CD]\nSPEED=4\nBURNPROOF=1\n");
    Show("FmCD_CD");
    // Tracks 2, 3, 4 become 4, 2, 3; the save folder and the names play no part.
    Select({2}, 2);
    form_->btn_ueClick(form_->btn_ue);
    form_->btn_ueClick(form_->btn_ue);
    form_->edt_save->SetText("");
    form_->rdo_betu->SetChecked(true);
    FmLogMsg->Log->Lines()->Clear();
    form_->btn_execute->Click();

    EXPECT_EQ(dialogs_.Texts(), Strings{}); // no "Complete"
    EXPECT_EQ(FilesIn(dir_ / "tmp2"),
              (Strings{"Audiotrack02.wav", "Audiotrack03.wav", "Audiotrack04.wav"}));
    const Strings files{Work("Audiotrack04.wav"), Work("Audiotrack02.wav"),
                        Work("Audiotrack03.wav")};
    const std::string operands = " \"" + files[0] + "\" \"" + files[1] + "\" \"" + files[2] + "\"";
    const std::string command = "\"" + (dir_ / "cdrecord").string() +
                                "\" dev=I,0,0 speed=8 driveropts=burnproof -v -eject -audio -pad" +
                                operands;
    EXPECT_EQ(WorkKey(settings::kWriteDir), command);
    EXPECT_EQ(WorkKey(settings::kSize), operands);
    TStringList deleted;
    deleted.SetCommaText(WorkKey(settings::kDelDir));
    ASSERT_EQ(deleted.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(deleted[i], files[static_cast<size_t>(i)]);
    EXPECT_EQ(WorkKey(settings::kMode), "CD_CD");
    EXPECT_EQ(LogWith("書込み実行"), (Strings{"[CD_CD] 書込み実行"}));
    EXPECT_EQ(LogWith("cdrecord"), (Strings{"[CD_CD] " + command}));

    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    for (int i = 0; i < 500 && !fs::exists(Started()); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(Started()));
    ExpectRestored();
    EXPECT_EQ(Items().front().substr(0, 13), "Audio track02"); // the disc read again
}

// A drive that comes during the copy (the blank disc put into the writer) must not disarm the
// hand-over that Trelvik is reading: the program is ending, and the change goes with it.
TEST_F(CdJobs, ADriveArrivingDuringACopyLeavesTheHandOverArmed) {
    WriteIni("[MAIN]\nTITLE=Sonvale\n");
    Show("FmCD_CD");
    PostMessage(FmMain, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    form_->btn_execute->Click();

    const Strings files{Work("Audiotrack02.wav"), Work("Audiotrack03.wav"),
                        Work("Audiotrack04.wav")};
    EXPECT_EQ(WorkKey(settings::kMode), "CD_CD");
    EXPECT_EQ(WorkKey(settings::kWriteDir), "\"" + (dir_ / "cdrecord").string() +
                                                "\" dev=I,0,0 speed=0 -v -eject -audio -pad \"" +
                                                files[0] + "\" \"" + files[1] + "\" \"" + files[2] +
                                                "\"");
    EXPECT_EQ(WorkKey(settings::kDelDir),
              "\"" + files[0] + "\",\"" + files[1] + "\",\"" + files[2] + "\"");
    for (int i = 0; i < 500 && !fs::exists(Started()); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(Started()));
}

TEST_F(CdJobs, CdToCdThatCannotRipHandsNothingOver) {
    ShowFake({0, 30, 60, 90}, 10, "FmCD_CD");
    // A file where the work folder belongs: nothing is read.
    std::ofstream(dir_ / "tmp2") << "in the way";
    form_->btn_execute->Click();
    ASSERT_EQ(dialogs_.Calls.size(), 2u);
    EXPECT_EQ(dialogs_.Calls[0].Text, dir_.string() + "/tmp2フォルダが作成できませんでした。");
    EXPECT_NE(dialogs_.Calls[1].Text.find(kBar + "トラック1リッピング失敗"), std::string::npos);
    EXPECT_EQ(FakeCalls(), "ReaderSelectDrive(0)\nReaderReadToc\n");
    ExpectNoHandOver();

    // The last track fails over the work file an earlier copy left: the tracks this copy read,
    // whole or in part, go again, since nothing else would remove them; what it did not write
    // stays as it was.
    fs::remove(dir_ / "tmp2");
    fs::create_directories(dir_ / "tmp2");
    svtest::WriteWav(Work("Audiotrack03.wav"), 44100, 2, 30 * 588);
    std::ofstream(Work("notes.txt")) << "not the copy's";
    const std::string earlier = apptest::ReadFileText(Work("Audiotrack03.wav"));
    FakeReadError(2, 2);
    dialogs_.Calls.clear();
    form_->btn_execute->Click();

    EXPECT_EQ(FilesIn(dir_ / "tmp2"), (Strings{"Audiotrack03.wav", "notes.txt"}));
    EXPECT_EQ(apptest::ReadFileText(Work("Audiotrack03.wav")), earlier);
    ASSERT_EQ(dialogs_.Calls.size(), 2u);
    EXPECT_EQ(dialogs_.Calls[0].Text, "ripping error");
    EXPECT_NE(dialogs_.Calls[1].Text.find(Work("Audiotrack03.wav") + "リッピング失敗(セクタ"),
              std::string::npos);
    EXPECT_EQ(dialogs_.Calls[1].Text.find("残しました"), std::string::npos)
        << dialogs_.Calls[1].Text;
    ExpectNoHandOver();
    ExpectRestored();
}

// A copy that cannot be handed over takes its work files away again, and with them only its
// own: nothing else would remove them.
TEST_F(CdJobs, CdToCdThatCannotHandOverLeavesNoWorkFile) {
    ShowFake({0, 30, 60}, 10, "FmCD_CD");
    fs::create_directories(dir_ / "tmp2");
    std::ofstream(dir_ / "tmp2" / "notes.txt") << "not the copy's";
    const std::string noTrelvik = (dir_ / "Trelvik").string() + "を起動できませんでした。";
    fs::remove(dir_ / "Trelvik");
    form_->btn_execute->Click();
    EXPECT_EQ(dialogs_.Texts(), Strings{noTrelvik});
    EXPECT_EQ(FilesIn(dir_ / "tmp2"), Strings{"notes.txt"});
    ExpectNoHandOver();
    ExpectRestored();

    std::ofstream(dir_ / "Trelvik") << "#!/bin/sh\ntouch '" << Started().string() << "'\n";
    fs::permissions(dir_ / "Trelvik", fs::perms::owner_all);
    fs::permissions(IniFile(), fs::perms::owner_read);
    dialogs_.Calls.clear();
    try {
        form_->btn_execute->Click();
        ADD_FAILURE() << "no write error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind(IniFile().string() + " に書き込めません", 0), 0u);
    }
    fs::permissions(IniFile(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(FilesIn(dir_ / "tmp2"), Strings{"notes.txt"});
    ExpectNoHandOver();
    ExpectRestored();
}

TEST_F(CdJobs, CdToCdChecksOnlyTheListAndWhetherItCanBeHandedOver) {
    // 60 work files make a command line longer than Trelvik can read whole.
    std::vector<int32_t> starts;
    for (int32_t k = 0; k <= 60; ++k) starts.push_back(10 * k);
    ShowFake(starts, 10, "FmCD_CD");
    form_->edt_save->SetText("");
    form_->edt_base->SetText("");
    auto refused = [&](const std::string& message) {
        dialogs_.Calls.clear();
        form_->btn_execute->Click();
        ASSERT_EQ(dialogs_.Calls.size(), 1u);
        EXPECT_EQ(dialogs_.Calls[0].Text.rfind(message, 0), 0u) << dialogs_.Calls[0].Text;
        EXPECT_TRUE(form_->btn_execute->Visible());
    };

    refused("書込みデータが多すぎるか");
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    {
        // A disc being written reads the work files a copy would rip.
        auto writing = platform::InstanceLock::Acquire(platform::kTrelvikInstanceLock);
        ASSERT_TRUE(writing);
        refused("CDの書込み中です");
        EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    }
    for (int i = 61; i <= 101; ++i) form_->lst_cd->Items()->Add(TrackListText(i, 1));
    refused("100曲以上は対応していません。中止します。");
    form_->lst_cd->Clear();
    refused("データがありません。中止します。");

    EXPECT_FALSE(fs::exists(dir_ / "tmp2"));
    EXPECT_EQ(FakeCalls(), "");
    ExpectNoHandOver();
}

TEST_F(CdJobs, AHandOverOfAWavTheWriterWouldRefuseIsToldAndNotMade) {
    ShowFake({0, 30}, 10, "FmCD_CD");
    const std::string good = Out("good.wav"), mono = Out("mono.wav");
    svtest::WriteWav(good, 44100, 2, 100);
    svtest::WriteWav(mono, 44100, 1, 100);
    EXPECT_FALSE(HandOverWrite({}, {good, mono, good}, {}, settings::kModeCdCd, *form_));
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Text.rfind(mono + " は", 0), 0u);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    ExpectNoHandOver();
}

} // namespace
