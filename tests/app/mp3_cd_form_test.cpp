// The disc-writing form with the other Sonvale forms around it and the scripted CD-DA reader:
// the list, its order and time, the checks, and whole jobs through the real decoder up to the
// hand-over written to main.ini.
#include "app/cd_wav_form.h"
#include "app/cdda_reader.h"
#include "app/decoder.h"
#include "app/forms.h"
#include "app/job_frame.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/mp3_cd_form.h"
#include "controls/control_hook.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/instance_lock.h"
#include "platform/settings_keys.h"
#include "tests/app/app_fixture.h"
#include "tests/framework/media_player_double.h"
#include "tests/outside/audio_files.h"

#include <QScrollBar>
#include <dlfcn.h>
#include <optional>

namespace {

using namespace sv;
using namespace sv::app;
using sv::test::DialogCall;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// The real decoder, counting the shut-downs; `onStep` runs at each step with the file open.
class CountingDecoder : public DecoderLibrary {
public:
    CountingDecoder() { SetDecoder(this); }
    ~CountingDecoder() override { SetDecoder(nullptr); }
    void ShutDown() override {
        ++shutDowns;
        DecoderLibrary::ShutDown();
    }
    bool OpenFile(const std::string& path, DecoderFileInfo& info) override {
        opened = path;
        return DecoderLibrary::OpenFile(path, info);
    }
    bool Step(int32_t& position) override {
        if (onStep) onStep(opened);
        return DecoderLibrary::Step(position);
    }
    int shutDowns = 0;
    std::string opened;
    std::function<void(const std::string&)> onStep;
};

class DiscForm : public apptest::SonvaleTest {
protected:
    void SetUp() override {
        SonvaleTest::SetUp();
        // An application of its own: the hand-over asks it to end.
        saved_ = Application;
        Application = &app_;
        music_ = dir_ / "曲 集";
        fs::create_directories(music_);
        // A Trelvik that says it was started.
        std::ofstream(dir_ / "Trelvik") << "#!/bin/sh\ntouch '" << Started().string() << "'\n";
        fs::permissions(dir_ / "Trelvik", fs::perms::owner_all);
    }
    void TearDown() override {
        FreeSonvaleForms();
        UnloadCddaReader();
        Application = saved_;
        SonvaleTest::TearDown();
    }

    TFmMP3_CD* Show(const std::string& sections = "", const std::string& formTag = "FmMP3_CD") {
        WriteIni("[MAIN]\nTITLE=Sonvale\n" + sections);
        if (!FmMain) {
            CreateSonvaleForms();
            // The scripted reader with two drives, in place of the one the CD form bound.
            const std::string fake = SV_BIN_DIR "/../tests/fakes/libcdda_ex_fake.so";
            EXPECT_EQ(LoadCddaReaderFile(fake), 1);
            void* lib = dlopen(fake.c_str(), RTLD_NOW | RTLD_NOLOAD);
            reinterpret_cast<void (*)()>(dlsym(lib, "fakecdda_reset"))();
            reinterpret_cast<void (*)(int32_t)>(dlsym(lib, "fakecdda_set_drives"))(2);
            dlclose(lib);
        }
        FmMP3_CD->SetCaption(formTag);
        FmMP3_CD->FormShow(FmMP3_CD);
        dialogs_.Calls.clear();
        return FmMP3_CD;
    }
    void Drop(const Strings& names) {
        TStringList files;
        for (const auto& n : names) files.Add(n);
        FmMP3_CD->dropFileDrop(FmMP3_CD->drop, &files, 0, 0);
    }
    Strings Items() const {
        Strings r;
        for (int i = 0; i < FmMP3_CD->lst_mp3->Count(); ++i)
            r.push_back(FmMP3_CD->lst_mp3->Items()->Get(i) +
                        (FmMP3_CD->lst_mp3->Selected(i) ? "*" : ""));
        return r;
    }
    std::string Wav(const std::string& name, int channels = 2, int samples = 44100) {
        svtest::WriteWav(music_ / name, 44100, channels, samples);
        return (music_ / name).string();
    }
    std::string Mp3(const std::string& name, int rate = 44100, int channels = 2) {
        svtest::WriteWav(music_ / "source.wav", rate, channels, rate);
        svtest::Shell("lame --quiet '" + (music_ / "source.wav").string() + "' '" +
                      (music_ / name).string() + "'");
        fs::remove(music_ / "source.wav");
        return (music_ / name).string();
    }
    std::string Work(std::string_view key) const {
        return TIniFile(IniFile().string()).ReadString(settings::kWork, key, "");
    }
    fs::path Started() const { return dir_ / "started"; }
    void Run() { FmMP3_CD->btn_execute->Click(); }
    void ExpectRestoredWithoutHandOver() {
        EXPECT_FALSE(JobRunning());
        EXPECT_TRUE(FmMP3_CD->Enabled());
        EXPECT_TRUE(FmMP3_CD->btn_execute->Visible());
        EXPECT_FALSE(FmMP3_CD->lbl_bitrate2->Visible());
        EXPECT_TRUE(FmMain->ModeButton(2)->Enabled());
        EXPECT_EQ(Work(settings::kMode), "");
        EXPECT_EQ(Work(settings::kWriteDir), "");
        Application->ProcessMessages();
        EXPECT_FALSE(Application->Terminated());
        EXPECT_FALSE(fs::exists(Started()));
    }

    TApplication app_{nullptr};
    TApplication* saved_ = nullptr;
    fs::path music_;
};

Strings Split(const std::string& commaText) {
    TStringList list;
    list.SetCommaText(commaText);
    Strings r;
    for (int i = 0; i < list.Count(); ++i) r.push_back(list[i]);
    return r;
}

TEST_F(DiscForm, ShowingDisarmsTheHandOverAndTakesTheDrivesAndSettings) {
    TFmMP3_CD* f = Show("[MP3_CD]\nSPEED=13\nBURNPROOF=1\n[WORK]\nWRITEDIR=\"\"x\"\"\n"
                        "SIZE=\" \"a.wav\"\"\nDELDIR=\"\"a.wav\"\"\nMODE=MP3_CD\n",
                        "FmWAV_CD");
    EXPECT_EQ(f->ModeTag, "[WAV_CD]");
    EXPECT_EQ(f->cmb_speed->Text(), "最高速");
    EXPECT_EQ(f->BURNPROOF, 1);
    for (std::string_view key : {settings::kWriteDir, settings::kDelDir, settings::kMode})
        EXPECT_EQ(Work(key), "") << key;
    EXPECT_EQ(Work(settings::kSize), " \"a.wav\"");
    // The CD form's scan fills this form's drive combo as well.
    EXPECT_EQ(f->cmb_drive->Items()->Count(), 2);
    EXPECT_EQ(f->cmb_drive->Text(), "FAKE DRIVE (0:0:0)");
}

// While a disc is written, section WORK belongs to the running Trelvik: showing a disc-writing
// page leaves it as it is, and a job is refused before anything is decoded.
TEST_F(DiscForm, WhileADiscIsWrittenItsHandOverIsLeftAlone) {
    const std::string a = Mp3("a.mp3");
    auto writing = platform::InstanceLock::Acquire(platform::kTrelvikInstanceLock);
    ASSERT_TRUE(writing);
    TFmMP3_CD* f = Show("[MP3_CD]\nDECWAIT=0\n[WORK]\nWRITEDIR=\"\"x\"\"\nSIZE= \"a.wav\"\n"
                        "DELDIR=\"\"a.wav\"\"\nMODE=CD_CD\n");
    const std::string written = ReadIni();
    EXPECT_NE(written.find("MODE=CD_CD"), std::string::npos);
    FmCD_WAV->SetCaption("FmCD_CD");
    FmCD_WAV->FormShow(FmCD_WAV);
    Drop({a});
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    EXPECT_EQ(dialogs_.Calls[0].Text.rfind("CDの書込み中です", 0), 0u) << dialogs_.Calls[0].Text;
    EXPECT_EQ(ReadIni(), written);
    EXPECT_FALSE(fs::exists(music_ / "a.wav"));
    EXPECT_EQ(Items(), Strings{a});
    EXPECT_TRUE(f->btn_execute->Visible());
}

TEST_F(DiscForm, TheListTakesWavAndMp3OnceAndMovesTheSelection) {
    Show("", "FmWAV_CD");
    Drop({"/A.MP3", "/B.wav", "/c.txt", "/B.wav", "/b.wav", "/x.mp3/d"});
    EXPECT_EQ(Items(), (Strings{"/A.MP3", "/B.wav", "/b.wav"}));
    dialogs_.Files = {{"/B.wav", "/e.txt"}};
    FmMP3_CD->btn_addClick(FmMP3_CD->btn_add);
    EXPECT_EQ(Items(), (Strings{"/A.MP3", "/B.wav", "/b.wav", "/e.txt"}));
    EXPECT_EQ(dialogs_.OpenRequests.at(0).Filter.rfind("wavファイル|*.wav|", 0), 0u);

    // Each selected item trades places with its neighbour: a block at the edge leaves its edge
    // item behind, unselected.
    for (int i : {0, 1, 2}) FmMP3_CD->lst_mp3->SetSelected(i, true);
    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_ue);
    EXPECT_EQ(Items(), (Strings{"/B.wav*", "/b.wav*", "/A.MP3", "/e.txt"}));
    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_sita);
    EXPECT_EQ(Items(), (Strings{"/A.MP3", "/B.wav*", "/b.wav*", "/e.txt"}));
    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_ue);
    EXPECT_EQ(Items(), (Strings{"/B.wav*", "/b.wav*", "/A.MP3", "/e.txt"}));

    // Scrolled sideways to the end of a long item, then deleting it: the extent shrinks to the
    // short items and they come back into view; showing the page again leaves no extent.
    TListBox* list = FmMP3_CD->lst_mp3;
    const int narrow = list->HorizontalExtent();
    const int left = list->ItemRect(0).Left;
    Drop({"/" + std::string(300, 'x') + ".wav"});
    ASSERT_GT(list->HorizontalExtent(), narrow);
    for (QScrollBar* bar : list->Handle()->findChildren<QScrollBar*>())
        if (bar->orientation() == Qt::Horizontal) bar->setValue(bar->maximum());
    ASSERT_LT(list->ItemRect(0).Left, left);
    for (int i = 0; i < 5; ++i) list->SetSelected(i, i == 4);
    FmMP3_CD->btn_delClick(FmMP3_CD->btn_del);
    EXPECT_EQ(list->HorizontalExtent(), narrow);
    EXPECT_EQ(list->ItemRect(0).Left, left);
    Show("", "FmWAV_CD");
    EXPECT_EQ(list->HorizontalExtent(), 10);
}

TEST_F(DiscForm, TotalTimeCountsTheFilesThePlayerCanOpen) {
    svtest::MediaOutputLog played;
    svtest::RecordingMediaOutputs outputs(played);
    TFmMP3_CD* f = Show();
    std::ofstream(music_ / "note.mp3") << "not sound";
    Drop({Wav("a.wav", 2, 44100 * 61), (music_ / "gone.wav").string(),
          (music_ / "note.mp3").string()});
    EXPECT_EQ(f->pnl_size->Caption(), "01:01");
    Drop({Mp3("b.mp3")});
    EXPECT_EQ(f->pnl_size->Caption(), "01:02");
    EXPECT_TRUE(dialogs_.Calls.empty());
    for (int i = 0; i < 4; ++i) f->lst_mp3->SetSelected(i, true);
    f->migiClick(f->pop_del);
    EXPECT_EQ(f->pnl_size->Caption(), "");
}

TEST_F(DiscForm, ChecksBeforeTheJobChangeNothing) {
    Show();
    Run();
    // Names that are never written make no list either.
    dialogs_.Files = {{"/m/notes.txt"}};
    FmMP3_CD->btn_addClick(FmMP3_CD->btn_add);
    Run();
    for (int i = 0; i < 101; ++i) Drop({"/m/" + std::to_string(1000 + i) + ".wav"});
    Run();
    EXPECT_EQ(dialogs_.Texts("ShowMessage"),
              (Strings{"データがありません。中止します。", "データがありません。中止します。"}));
    EXPECT_EQ(dialogs_.Texts("MessageBox"), Strings{"100曲以上は対応していません。中止します。"});
    EXPECT_TRUE(FmMain->ModeButton(2)->Enabled());
    EXPECT_EQ(Items().size(), 102u);
}

// MP3 and WAV items in list order: the MP3s without a WAV are decoded beside them and only
// those are deleted after the write; the rest is written as it is.
TEST_F(DiscForm, TheHandOverCarriesEveryItemInListOrder) {
    TFmMP3_CD* f = Show("[MP3_CD]\nSPEED=4\nBURNPROOF=1\nDECWAIT=0\n", "FmWAV_CD");
    const std::string b = Mp3("b.mp3"), c = Wav("c.wav"), a = Mp3("a, 1.MP3", 48000, 1);
    const std::string kept = Mp3("k.mp3"), keptWav = Wav("k.wav");
    Drop({b, c, a});
    dialogs_.Files = {{kept, (music_ / "cover.txt").string()}};
    f->btn_addClick(f->btn_add);
    f->cmb_drive->SetItemIndex(1);
    dialogs_.Calls.clear();
    Run();
    EXPECT_TRUE(dialogs_.Calls.empty()) << dialogs_.Calls.at(0).Text;

    const std::string aWav = (music_ / "a, 1.wav").string(), bWav = (music_ / "b.wav").string();
    EXPECT_EQ(Split(Work(settings::kSize)), (Strings{bWav, c, aWav, keptWav}));
    EXPECT_EQ(Split(Work(settings::kDelDir)), (Strings{bWav, aWav}));
    EXPECT_EQ(Work(settings::kMode), "MP3_CD");
    const std::string command = Work(settings::kWriteDir);
    EXPECT_EQ(command, "\"" + (dir_ / "cdrecord").string() +
                           "\" dev=1,0,0 speed=8 driveropts=burnproof -v -eject -audio -pad" +
                           Work(settings::kSize));
    EXPECT_EQ(svtest::ReadWav(aWav).rate, 44100);
    EXPECT_EQ(svtest::ReadWav(aWav).channels, 2);
    for (int i = 0; i < 300 && !fs::exists(Started()); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(Started()));
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());

    Strings log;
    for (int i = 0; i < FmLogMsg->Log->Lines()->Count(); ++i) {
        const std::string line = FmLogMsg->Log->Lines()->Get(i).substr(17);
        if (line.rfind("[WAV_CD] ", 0) == 0) log.push_back(line.substr(9));
    }
    EXPECT_EQ(log, (Strings{b + "デコード開始", b + "デコード成功", a + "デコード開始",
                            a + "デコード成功", "書込み実行", command}));
}

// Every road that ends without a hand-over takes away the WAVs the job decoded: left beside
// their MP3s, the next job would write them as the user's own. A WAV the user puts beside an MP3
// while it is decoded stays as it is. The window comes back with an empty list and no total, and
// the user is told.
TEST_F(DiscForm, AJobThatHandsNothingOverLeavesNoDecodedWav) {
    CountingDecoder decoder;
    const std::string a = Mp3("a.mp3"), note = (music_ / "note.mp3").string(), c = Mp3("c.mp3");
    const std::string b = Wav("b.wav");
    std::ofstream(note) << "not sound";
    const std::string aWav = (music_ / "a.wav").string(), cWav = (music_ / "c.wav").string();
    const std::string noTrelvik = (dir_ / "Trelvik").string() + "を起動できませんでした。";
    struct Road {
        const char* name;
        std::string sections;
        Strings list;
        std::function<void()> spoil;
        std::string says;      // the start of the first message
        std::string failure;   // a failure line shown after it, or first
        bool usersWav = false; // c.wav is the user's, made while c.mp3 was decoded
    };
    const Road roads[] = {
        {"a later MP3 fails",
         "",
         {a, note, c},
         [] {},
         note + " File Open Error!!",
         "[MP3_CD] ■■■■■" + note + "デコード失敗("},
        {"the user's WAV appears during a decode",
         "",
         {a, c, b},
         [&] {
             decoder.onStep = [&](const std::string& source) {
                 if (source == c && !fs::exists(cWav)) std::ofstream(cWav) << "mine";
             };
         },
         "",
         "[MP3_CD] ■■■■■" + c + "デコード失敗(" + cWav + "が処理中に作られたため",
         true},
        {"main.ini read-only at the hand-over",
         "",
         {a, b},
         [&] { fs::permissions(IniFile(), fs::perms::owner_read); },
         IniFile().string() + " に書き込めません",
         ""},
        {"no Trelvik", "", {a, b}, [&] { fs::remove(dir_ / "Trelvik"); }, noTrelvik, ""},
        // Settings that would spoil a decode do not matter to a list of WAVs.
        {"WAVs only, no Trelvik",
         "CONVERT=7\nFREQLIMIT=-44100\n",
         {b},
         [&] { fs::remove(dir_ / "Trelvik"); },
         noTrelvik,
         ""},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        decoder.shutDowns = 0;
        TFmMP3_CD* f = Show("[MP3_CD]\nDECWAIT=0\n" + road.sections);
        Drop(road.list);
        EXPECT_NE(f->pnl_size->Caption(), "");
        road.spoil();
        try {
            Run();
        } catch (const Exception& e) {
            dialogs_.Calls.push_back({"exception", e.Message(), "", 0});
        }
        fs::permissions(IniFile(), fs::perms::owner_read | fs::perms::owner_write);
        decoder.onStep = nullptr;
        ASSERT_FALSE(dialogs_.Calls.empty());
        EXPECT_EQ(dialogs_.Calls[0].Text.rfind(road.says, 0), 0u) << dialogs_.Calls[0].Text;
        if (!road.failure.empty()) {
            ASSERT_EQ(dialogs_.Calls.size(), road.says.empty() ? 1u : 2u);
            EXPECT_EQ(dialogs_.Calls.back().Caption, "Error Msg");
            EXPECT_NE(dialogs_.Calls.back().Text.find(road.failure), std::string::npos)
                << dialogs_.Calls.back().Text;
        }
        EXPECT_EQ(decoder.shutDowns, 1);
        EXPECT_FALSE(fs::exists(aWav));
        if (road.usersWav) {
            EXPECT_EQ(apptest::ReadFileText(cWav), "mine");
            fs::remove(cWav);
        }
        EXPECT_FALSE(fs::exists(cWav));
        EXPECT_TRUE(fs::exists(b));
        for (const std::string& name : apptest::FilesIn(music_))
            EXPECT_FALSE(name.ends_with(".part")) << name;
        ExpectRestoredWithoutHandOver();
        EXPECT_TRUE(Items().empty());
        EXPECT_EQ(f->pnl_size->Caption(), "");
        std::ofstream(dir_ / "Trelvik") << "#!/bin/sh\ntouch '" << Started().string() << "'\n";
        fs::permissions(dir_ / "Trelvik", fs::perms::owner_all);
    }
    // The last road shows the settings as they were read.
    EXPECT_EQ(FmMP3_CD->lbl_bitrate2->Caption(), "-44.1kHz");
    EXPECT_EQ(FmMP3_CD->lbl_enctype2->Caption(), "???");
}

// What the writer would refuse only after the countdown, Trelvik could not read whole, or the
// disc would get wrong, is refused by name before anything is decoded: a WAV of another format, a
// list too long, two items that stand for one WAV, an MP3 that is not there, and output settings
// of the decoder that make no WAV a disc takes. WAVs made in another format all the same are
// refused after decoding, and go again.
TEST_F(DiscForm, WhatCannotBeWrittenIsRefusedBeforeTheHandOver) {
    const std::string a = Mp3("a.mp3"), mono = Wav("mono.wav", 1), twin = Mp3("a.MP3");
    const std::string gone = (music_ / "gone.mp3").string(), b = Wav("b.wav"), bMp3 = Mp3("b.mp3");
    const std::string aWav = (music_ / "a.wav").string();
    Strings tooMany{a};
    for (int i = 0; i < 20; ++i)
        tooMany.push_back((music_ / (std::string(100, 'x') + std::to_string(i) + ".wav")).string());
    struct Case {
        std::string sections;
        Strings list;
        std::string says;
    };
    const Case cases[] = {
        {"", {a, mono}, mono + " はCDに書き込めない形式です"},
        {"", tooMany, "2046"},
        {"", {b, a, twin}, a + " と " + twin + " はどちらも " + aWav + " として"},
        {"", {bMp3, b}, bMp3 + " と " + b + " はどちらも " + b + " として"},
        {"", {b, gone}, gone + " が読み込めません"},
        {"CONVERT=1\n",
         {b, a},
         "デコード設定のコンバートがステレオではありません（[MP3_CD] CONVERT=1）"},
        {"FREQLIMIT=48000\n",
         {a},
         "サンプリングレートが44.1kHzではありません（[MP3_CD] FREQLIMIT=48000）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        Show("[MP3_CD]\nDECWAIT=0\n" + c.sections);
        Drop(c.list);
        Run();
        ASSERT_EQ(dialogs_.Calls.size(), 1u);
        EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
        EXPECT_NE(dialogs_.Calls[0].Text.find(c.says), std::string::npos) << dialogs_.Calls[0].Text;
        EXPECT_FALSE(fs::exists(aWav));
        EXPECT_EQ(Items().size(), c.list.size());
    }

    // A decoder that makes mono whatever it is asked for.
    class MonoDecoder : public DecoderLibrary {
    public:
        MonoDecoder() { SetDecoder(this); }
        ~MonoDecoder() override { SetDecoder(nullptr); }
        bool SetOutput(const DecoderOutputOptions& options) override {
            return DecoderLibrary::SetOutput(
                {options.reserved, DECODER_CONVERT_MONO, options.sampleRate});
        }
    } decoder;
    Show("[MP3_CD]\nDECWAIT=0\n");
    Drop({a, b});
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Text.rfind(aWav + " はCDに", 0), 0u);
    EXPECT_FALSE(fs::exists(aWav));
    EXPECT_TRUE(fs::exists(b));
    ExpectRestoredWithoutHandOver();
}

} // namespace
