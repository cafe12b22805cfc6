// The WAV and MP3 conversion form with the other Sonvale forms around it: the list, the
// preview, the job frame, and whole jobs through the real encoder and decoder libraries.
#include "app/forms.h"
#include "app/job_frame.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/mode_frame.h"
#include "app/program_paths.h"
#include "app/wav_mp3_form.h"
#include "controls/control_hook.h"
#include "controls/flat_combo.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "encoder/gogo_tea.h"
#include "framework/comctrls.h"
#include "framework/menus.h"
#include "framework/strings.h"
#include "tests/app/app_fixture.h"
#include "tests/app/small_disk.h"
#include "tests/framework/media_player_double.h"
#include "tests/framework/test_helpers.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using namespace sv;
using namespace sv::app;
using apptest::FilesIn;
using apptest::SmallDisk;
using sv::test::DialogCall;
using svtest::ScratchDir;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class WavMp3Form : public ::testing::Test {
protected:
    void SetUp() override {
        SetProgramDirForTests(dir.Path("").string());
        Ini("");
    }
    void TearDown() override {
        FreeSonvaleForms();
        SetProgramDirForTests("");
    }
    void Ini(const std::string& sections) {
        std::ofstream(dir.Path("main.ini")) << "[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n" << sections;
    }
    // Makes the forms and shows the conversion form in a mode ("FmWAV_MP3" or "FmMP3_WAV").
    TFmWAV_MP3* Show(const std::string& formTag) {
        if (!FmMain) CreateSonvaleForms();
        FmWAV_MP3->SetCaption(formTag);
        FmWAV_MP3->FormShow(FmWAV_MP3);
        return FmWAV_MP3;
    }
    void Drop(const Strings& names) {
        TStringList files;
        for (const auto& n : names) files.Add(n);
        FmWAV_MP3->dropFileDrop(FmWAV_MP3->drop, &files, 0, 0);
    }
    Strings Items() const {
        Strings r;
        for (int i = 0; i < FmWAV_MP3->lst_wav->Count(); ++i)
            r.push_back(FmWAV_MP3->lst_wav->Items()->Get(i));
        return r;
    }
    // The log lines after their "mm/dd  hh:mm:ss  " stamp ("?" for a line without one).
    Strings Log() const {
        static const std::string stamp = "00/00  00:00:00  ";
        Strings r;
        TStrings* lines = FmLogMsg->Log->Lines();
        for (int i = 0; i < lines->Count(); ++i) {
            const std::string line = lines->Get(i);
            bool stamped = line.size() > stamp.size();
            for (std::size_t k = 0; stamped && k < stamp.size(); ++k)
                stamped = stamp[k] == '0' ? std::isdigit(static_cast<unsigned char>(line[k]))
                                          : line[k] == stamp[k];
            r.push_back(stamped ? line.substr(stamp.size()) : "?");
        }
        return r;
    }
    std::string Wav(const std::string& name, int samples = 4410) {
        svtest::WriteWav(dir.Path(name), 44100, 2, samples);
        return dir.Path(name).string();
    }
    std::string File(const std::string& name, const std::string& text = "x") {
        std::ofstream(dir.Path(name)) << text;
        return dir.Path(name).string();
    }
    void Run() { FmWAV_MP3->btn_execute->Click(); }

    ScratchDir dir;
    sv::test::ScriptedDialogs dialogs;
};

TEST_F(WavMp3Form, ShowReadsTheModeSettings) {
    Ini("[WAV_MP3]\nSAVEDIR=/out/\nBTNONAJI=1\nBITRATE=192\nENCODETYPE=1\n"
        "[MP3_WAV]\nBTNMOTODEL=0x1\nFREQLIMIT=22050\nDECWAIT=-4\n");
    TFmWAV_MP3* f = Show("FmWAV_MP3");
    EXPECT_EQ(f->ModeTag, "[WAV_MP3]");
    EXPECT_EQ(f->edt_save->Text(), "/out/");
    EXPECT_TRUE(f->btn_onaji->Down());
    EXPECT_FALSE(f->btn_moto_del->Down());
    EXPECT_EQ(f->BITRATE, 192);
    EXPECT_EQ(f->ENCODETYPE, 1);
    EXPECT_EQ(f->gstr2->Caption(), "４．エンコード開始");
    EXPECT_FALSE(f->lbl_bitrate2->Visible());

    Show("FmMP3_WAV");
    EXPECT_EQ(f->ModeTag, "[MP3_WAV]");
    EXPECT_EQ(f->edt_save->Text(), "");
    EXPECT_FALSE(f->btn_onaji->Down());
    EXPECT_TRUE(f->btn_moto_del->Down());
    EXPECT_EQ(f->FREQLIMIT, 22050);
    EXPECT_EQ(f->DECWAIT, -4);
    EXPECT_EQ(f->lstr1->Caption(), "MP3→WAV　　・・・MP3データをWAVに変換します。");

    // Another caption keeps the mode.
    Show("FmCD_WAV");
    EXPECT_EQ(f->ModeTag, "[MP3_WAV]");
}

TEST_F(WavMp3Form, DropTakesOnlyTheModesExtension) {
    Show("FmWAV_MP3");
    Drop({"/m/b.WAV", "/m/a.wav", "/m/c.mp3", "/m/folder", "/m.wav/x", "/m/a.wav"});
    EXPECT_EQ(Items(), (Strings{"/m/a.wav", "/m/b.WAV"}));
    EXPECT_GT(FmWAV_MP3->lst_wav->HorizontalExtent(), 10);

    Show("FmMP3_WAV");
    EXPECT_TRUE(Items().empty());
    Drop({"/m/a.wav", "/m/x.Mp3", "/m/y.mp3"});
    EXPECT_EQ(Items(), (Strings{"/m/x.Mp3", "/m/y.mp3"}));
}

TEST_F(WavMp3Form, AddDialogTakesAnyNameButNoDuplicate) {
    Show("FmWAV_MP3");
    Drop({"/m/a.wav"});
    dialogs.Files = {{"/m/a.wav", "/m/z.txt"}};
    FmWAV_MP3->btn_addClick(FmWAV_MP3->btn_add);
    EXPECT_EQ(Items(), (Strings{"/m/a.wav", "/m/z.txt"}));
    ASSERT_EQ(dialogs.OpenRequests.size(), 1u);
    EXPECT_EQ(dialogs.OpenRequests[0].Filter, "wavファイル|*.wav");
    EXPECT_TRUE(dialogs.OpenRequests[0].MultiSelect);
}

TEST_F(WavMp3Form, SaveFolderFromTheChooserEndsWithASeparator) {
    Show("FmWAV_MP3");
    dialogs.Folders = {std::nullopt, "/music/out"};
    FmWAV_MP3->edt_saveClick(FmWAV_MP3->edt_save);
    EXPECT_EQ(FmWAV_MP3->edt_save->Text(), "");
    FmWAV_MP3->edt_saveClick(FmWAV_MP3->edt_save);
    EXPECT_EQ(FmWAV_MP3->edt_save->Text(), "/music/out/");
    EXPECT_EQ(dialogs.Calls.at(0).Caption, "ディレクトリ選択");
}

TEST_F(WavMp3Form, RowsArePaintedInTheFormsColours) {
    Show("FmWAV_MP3");
    Drop({"/a.wav", "/b.wav", "/c.wav", "/d.wav"});
    TListBox* list = FmWAV_MP3->lst_wav;
    list->SetSelected(3, true);
    auto image = sv::test::RenderControl(list);
    auto rowPixel = [&](int index) {
        const TRect r = list->ItemRect(index);
        return sv::test::PixelAt(*image, r.Right - 2, r.Top + 1);
    };
    EXPECT_EQ(rowPixel(0), 0xFFFFFFu);
    EXPECT_EQ(rowPixel(1), 0xFFD2E9u);
    EXPECT_EQ(rowPixel(2), 0xFFFFFFu);
    EXPECT_EQ(rowPixel(3), 0x0080FFu);
}

TEST_F(WavMp3Form, DeleteKeyRemovesEverySelectedItem) {
    Show("FmWAV_MP3");
    Drop({"/a.wav", "/b.wav", "/c.wav", "/d.wav", "/e.wav"});
    TListBox* list = FmWAV_MP3->lst_wav;
    list->SetSelected(0, true);
    list->SetSelected(2, true);
    list->SetSelected(3, true);
    int key = 'A';
    FmWAV_MP3->lst_wavKeyDown(list, key, {});
    EXPECT_EQ(Items().size(), 5u);
    key = VK_DELETE;
    FmWAV_MP3->lst_wavKeyDown(list, key, {});
    EXPECT_EQ(Items(), (Strings{"/b.wav", "/e.wav"}));
    EXPECT_EQ(key, VK_DELETE);

    // Deleting the one long item takes its extent with it.
    const int narrow = list->HorizontalExtent();
    Drop({"/" + std::string(300, 'x') + ".wav"});
    ASSERT_GT(list->HorizontalExtent(), narrow);
    list->SetSelected(2, true);
    FmWAV_MP3->lst_wavKeyDown(list, key, {});
    EXPECT_EQ(list->HorizontalExtent(), narrow);
}

TEST(ModeFrame, TotalTimeCaption) {
    EXPECT_EQ(TotalTimeCaption(3725, 3), "62:05");
    EXPECT_EQ(TotalTimeCaption(59, 1), "00:59");
    EXPECT_EQ(TotalTimeCaption(0, 0), "");
    EXPECT_EQ(TotalTimeCaption(3725, 0), "");
}

TEST_F(WavMp3Form, PreviewStates) {
    svtest::MediaOutputLog played;
    svtest::RecordingMediaOutputs outputs(played);
    FreeSonvaleForms(); // the player is made with the form
    TFmWAV_MP3* f = Show("FmWAV_MP3");
    auto state = [f] {
        return std::to_string(f->btn_teisi->Enabled()) + std::to_string(f->pop_ichiji->Enabled()) +
               std::to_string(f->pop_teisi->Enabled()) + " " + f->pop_saisei->Caption();
    };
    f->btn_saiseiClick(f->btn_saisei);
    EXPECT_EQ(dialogs.Texts(), Strings{"サウンドデータが選択されていません"});
    EXPECT_EQ(state(), "000 再生(&S)");

    const std::string a = Wav("a.wav"), b = Wav("b.wav");
    Drop({a, b});
    f->lst_wav->SetItemIndex(1);
    f->migiClick(f->pop_saisei);
    EXPECT_EQ(state(), "111 再生(&S)");
    EXPECT_EQ(f->media_play->FileName(), b);
    f->migiClick(f->pop_ichiji);
    EXPECT_EQ(state(), "101 再開(&S)");
    EXPECT_EQ(f->media_play->Mode(), mpPaused);
    f->migiClick(f->pop_saisei);
    EXPECT_EQ(state(), "111 再生(&S)");
    EXPECT_EQ(f->media_play->Mode(), mpPlaying);
    f->migiClick(f->pop_ichiji);
    // The button restarts without touching the caption.
    f->btn_saiseiClick(f->btn_saisei);
    EXPECT_EQ(state(), "111 再開(&S)");
    f->btn_saiseiClick(f->btn_teisi);
    EXPECT_EQ(state(), "000 再生(&S)");
    EXPECT_EQ(f->media_play->DeviceID(), 0u);

    // A play that fails, here for want of an output device, leaves a paused preview stopped.
    f->btn_saiseiClick(f->btn_saisei);
    f->migiClick(f->pop_ichiji);
    played.device = false;
    EXPECT_THROW(f->btn_saiseiClick(f->btn_saisei), Exception);
    EXPECT_EQ(state(), "000 再生(&S)");
    EXPECT_EQ(f->media_play->DeviceID(), 0u);
    played.device = true;

    // A new show ends a playing preview and clears the list.
    f->btn_saiseiClick(f->btn_saisei);
    Show("FmWAV_MP3");
    EXPECT_EQ(state(), "000 再生(&S)");
    EXPECT_TRUE(Items().empty());
    f->migiClick(f->pop_del);
}

TEST_F(WavMp3Form, ChecksBeforeTheJob) {
    Show("FmWAV_MP3");
    Run();
    for (int i = 0; i < 101; ++i) Drop({"/m/" + std::to_string(1000 + i) + ".wav"});
    Run();
    FmWAV_MP3->btn_onaji->SetDown(true);
    Run();
    EXPECT_EQ(dialogs.Texts(), (Strings{"データがありません。中止します。", "保存先が未入力です",
                                        "100曲以上は対応していません。中止します。"}));
    EXPECT_TRUE(FmMain->ModeButton(1)->Enabled());
    EXPECT_EQ(Items().size(), 101u);
}

TEST_F(WavMp3Form, TheFrameDisablesAndRestores) {
    Ini("[WAV_MP3]\nBTNONAJI=1\nBTNMOTODEL=1\n");
    TFmWAV_MP3* f = Show("FmWAV_MP3");
    const std::string a = Wav("a.wav"), b = Wav("b.wav");
    File("a.mp3");
    Drop({a, b});
    const auto iniSize = svtest::ReadAll(dir.Path("main.ini")).size();
    bool checked = false;
    dialogs.OnMessage = [&](const DialogCall& call) {
        if (call.Caption != "確認") return;
        checked = true;
        EXPECT_TRUE(JobRunning());
        EXPECT_FALSE(FmMain->ModeButton(4)->Enabled());
        EXPECT_FALSE(FmMain->D1->Enabled());
        EXPECT_FALSE(f->Enabled());
        EXPECT_FALSE(f->btn_execute->Visible());
        EXPECT_TRUE(f->prog_main->Visible());
        EXPECT_TRUE(f->lbl_bitrate2->Visible());
        // The main window stays while the job runs: its close handler does not run.
        FmMain->Close();
        EXPECT_EQ(svtest::ReadAll(dir.Path("main.ini")).size(), iniSize);
    };
    dialogs.Answers = {IDNO};
    Run();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(JobRunning());
    EXPECT_EQ(dialogs.Texts(),
              (Strings{dir.Path("a.mp3").string() + " はすでに存在します。上書きしますか？",
                       "Complete"}));
    EXPECT_TRUE(f->Enabled());
    EXPECT_TRUE(FmMain->ModeButton(4)->Enabled());
    EXPECT_TRUE(FmMain->D1->Enabled());
    EXPECT_TRUE(f->btn_execute->Visible());
    EXPECT_FALSE(f->prog_main->Visible());
    EXPECT_FALSE(f->lbl_bitrate2->Visible());
    EXPECT_TRUE(f->btn_saisei->Enabled());
    EXPECT_TRUE(Items().empty());
    // The option buttons keep their state through the job.
    EXPECT_TRUE(f->btn_onaji->Down());
    EXPECT_TRUE(f->btn_moto_del->Down());
    EXPECT_TRUE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
    EXPECT_TRUE(fs::exists(dir.Path("b.mp3")));
    FmMain->Close();
    EXPECT_GT(svtest::ReadAll(dir.Path("main.ini")).size(), iniSize);

    EXPECT_EQ(Log(),
              (Strings{"[WAV_MP3] " + b + "エンコード開始", "[WAV_MP3] " + b + "エンコード成功"}));
}

TEST_F(WavMp3Form, ABadEncodeTypeStillEndsWithComplete) {
    Ini("[WAV_MP3]\nBTNONAJI=1\nENCODETYPE=5\n");
    Show("FmWAV_MP3");
    Drop({Wav("a.wav")});
    Run();
    EXPECT_EQ(dialogs.Calls.at(0),
              (DialogCall{"MessageBox", "EncodeType Load Error", "Error Msg", 0}));
    EXPECT_EQ(dialogs.Texts().back(), "Complete");
    EXPECT_TRUE(Items().empty());
    EXPECT_FALSE(fs::exists(dir.Path("a.mp3")));
}

TEST_F(WavMp3Form, ARefusedJobRestoresTheWindowAndRaises) {
    Ini("[WAV_MP3]\nBTNONAJI=1\nBITRATE=7\n");
    Show("FmWAV_MP3");
    Drop({Wav("a.wav")});
    EXPECT_THROW(FmWAV_MP3->btn_executeClick(FmWAV_MP3->btn_execute), EGogoTeaError);
    EXPECT_FALSE(JobRunning());
    EXPECT_TRUE(FmWAV_MP3->Enabled());
    EXPECT_TRUE(FmMain->ModeButton(1)->Enabled());
    EXPECT_TRUE(Items().empty());
    EXPECT_TRUE(dialogs.Texts().empty());
}

TEST_F(WavMp3Form, RoundTripThroughTheRealLibraries) {
    // The save folders without their "/", as a hand edit may leave them.
    Ini("[WAV_MP3]\nSAVEDIR=" + dir.Path("mp3").string() +
        "\n[MP3_WAV]\nSAVEDIR=" + dir.Path("wav").string() + "\nDECWAIT=30\n");
    const std::string source = Wav("曲 1.wav", 100000);
    Show("FmWAV_MP3");
    Drop({source});
    Run();
    const fs::path mp3 = dir.Path("mp3") / "曲 1.mp3";
    ASSERT_TRUE(fs::exists(mp3));
    EXPECT_EQ(FmWAV_MP3->prog_main->Position(), 100);

    Show("FmMP3_WAV");
    Drop({mp3.string()});
    Run();
    const fs::path wav = dir.Path("wav") / "曲 1.wav";
    EXPECT_EQ(svtest::ReadWav(wav).Samples(), dir.ReferenceSamples("mp3/曲 1.mp3"));
    EXPECT_EQ(svtest::ReadWav(wav).Samples(), 100000u);
    EXPECT_EQ(dialogs.Texts(), (Strings{"Complete", "Complete"}));
    EXPECT_TRUE(fs::exists(source));
}

TEST_F(WavMp3Form, ATextFileNamedMp3) {
    Ini("[MP3_WAV]\nBTNONAJI=1\n");
    Show("FmMP3_WAV");
    const std::string text = File("note.mp3", "not sound at all\n");
    Drop({text});
    Run();
    EXPECT_EQ(dialogs.Calls.at(0),
              (DialogCall{"MessageBox", text + " File Open Error!!", "ErrorMessage", 0x30}));
    EXPECT_EQ(dialogs.Texts().back(), "Complete");
    EXPECT_TRUE(FmWAV_MP3->Enabled());
    EXPECT_TRUE(FmWAV_MP3->btn_execute->Visible());
    EXPECT_TRUE(FmMain->ModeButton(5)->Enabled());
    // The window takes the next job.
    Drop({text});
    EXPECT_EQ(Items(), Strings{text});
}

// The log window's lines, whole.
Strings LogLines() {
    Strings r;
    for (int i = 0; i < FmLogMsg->Log->Lines()->Count(); ++i)
        r.push_back(FmLogMsg->Log->Lines()->Get(i));
    return r;
}

std::string Joined(const Strings& lines) {
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

// Output settings the decoder refuses write nothing; the user hears of it before "Complete".
TEST_F(WavMp3Form, RefusedDecodeSettingsAreToldBeforeComplete) {
    dir.MakeMp3("a.mp3", 44100, 2, 4410);
    dir.MakeMp3("b.mp3", 44100, 2, 4410);
    const std::string a = dir.Path("a.mp3").string(), b = dir.Path("b.mp3").string();
    for (const char* setting : {"CONVERT=2", "FREQLIMIT=0"}) {
        Ini(std::string("[MP3_WAV]\nBTNONAJI=1\nBTNMOTODEL=1\n") + setting + "\n");
        Show("FmMP3_WAV");
        FmLogMsg->Log->Lines()->Clear();
        dialogs.Calls.clear();
        Drop({a, b});
        Run();
        const Strings lines = LogLines();
        ASSERT_EQ(lines.size(), 2u) << setting;
        EXPECT_NE(lines[0].find("[MP3_WAV] ■■■■■" + a + "デコード失敗("), std::string::npos);
        EXPECT_EQ(dialogs.Calls,
                  (std::vector<DialogCall>{{"MessageBox", Joined(lines), "Error Msg", MB_ICONERROR},
                                           {"ShowMessage", "Complete", "", 0}}));
        EXPECT_TRUE(fs::exists(a));
        EXPECT_TRUE(fs::exists(b));
        EXPECT_FALSE(fs::exists(dir.Path("a.wav")));
    }
    // A job without failures shows none.
    Ini("[MP3_WAV]\nBTNONAJI=1\nDECWAIT=0\n");
    Show("FmMP3_WAV");
    dialogs.Calls.clear();
    Drop({a});
    Run();
    EXPECT_EQ(dialogs.Texts(), Strings{"Complete"});
    EXPECT_TRUE(fs::exists(dir.Path("a.wav")));
}

// A job that raises still tells the failures it had before, then the exception is shown.
TEST_F(WavMp3Form, FailuresBeforeARefusedJobAreStillTold) {
    Ini("[WAV_MP3]\nBTNONAJI=1\nBITRATE=7\n");
    Show("FmWAV_MP3");
    const std::string mp3 = File("a.mp3"), wav = Wav("b.wav");
    dialogs.Files = {{mp3, wav}};
    FmWAV_MP3->btn_addClick(FmWAV_MP3->btn_add);
    dialogs.Calls.clear();
    EXPECT_THROW(FmWAV_MP3->btn_executeClick(FmWAV_MP3->btn_execute), EGogoTeaError);
    const Strings lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("■■■■■" + mp3), std::string::npos);
    const std::vector<DialogCall> boxes{{"MessageBox", lines[0], "Error Msg", MB_ICONERROR}};
    EXPECT_EQ(dialogs.Calls, boxes);
    EXPECT_EQ(FilesIn(dir.Path("")), (Strings{"a.mp3", "b.wav", "main.ini"}));
}

// A disk that fills up mid-job: the cut output goes, the source stays, the user is told before
// "Complete", and the space is free again for the next item.
TEST_F(WavMp3Form, AFullDiskLeavesNoOutputAndIsTold) {
    SmallDisk disk(dir.Path("small"));
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here: " << disk.Why();
    const std::string save = dir.Path("small").string() + "/";
    const std::string big = Wav("a.wav", 44100 * 30), small = Wav("b.wav", 4410);
    dir.MakeMp3("c.mp3", 44100, 2, 44100 * 5);
    dir.MakeMp3("d.mp3", 44100, 2, 4410);
    const std::string bigMp3 = dir.Path("c.mp3").string(), smallMp3 = dir.Path("d.mp3").string();

    struct Job {
        const char* formTag;
        const char* section;
        std::string big, small, bigOut, smallOut, reason;
    };
    const Job jobs[] = {
        {"FmWAV_MP3", "WAV_MP3", big, small, "a.mp3", "b.mp3",
         "エンコード失敗(MP3ファイルに書き込めません、エラーコード 11)"},
        {"FmMP3_WAV", "MP3_WAV", bigMp3, smallMp3, "c.wav", "d.wav",
         "デコード失敗(WAVファイルに書き込めません)"},
    };
    for (const Job& job : jobs) {
        Ini(std::string("[") + job.section + "]\nSAVEDIR=" + save + "\nBTNMOTODEL=1\nDECWAIT=0\n");
        Show(job.formTag);
        FmLogMsg->Log->Lines()->Clear();
        dialogs.Calls.clear();
        Drop({job.big, job.small});
        Run();
        EXPECT_TRUE(fs::exists(job.big)) << job.formTag;
        EXPECT_FALSE(fs::exists(job.small)) << job.formTag;
        EXPECT_EQ(FilesIn(dir.Path("small")), Strings{job.smallOut}) << job.formTag;
        Strings failures;
        for (const auto& line : LogLines())
            if (line.find("■■■■■") != std::string::npos) failures.push_back(line);
        ASSERT_EQ(failures.size(), 1u) << job.formTag;
        EXPECT_NE(failures[0].find(job.big + job.reason), std::string::npos) << failures[0];
        EXPECT_EQ(dialogs.Calls,
                  (std::vector<DialogCall>{{"MessageBox", failures[0], "Error Msg", MB_ICONERROR},
                                           {"ShowMessage", "Complete", "", 0}}));
        fs::remove(dir.Path("small") / job.smallOut);
    }
}

} // namespace
