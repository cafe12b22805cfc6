// Ripping through the CD form's run button: over the real reader on a generated disc image
// (the WAVs must be the image's PCM behind the exact header) and over the scripted reader
// (read errors, a target that cannot be opened, a full disk, the checks before a job, the frame
// around it).
#include "app/job_frame.h"
#include "app/main_form.h"
#include "controls/flat_combo.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/messages.h"
#include "platform/file_ops.h"
#include "tests/app/cd_form_fixture.h"
#include "tests/app/small_disk.h"

#include <stdexcept>

namespace {

using namespace sv;
using namespace sv::app;
using apptest::CdForm;
using apptest::FilesIn;
using apptest::Strings;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

void Put(Bytes& b, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) b.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A ripped file as it must be: the 44-byte header with `counted` data bytes, then `pcm`.
Bytes Wav(const Bytes& pcm, uint32_t counted) {
    Bytes b;
    for (char c : std::string("RIFF")) b.push_back(static_cast<uint8_t>(c));
    Put(b, counted + 36, 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(c));
    Put(b, 16, 4);
    Put(b, 1, 2);
    Put(b, 2, 2);
    Put(b, 44100, 4);
    Put(b, 176400, 4);
    Put(b, 4, 2);
    Put(b, 16, 2);
    for (char c : std::string("data")) b.push_back(static_cast<uint8_t>(c));
    Put(b, counted, 4);
    b.insert(b.end(), pcm.begin(), pcm.end());
    return b;
}
Bytes Wav(const Bytes& pcm) {
    return Wav(pcm, static_cast<uint32_t>(pcm.size()));
}

Bytes ReadBytes(const fs::path& path) {
    const std::string text = apptest::ReadFileText(path);
    return Bytes(text.begin(), text.end());
}

class Rip : public CdForm {};

const std::string kBar = "■■■■■";

TEST_F(Rip, StandInRipsTheListedTracksBitExactAndReadsTheDiscAgain) {
    Show();
    // Track 3 is deleted; an old file of track 4 is replaced without a question.
    Select({1}, 1);
    form_->btn_delClick(form_->btn_del);
    std::ofstream(out_ / "disc_04.wav") << "an older rip";
    std::vector<TrackRecord> atComplete;
    dialogs_.OnMessage = [&](const test::DialogCall& call) {
        if (call.Text == "Complete")
            atComplete.assign(form_->TrackTable, form_->TrackTable + kTrackRecords);
    };
    FmLogMsg->Log->Lines()->Clear();
    Run("disc", out_.string() + "/");

    EXPECT_EQ(dialogs_.Texts(), (Strings{"Complete"}));
    EXPECT_EQ(FilesIn(out_), (Strings{"disc_02.wav", "disc_04.wav"}));
    EXPECT_TRUE(ReadBytes(out_ / "disc_02.wav") == Wav(tracks_[1].bytes));
    EXPECT_TRUE(ReadBytes(out_ / "disc_04.wav") == Wav(tracks_[3].bytes));
    // Until the disc is read again the records hold the paths of the job.
    ASSERT_EQ(atComplete.size(), 100u);
    EXPECT_EQ(atComplete[1].FileName, Out("disc_02.wav"));
    EXPECT_EQ(atComplete[1].Mp3Path, Out("disc_02.mp3"));
    EXPECT_EQ(atComplete[2].FileName, "");
    EXPECT_EQ(form_->TrackTable[1].FileName, "");
    EXPECT_EQ(form_->lst_cd->Count(), 3);
    ExpectRestored();

    const Strings log = Log();
    for (const std::string& line :
         Strings{"[CD_WAV] Beginning to rip 300 -> 225 sector",
                 "[CD_WAV] トラック2リッピング開始[FileName=" + Out("disc_02.wav") + "]",
                 "[CD_WAV] トラック4リッピング終了[FileName=" + Out("disc_04.wav") + "]"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

TEST_F(Rip, AReadErrorKeepsThePartReadBehindAnEmptyHeaderAndEndsTheRip) {
    ShowFake({0, 30, 60, 90});
    FakeReadError(1, 2);
    FmLogMsg->Log->Lines()->Clear();
    Run("t", out_.string() + "/");

    EXPECT_EQ(FilesIn(out_), (Strings{"t_01.wav", "t_02.wav"}));
    EXPECT_TRUE(ReadBytes(out_ / "t_01.wav") == Wav(FakePcm(0, 30)));
    // The chunk that failed was written too; the header counts nothing.
    EXPECT_TRUE(ReadBytes(out_ / "t_02.wav") == Wav(FakePcm(1, 20), 0));
    // No finish for the failed track, no third track, no end of session; then the list is read
    // again.
    EXPECT_EQ(FakeCalls(), "ReaderPrepareTrack(0)\nReaderFinishTrack\nReaderPrepareTrack(1)\n"
                           "ReaderSelectDrive(0)\nReaderReadToc\n");

    ASSERT_EQ(dialogs_.Calls.size(), 3u);
    EXPECT_EQ(dialogs_.Calls[0], (test::DialogCall{"ShowMessage", "ripping error", "", 0}));
    const test::DialogCall& failures = dialogs_.Calls[1];
    EXPECT_EQ(failures.Caption, "Error Msg");
    EXPECT_EQ(failures.Flags, unsigned{MB_ICONERROR});
    EXPECT_NE(
        failures.Text.find(kBar + Out("t_02.wav") + "リッピング失敗(セクタ50を読み込めません)"),
        std::string::npos)
        << failures.Text;
    EXPECT_NE(failures.Text.find(kBar + "トラック3リッピング失敗"), std::string::npos);
    EXPECT_EQ(failures.Text.find("トラック1"), std::string::npos);
    EXPECT_EQ(dialogs_.Calls[2].Text, "Complete");
    const Strings log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "[CD_WAV] Error at 50 (20:30)"), log.end());
    ExpectRestored();
}

// A rip that fails never takes the place of a file that is there.
TEST_F(Rip, AFailedRipLeavesAFileOfItsNameAlone) {
    ShowFake({0, 30, 60, 90});
    // The disc is taken out after the listing, while the context still holds the numbers of an
    // earlier job. The save folder is typed without its "/": the files still go into it.
    const std::string older = "an earlier complete rip";
    std::ofstream(out_ / "t_01.wav") << older;
    form_->CddaCtx.TrackSector = 15478;
    FakePrepareFails(-130);
    Run("t", out_.string());

    // Nothing was read: no file is made, and the old one stays.
    EXPECT_EQ(apptest::ReadFileText(out_ / "t_01.wav"), older);
    EXPECT_EQ(FilesIn(out_), (Strings{"t_01.wav"}));
    for (const std::string& name : FilesIn(dir_)) EXPECT_FALSE(name.starts_with("outt_")) << name;
    EXPECT_EQ(FakeCalls(), "ReaderPrepareTrack(0)\nReaderSelectDrive(0)\nReaderReadToc\n");
    ASSERT_EQ(dialogs_.Calls.size(), 3u);
    EXPECT_EQ(dialogs_.Calls[0].Text, "ripping error");
    const std::string& failures = dialogs_.Calls[1].Text;
    EXPECT_NE(failures.find(kBar + (out_ / "t_01.wav").string() +
                            "リッピング失敗(CDが挿入されていません)"),
              std::string::npos)
        << failures;
    EXPECT_NE(failures.find(kBar + "トラック3リッピング失敗"), std::string::npos);
    EXPECT_EQ(failures.find("15478"), std::string::npos);
    EXPECT_EQ(dialogs_.Calls[2].Text, "Complete");

    // The disc is back; track 2 fails in its middle over an earlier complete rip of it: that
    // stays, and the part read stays beside it under its temporary name.
    FakePrepareFails(0);
    FakeReadError(1, 2);
    const Bytes complete = Wav(FakePcm(1, 30));
    std::ofstream(out_ / "t_02.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(complete.data()),
               static_cast<std::streamsize>(complete.size()));
    dialogs_.Calls.clear();
    Run("t", out_.string() + "/");

    const Strings files = FilesIn(out_);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], "t_01.wav");
    EXPECT_EQ(files[1], "t_02.wav");
    const std::string part = files[2];
    EXPECT_TRUE(part.starts_with("t_02.wav.") && part.ends_with(".part")) << part;
    EXPECT_TRUE(ReadBytes(out_ / "t_01.wav") == Wav(FakePcm(0, 30)));
    EXPECT_TRUE(ReadBytes(out_ / "t_02.wav") == complete);
    EXPECT_TRUE(ReadBytes(out_ / part) == Wav(FakePcm(1, 20), 0));
    ASSERT_EQ(dialogs_.Calls.size(), 3u);
    EXPECT_NE(
        dialogs_.Calls[1].Text.find(kBar + Out("t_02.wav") +
                                    "リッピング失敗(セクタ50を読み込めません、読み込めた部分は" +
                                    Out(part) + "に残しました)"),
        std::string::npos)
        << dialogs_.Calls[1].Text;
    ExpectRestored();

    // A file of the name that appears while the part read is put in place stays as well.
    fs::remove(out_ / "t_02.wav");
    fs::remove(out_ / part);
    struct Appearing : platform::FileOps {
        fs::path appears;
        bool SyncFile(const std::string& path) override {
            if (path.starts_with(appears.string() + ".")) std::ofstream(appears) << "the user's";
            return FileOps::SyncFile(path);
        }
    } appearing;
    appearing.appears = out_ / "t_02.wav";
    platform::SetFileOps(&appearing);
    dialogs_.Calls.clear();
    Run("t", out_.string() + "/");
    platform::SetFileOps(nullptr);
    EXPECT_EQ(apptest::ReadFileText(out_ / "t_02.wav"), "the user's");
    const Strings now = FilesIn(out_);
    ASSERT_EQ(now.size(), 3u);
    EXPECT_TRUE(ReadBytes(out_ / now[2]) == Wav(FakePcm(1, 20), 0));
    ASSERT_EQ(dialogs_.Calls.size(), 3u);
    EXPECT_NE(dialogs_.Calls[1].Text.find("読み込めた部分は" + Out(now[2]) + "に残しました"),
              std::string::npos)
        << dialogs_.Calls[1].Text;
}

TEST_F(Rip, DiscCopyRipsIntoTheWorkFolderWithProgressEverySixteenthChunk) {
    // 10 000 sectors in chunks of 27: 371 chunks, a progress line after every sixteenth.
    ShowFake({0, 10000, 10010}, 27, "FmCD_CD");
    ASSERT_FALSE(fs::exists(dir_ / "tmp2"));
    FmLogMsg->Log->Lines()->Clear();
    // A close request while the disc is read is refused: the reader stays bound to the end.
    PostMessage(FmMain, WM_CLOSE, 0, 0);
    form_->btn_execute->Click();
    EXPECT_TRUE(CddaReaderLoaded());
    EXPECT_EQ(FakeCalls().find("ReaderRelease"), std::string::npos);
    EXPECT_EQ(ReadIni().find("LEFT="), std::string::npos);

    EXPECT_TRUE(dialogs_.Calls.empty()); // no "Complete" in this mode
    EXPECT_EQ(FilesIn(dir_ / "tmp2"), (Strings{"Audiotrack01.wav", "Audiotrack02.wav"}));
    const Bytes first = ReadBytes(dir_ / "tmp2" / "Audiotrack01.wav");
    ASSERT_EQ(first.size(), 44u + 23520000u);
    EXPECT_TRUE(Bytes(first.begin() + 4, first.begin() + 8) == (Bytes{0x24, 0xe3, 0x66, 0x01}));
    EXPECT_TRUE(Bytes(first.begin() + 40, first.begin() + 44) == (Bytes{0x00, 0xe3, 0x66, 0x01}));
    Strings progress;
    for (const std::string& line : Log())
        if (line.starts_with("[CD_CD] Track[")) progress.push_back(line);
    ASSERT_EQ(progress.size(), 23u);
    EXPECT_EQ(progress.front(), "[CD_CD] Track[1]  432: 10000");
    EXPECT_EQ(progress.back(), "[CD_CD] Track[1]  9936: 10000");
    // Track 2 is read in one chunk, and yet named while it is read.
    EXPECT_EQ(form_->lbl_track->Caption(), "トラック2");
    EXPECT_EQ(form_->prog_main->Position(), 100);
}

TEST_F(Rip, ATargetThatCannotBeOpenedEndsTheRip) {
    ShowFake({0, 30, 60});
    fs::create_directories(out_ / "t_01.wav");
    Run("t", out_.string() + "/");

    EXPECT_EQ(dialogs_.Texts("ShowMessage"), (Strings{"file not open", "Complete"}));
    const Strings boxes = dialogs_.Texts("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(Out("t_01.wav") + "リッピング失敗(WAVファイルを作成できません)"),
              std::string::npos);
    EXPECT_NE(boxes[0].find("トラック2リッピング失敗"), std::string::npos);
    EXPECT_EQ(FakeCalls(), "ReaderRelease\nReaderSelectDrive(0)\nReaderReadToc\n");
    EXPECT_EQ(FilesIn(out_), (Strings{"t_01.wav"}));
    EXPECT_TRUE(fs::is_directory(out_ / "t_01.wav"));
}

TEST_F(Rip, AFullDiskEndsTheRipWithoutACutFile) {
    apptest::SmallDisk disk(dir_ / "small", "size=300k");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here: " << disk.Why();
    // 117 600 bytes fit; 470 400 do not.
    ShowFake({0, 50, 250, 260});
    Strings whileTold;
    dialogs_.OnMessage = [&](const test::DialogCall& call) {
        if (call.Text == "ripping error") whileTold = FilesIn(dir_ / "small");
    };
    Run("t", (dir_ / "small").string() + "/");

    // The cut file is gone before the user is told.
    EXPECT_EQ(whileTold, (Strings{"t_01.wav"}));
    EXPECT_EQ(FilesIn(dir_ / "small"), (Strings{"t_01.wav"}));
    EXPECT_TRUE(ReadBytes(dir_ / "small" / "t_01.wav") == Wav(FakePcm(0, 50)));
    EXPECT_EQ(dialogs_.Texts("ShowMessage"), (Strings{"ripping error", "Complete"}));
    const Strings boxes = dialogs_.Texts("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("t_02.wavリッピング失敗(WAVファイルに書き込めません)"),
              std::string::npos)
        << boxes[0];
    EXPECT_NE(boxes[0].find("トラック3リッピング失敗"), std::string::npos);
    EXPECT_EQ(FakeCalls().find("ReaderEndSession"), std::string::npos);
    ExpectRestored();
}

TEST_F(Rip, ChecksComeInTheirOrderAndChangeNothing) {
    ShowFake({0, 30, 60, 90});
    const std::string folder = (dir_ / "never").string() + "/";
    auto refused = [&](const std::string& message) {
        dialogs_.Calls.clear();
        form_->btn_execute->Click();
        EXPECT_EQ(dialogs_.Texts(), (Strings{message}));
        EXPECT_TRUE(form_->btn_execute->Visible());
    };
    const std::string tooMany = "100曲以上は対応していません。中止します。";

    form_->lst_cd->Clear();
    form_->edt_save->SetText("");
    form_->edt_base->SetText("");
    refused("データがありません。中止します。");

    form_->cmb_driveChange(form_->btn_reload);
    for (int i = 4; i <= 101; ++i) form_->lst_cd->Items()->Add(TrackListText(i, 1));
    refused("保存先が未入力です");
    form_->edt_save->SetText(folder);
    refused("ベース名が未入力です");
    form_->edt_base->SetText("t");
    refused(tooMany);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    EXPECT_EQ(dialogs_.Calls[0].Flags, unsigned{MB_OK | MB_ICONEXCLAMATION});
    while (form_->lst_cd->Count() > 100) form_->lst_cd->Items()->Delete(100);
    form_->rdo_betu->SetChecked(true);
    form_->TrackTable[0].FileName = "one";
    refused(form_->TrackTable[1].ListText + "のファイル名が未入力です");
    form_->TrackTable[1].FileName = "two";
    form_->TrackTable[2].FileName = "one";
    refused("トラック01とトラック03のファイル名「one」が同じです。別々の名前を指定して下さい。");
    // 84 characters of three bytes and ".wav" make 256 bytes, one more than a file name takes.
    std::string tooLong;
    for (int i = 0; i < 84; ++i) tooLong += "曲";
    form_->TrackTable[2].FileName = tooLong;
    refused(
        "トラック03のファイル名が長すぎます(256バイト、255バイトまで)。短い名前を指定して下さい。");
    // A "/" would lead out of the save folder, or into a folder that is not there.
    form_->TrackTable[2].FileName = "AC/DC";
    refused("トラック03のファイル名に「/」は使えません。別の名前を指定して下さい。");

    EXPECT_FALSE(fs::exists(dir_ / "never"));
    EXPECT_EQ(FakeCalls(), "ReaderSelectDrive(0)\nReaderReadToc\n"); // the reload alone
}

TEST_F(Rip, AnExceptionInTheJobStillRestoresTheWindowAndReadsTheDiscAgain) {
    ShowFake({0, 30, 60});
    FakeReadError(0, 1);
    dialogs_.OnMessage = [](const test::DialogCall& call) {
        if (call.Text == "ripping error") throw std::runtime_error("raised in the job");
    };
    EXPECT_THROW(Run("t", out_.string() + "/"), std::runtime_error);
    ExpectRestored();
    EXPECT_EQ(form_->TrackTable[0].FileName, "");
    EXPECT_EQ(form_->lst_cd->Count(), 2);
    EXPECT_EQ(dialogs_.Texts("ShowMessage"), (Strings{"ripping error"}));
}

TEST_F(Rip, ADriveChangeDuringTheRipIsAppliedOnceTheWindowIsRestored) {
    ShowFake({0, 30, 60});
    FakeReadError(1, 1);
    int duringJob = -1, atComplete = -1;
    dialogs_.OnMessage = [&](const test::DialogCall& call) {
        if (call.Text == "ripping error") {
            TMessage removal{WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0, 0};
            FmMain->WMDeviceChange(removal);
            duringJob = form_->lst_cd->Count();
        } else if (call.Text == "Complete") {
            atComplete = form_->lst_cd->Count();
        }
    };
    Run("t", out_.string() + "/");
    EXPECT_EQ(duringJob, 2);
    EXPECT_EQ(atComplete, 0);
    EXPECT_EQ(form_->lst_cd->Count(), 2); // read again after "Complete"
}

} // namespace
