// The disc-writing form with the other Sonvale forms around it and the scripted CD-DA reader:
// the list and its order, the drives, the checks, and whole jobs through the real decoder up to
// the hand-over written to main.ini.
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
#include "framework/comctrls.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/settings_keys.h"
#include "tests/app/app_fixture.h"
#include "tests/framework/media_player_double.h"
#include "tests/outside/audio_files.h"

#include <dlfcn.h>

namespace {

using namespace sv;
using namespace sv::app;
using sv::test::DialogCall;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// The real decoder, counting the shut-downs.
class CountingDecoder : public DecoderLibrary {
public:
    CountingDecoder() { SetDecoder(this); }
    ~CountingDecoder() override { SetDecoder(nullptr); }
    void ShutDown() override {
        ++shutDowns;
        DecoderLibrary::ShutDown();
    }
    int shutDowns = 0;
};

class DiscForm : public apptest::SonvaleTest {
protected:
    void SetUp() override {
        SonvaleTest::SetUp();
        // A run of its own: the hand-over asks the application to end.
        saved_ = Application;
        Application = &app_;
        music_ = dir_ / "曲 集";
        fs::create_directories(music_);
    }
    void TearDown() override {
        FreeSonvaleForms();
        UnloadCddaReader();
        Application = saved_;
        SonvaleTest::TearDown();
    }

    // The scripted reader with two drives, in place of the one the CD form bound.
    static void UseFakeReader() {
        const std::string fake = std::string(SV_BIN_DIR) + "/../tests/fakes/libcdda_ex_fake.so";
        ASSERT_EQ(LoadCddaReaderFile(fake), 1);
        void* lib = dlopen(fake.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(lib, nullptr);
        reinterpret_cast<void (*)()>(dlsym(lib, "fakecdda_reset"))();
        reinterpret_cast<void (*)(int32_t)>(dlsym(lib, "fakecdda_set_drives"))(2);
        dlclose(lib);
    }
    void Ini(const std::string& sections) {
        WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n" + sections);
    }
    TFmMP3_CD* Show(const std::string& formTag = "FmMP3_CD") {
        if (!FmMain) {
            CreateSonvaleForms();
            UseFakeReader();
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
            r.push_back(FmMP3_CD->lst_mp3->Items()->Get(i));
        return r;
    }
    std::string Selection() const {
        std::string r;
        for (int i = 0; i < FmMP3_CD->lst_mp3->Count(); ++i)
            r += FmMP3_CD->lst_mp3->Selected(i) ? '1' : '0';
        return r;
    }
    std::string Wav(const std::string& name, int rate = 44100, int channels = 2,
                    int samples = 44100) {
        svtest::WriteWav(music_ / name, rate, channels, samples);
        return (music_ / name).string();
    }
    std::string Mp3(const std::string& name, int rate = 44100, int channels = 2,
                    int samples = 44100) {
        svtest::WriteWav(music_ / "source.wav", rate, channels, samples);
        svtest::Shell("lame --quiet -b 128 '" + (music_ / "source.wav").string() + "' '" +
                      (music_ / name).string() + "'");
        fs::remove(music_ / "source.wav");
        return (music_ / name).string();
    }
    std::string Work(std::string_view key) const {
        TIniFile ini(IniFile().string());
        return ini.ReadString(settings::kWork, key, "");
    }
    static Strings Split(const std::string& commaText) {
        TStringList list;
        list.SetCommaText(commaText);
        Strings r;
        for (int i = 0; i < list.Count(); ++i) r.push_back(list[i]);
        return r;
    }
    // A Trelvik that says it was started.
    void FakeTrelvik() {
        std::ofstream(dir_ / "Trelvik")
            << "#!/bin/sh\ntouch '" << (dir_ / "started").string() << "'\n";
        fs::permissions(dir_ / "Trelvik", fs::perms::owner_all);
    }
    bool TrelvikStarted() const {
        for (int i = 0; i < 300 && !fs::exists(dir_ / "started"); ++i) usleep(10000);
        return fs::exists(dir_ / "started");
    }
    void Run() { FmMP3_CD->btn_execute->Click(); }
    void ExpectRestoredWithoutHandOver() {
        EXPECT_FALSE(JobRunning());
        EXPECT_TRUE(FmMP3_CD->Enabled());
        EXPECT_TRUE(FmMP3_CD->btn_execute->Visible());
        EXPECT_FALSE(FmMP3_CD->lbl_bitrate2->Visible());
        EXPECT_TRUE(FmMain->ModeButton(2)->Enabled());
        EXPECT_TRUE(FmMain->D1->Enabled());
        EXPECT_EQ(Work(settings::kMode), "");
        EXPECT_EQ(Work(settings::kWriteDir), "");
        Application->ProcessMessages();
        EXPECT_FALSE(Application->Terminated());
    }

    TApplication app_{nullptr};
    TApplication* saved_ = nullptr;
    fs::path music_;
};

TEST_F(DiscForm, ShowReadsTheSettingsDisarmsTheHandOverAndListsTheDrives) {
    Ini("[MP3_CD]\nCONVERT=1\nFREQLIMIT=22050\nDECWAIT=0x10\nSPEED=13\nBURNPROOF=1\n"
        "[WORK]\nWRITEDIR=\"\"x\"\"\nSIZE= \"a.wav\"\nDELDIR=\"\"a.wav\"\"\nMODE=MP3_CD\n");
    TFmMP3_CD* f = Show("FmWAV_CD");
    EXPECT_EQ(f->ModeTag, "[WAV_CD]");
    EXPECT_EQ(f->lstr1->Caption(),
              "WAV→CD　　・・・WAVデータCD-Rに書き込みます。 ※MP3も可能です。");
    EXPECT_EQ(f->lstr2->Caption(), "１．WAVデータをエクスプローラからドラッグして下さい。");
    EXPECT_EQ(f->CONVERT, 1);
    EXPECT_EQ(f->FREQLIMIT, 22050);
    EXPECT_EQ(f->DECWAIT, 16);
    EXPECT_EQ(f->BURNPROOF, 1);
    EXPECT_EQ(f->cmb_speed->Text(), "最高速");
    EXPECT_EQ(Work(settings::kWriteDir), "");
    EXPECT_EQ(Work(settings::kDelDir), "");
    EXPECT_EQ(Work(settings::kMode), "");
    EXPECT_EQ(Work(settings::kSize), " \"a.wav\"");
    // The CD form's scan fills this form's drive combo as well.
    ASSERT_EQ(f->cmb_drive->Items()->Count(), 2);
    EXPECT_EQ(f->cmb_drive->Text(), "FAKE DRIVE (0:0:0)");
    EXPECT_EQ(f->pnl_size->Caption(), "");

    Show("FmMP3_CD");
    EXPECT_EQ(f->lstr1->Caption(),
              "MP3→CD　　・・・MP3データをWAVに変換後、CD-Rに書き込みます。 ※WAVも可能です。");
    // Another caption keeps the mode.
    Show("FmCD_WAV");
    EXPECT_EQ(f->ModeTag, "[MP3_CD]");
}

TEST_F(DiscForm, DropAndAddTakeWavAndMp3InTheirOrderOnce) {
    Show("FmWAV_CD");
    Drop({"/m/a.MP3", "/m/b.wav", "/m/c.txt", "/m/b.wav", "/m/B.wav", "/m.mp3/d"});
    EXPECT_EQ(Items(), (Strings{"/m/a.MP3", "/m/b.wav", "/m/B.wav"}));
    EXPECT_GT(FmMP3_CD->lst_mp3->HorizontalExtent(), 10);

    // The dialog takes any name, but no name twice.
    dialogs_.Files = {{"/m/b.wav", "/m/e.txt"}};
    FmMP3_CD->btn_addClick(FmMP3_CD->btn_add);
    EXPECT_EQ(Items(), (Strings{"/m/a.MP3", "/m/b.wav", "/m/B.wav", "/m/e.txt"}));
    Show("FmMP3_CD");
    EXPECT_TRUE(Items().empty());
    FmMP3_CD->btn_addClick(FmMP3_CD->btn_add);
    ASSERT_EQ(dialogs_.OpenRequests.size(), 2u);
    EXPECT_EQ(dialogs_.OpenRequests[0].Filter,
              "wavファイル|*.wav|mp3ファイル|*.mp3|wav,mp3ファイル|*.wav;*.mp3");
    EXPECT_EQ(dialogs_.OpenRequests[1].Filter,
              "mp3ファイル|*.mp3|wavファイル|*.wav|mp3,wavファイル|*.mp3;*.wav");
    EXPECT_TRUE(dialogs_.OpenRequests[1].MultiSelect);
}

// Each selected item trades places with its neighbour: a block at the edge leaves its edge item
// behind, unselected.
TEST_F(DiscForm, UpAndDownMoveTheSelectedItems) {
    Show();
    auto select = [](Strings::size_type count, std::initializer_list<int> selected) {
        for (Strings::size_type i = 0; i < count; ++i)
            FmMP3_CD->lst_mp3->SetSelected(static_cast<int>(i), false);
        for (int i : selected) FmMP3_CD->lst_mp3->SetSelected(i, true);
    };
    Drop({"/A.wav", "/B.wav", "/C.wav"});
    select(3, {0, 1, 2});
    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_ue);
    EXPECT_EQ(Items(), (Strings{"/B.wav", "/C.wav", "/A.wav"}));
    EXPECT_EQ(Selection(), "110");

    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_sita);
    EXPECT_EQ(Items(), (Strings{"/A.wav", "/B.wav", "/C.wav"}));
    EXPECT_EQ(Selection(), "011");

    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_ue);
    EXPECT_EQ(Items(), (Strings{"/B.wav", "/C.wav", "/A.wav"}));
    EXPECT_EQ(Selection(), "110");

    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_sita);
    select(3, {2});
    FmMP3_CD->btn_updownClick(FmMP3_CD->btn_sita);
    EXPECT_EQ(Selection(), "001");
}

TEST_F(DiscForm, TotalTimeCountsTheFilesThePlayerCanOpen) {
    svtest::MediaOutputLog played;
    svtest::RecordingMediaOutputs outputs(played);
    TFmMP3_CD* f = Show();
    const std::string a = Wav("a.wav", 44100, 2, 44100 * 61), b = Mp3("b.mp3");
    std::ofstream(music_ / "note.mp3") << "not sound";
    Drop({a, (music_ / "gone.wav").string(), (music_ / "note.mp3").string()});
    EXPECT_EQ(f->pnl_size->Caption(), "01:01");
    Drop({b});
    EXPECT_EQ(f->pnl_size->Caption(), "01:02");
    EXPECT_TRUE(dialogs_.Calls.empty());

    f->lst_mp3->SetSelected(0, true);
    f->lst_mp3->SetSelected(3, true);
    int key = VK_DELETE;
    f->lst_mp3KeyDown(f->lst_mp3, key, {});
    EXPECT_EQ(Items().size(), 2u);
    EXPECT_EQ(f->pnl_size->Caption(), "00:00");
    f->lst_mp3->SetSelected(0, true);
    f->lst_mp3->SetSelected(1, true);
    f->migiClick(f->pop_del);
    EXPECT_EQ(f->pnl_size->Caption(), "");
}

TEST_F(DiscForm, ChecksBeforeTheJobChangeNothing) {
    Show();
    Run();
    Drop({"/m/notes.txt"});
    dialogs_.Files = {{"/m/notes.txt", "/m/cover.jpg"}};
    FmMP3_CD->btn_addClick(FmMP3_CD->btn_add);
    Run();
    for (int i = 0; i < 101; ++i) Drop({"/m/" + std::to_string(1000 + i) + ".wav"});
    Run();
    // A list of names that are never written is as empty as an empty one.
    EXPECT_EQ(dialogs_.Texts("ShowMessage"),
              (Strings{"データがありません。中止します。", "データがありません。中止します。"}));
    EXPECT_EQ(dialogs_.Texts("MessageBox"), Strings{"100曲以上は対応していません。中止します。"});
    EXPECT_EQ(dialogs_.Calls.back().Caption, "error msg");
    EXPECT_TRUE(FmMain->ModeButton(1)->Enabled());
    EXPECT_EQ(Items().size(), 103u);
}

// MP3 and WAV items in list order: the MP3s without a WAV are decoded beside them and only
// those are deleted after the write; the rest is written as it is.
TEST_F(DiscForm, TheHandOverCarriesEveryItemInListOrder) {
    Ini("[MP3_CD]\nSPEED=4\nBURNPROOF=1\nDECWAIT=0\n");
    FakeTrelvik();
    TFmMP3_CD* f = Show("FmWAV_CD");
    const std::string b = Mp3("b.mp3"), c = Wav("c.wav"), a = Mp3("a, 1.MP3", 48000, 1);
    const std::string kept = Mp3("k.mp3");
    const std::string keptWav = Wav("k.wav");
    Drop({b, c, a});
    dialogs_.Files = {{kept, (music_ / "cover.txt").string()}};
    f->btn_addClick(f->btn_add);
    dialogs_.Calls.clear();
    f->cmb_drive->SetItemIndex(1);
    bool checked = false;
    dialogs_.OnMessage = [&](const DialogCall&) { checked = true; };
    Run();
    EXPECT_FALSE(checked) << dialogs_.Calls.at(0).Text;

    const std::string aWav = (music_ / "a, 1.wav").string(), bWav = (music_ / "b.wav").string();
    EXPECT_EQ(Split(Work(settings::kSize)), (Strings{bWav, c, aWav, keptWav}));
    EXPECT_EQ(Split(Work(settings::kDelDir)), (Strings{bWav, aWav}));
    EXPECT_EQ(Work(settings::kMode), "MP3_CD");
    const std::string command = Work(settings::kWriteDir);
    EXPECT_EQ(command, "\"" + (dir_ / "cdrecord").string() +
                           "\" dev=1,0,0 speed=8 driveropts=burnproof -v -eject -audio -pad" +
                           Work(settings::kSize));
    for (const std::string& wav : {aWav, bWav}) {
        const svtest::WavFacts facts = svtest::ReadWav(wav);
        EXPECT_EQ(facts.rate, 44100) << wav;
        EXPECT_EQ(facts.channels, 2) << wav;
    }
    EXPECT_TRUE(TrelvikStarted());
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(Items().empty());
    EXPECT_TRUE(f->btn_execute->Visible());

    Strings log;
    for (int i = 0; i < FmLogMsg->Log->Lines()->Count(); ++i) {
        const std::string line = FmLogMsg->Log->Lines()->Get(i).substr(17);
        if (line.rfind("[WAV_CD] ", 0) == 0) log.push_back(line.substr(9));
    }
    EXPECT_EQ(log, (Strings{b + "デコード開始", b + "デコード成功", a + "デコード開始",
                            a + "デコード成功", "書込み実行", command}));
}

// A file that cannot be decoded ends the job before anything is handed over; what was decoded
// stays, and the user is told.
TEST_F(DiscForm, ADecodeFailureHandsNothingOver) {
    Ini("[MP3_CD]\nDECWAIT=0\n");
    FakeTrelvik();
    CountingDecoder decoder;
    Show();
    const std::string a = Mp3("a.mp3"), note = (music_ / "note.mp3").string(), c = Mp3("c.mp3");
    std::ofstream(note) << "not sound";
    Drop({a, note, c});
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 2u);
    EXPECT_EQ(dialogs_.Calls[0], (DialogCall{"MessageBox", note + " File Open Error!!",
                                             "ErrorMessage", MB_ICONEXCLAMATION}));
    EXPECT_EQ(dialogs_.Calls[1].Caption, "Error Msg");
    EXPECT_NE(dialogs_.Calls[1].Text.find("[MP3_CD] ■■■■■" + note + "デコード失敗("),
              std::string::npos)
        << dialogs_.Calls[1].Text;
    EXPECT_EQ(decoder.shutDowns, 1);
    EXPECT_TRUE(fs::exists(music_ / "a.wav"));
    EXPECT_FALSE(fs::exists(music_ / "c.wav"));
    EXPECT_FALSE(fs::exists(music_ / "note.wav"));
    ExpectRestoredWithoutHandOver();
    EXPECT_TRUE(Items().empty());
    EXPECT_FALSE(fs::exists(dir_ / "started"));
}

// What the writer would refuse only after the countdown, or Trelvik could not read whole, is
// refused before the hand-over: a WAV of another format (by name) and a list too long, before
// anything is decoded; WAVs that the output settings make in another format, after decoding,
// when they go again.
TEST_F(DiscForm, WavsTheWriterCannotTakeAreRefusedByName) {
    Ini("[MP3_CD]\nDECWAIT=0\n");
    FakeTrelvik();
    Show();
    const std::string a = Mp3("a.mp3"), mono = Wav("mono.wav", 44100, 1);
    Drop({a, mono});
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    EXPECT_EQ(dialogs_.Calls[0].Text.rfind(mono + " はCDに書き込めない形式です", 0), 0u);
    EXPECT_FALSE(fs::exists(music_ / "a.wav"));
    EXPECT_EQ(Items(), (Strings{a, mono}));

    // A list longer than the settings reader gives back whole.
    Show();
    Strings many{a};
    for (int i = 0; i < 20; ++i)
        many.push_back((music_ / (std::string(100, 'x') + std::to_string(i) + ".wav")).string());
    Drop(many);
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "error msg");
    EXPECT_NE(dialogs_.Calls[0].Text.find("2046"), std::string::npos) << dialogs_.Calls[0].Text;
    EXPECT_FALSE(fs::exists(music_ / "a.wav"));

    Ini("[MP3_CD]\nDECWAIT=0\nCONVERT=1\n");
    Show();
    dialogs_.Calls.clear();
    Drop({a, Wav("b.wav")});
    Run();
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0].Text.rfind((music_ / "a.wav").string() + " はCDに", 0), 0u);
    EXPECT_FALSE(fs::exists(music_ / "a.wav"));
    EXPECT_TRUE(fs::exists(music_ / "b.wav"));
    ExpectRestoredWithoutHandOver();
    EXPECT_FALSE(fs::exists(dir_ / "started"));
}

} // namespace
