// The settings page embedded in the main window: what it shows from main.ini, what its save
// writes, and what the main window and the mode pages make of it.
#include "app/main_form.h"
#include "app/option_form.h"
#include "app/wav_mp3_form.h"
#include "controls/flat_combo.h"
#include "controls/form_panel.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "platform/profile.h"
#include "tests/app/app_fixture.h"

using namespace sv;
using namespace sv::app;
using sv::test::ClickAt;
using sv::test::MoveCursorAway;
using sv::test::MoveCursorTo;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

const Strings kDesigned = {"CD→MP3",  "MP3→CD", "WAV→CD", "WAV→MP3",
                           "MP3→WAV", "CD→WAV", "CD→CD",  "設定"};

class SettingsPage : public apptest::SonvaleTest {
protected:
    // main.ini with TITLE and VERSION and the given sections; no file for nullopt.
    void Start(std::optional<std::string> sections) {
        if (sections) WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n" + *sections);
        CreateSonvaleForms();
        FmMain->Show();
        ShowPage();
    }
    // As the user does: the settings button.
    void ShowPage() { ClickAt(FmMain->ShineSpeedButton8, 5, 5); }
    void Save() { ClickAt(FmOPTION->btn_save, 5, 5); }
    std::string Key(const char* section, const std::string& key) const {
        return platform::ReadProfileRaw(IniFile().string(), section, key).value_or("<none>");
    }
    Strings Keys(const char* section, const Strings& keys) const {
        Strings r;
        for (const std::string& key : keys) r.push_back(Key(section, key));
        return r;
    }
    Strings Captions() const {
        Strings r;
        for (int i = 1; i <= 8; ++i) r.push_back(FmMain->ModeButton(i)->Caption());
        return r;
    }
    Strings MenuTexts() const {
        Strings r;
        for (int i = 1; i <= 7; ++i) r.push_back(FmOPTION->MenuList(i)->Text());
        return r;
    }
    Strings MessageTexts() const { return dialogs_.Texts("MessageBox"); }
};

} // namespace

TEST_F(SettingsPage, ShippedSettingsShowTheDesignedCaptionsAndASaveKeepsThem) {
    fs::copy_file(fs::path(SV_SOURCE_DIR) / "data" / "main.ini", IniFile());
    Start(std::nullopt);
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmOPTION);
    EXPECT_EQ(MenuTexts(), Strings(kDesigned.begin(), kDesigned.end() - 1));

    FmOPTION->edt_cw_save->SetText("/music/");
    Save();
    EXPECT_EQ(Key("CD_WAV", "SAVEDIR"), "/music/");
    EXPECT_EQ(Key("MENU", "ITEMS"), "CD→MP3,MP3→CD,WAV→CD,WAV→MP3,MP3→WAV,CD→WAV,CD→CD");
    EXPECT_EQ(Captions(), kDesigned);
}

TEST_F(SettingsPage, WithoutAFileEveryValueShowsItsDefaultAndASaveKeepsTheButtons) {
    Start(std::nullopt);
    const TFmOPTION* p = FmOPTION;
    EXPECT_EQ((Strings{p->edt_wm_save->Text(), p->cmb_cm_bitrate->Text(), p->cmb_wm_enctype->Text(),
                       p->cmb_cc_speed->Text(), p->cmb_mc_sample->Text(), p->cmb_mw_conv->Text(),
                       p->edt_mc_auto->Text()}),
              (Strings{"", "128", "ジョイントステレオ", "等倍速", "44.1", "ステレオ", "30"}));
    EXPECT_FALSE(p->chk_cc_burn->Checked() || p->btn_mw_moto->Down());
    // The menu lists start at the buttons' captions.
    EXPECT_EQ(MenuTexts(), Strings(kDesigned.begin(), kDesigned.end() - 1));
    EXPECT_TRUE(dialogs_.Calls.empty());
    EXPECT_FALSE(fs::exists(IniFile()));

    // A button left without a caption by an earlier save shows as "なし".
    FmMain->ShineSpeedButton2->SetCaption("");
    ShowPage();
    EXPECT_EQ(MenuTexts()[1], "なし");
    Save();
    EXPECT_EQ(Key("MENU", "ITEMS"), "CD→MP3,なし,WAV→CD,WAV→MP3,MP3→WAV,CD→WAV,CD→CD");
    EXPECT_EQ(Captions(),
              (Strings{"CD→MP3", "", "WAV→CD", "WAV→MP3", "MP3→WAV", "CD→WAV", "CD→CD", "設定"}));
}

TEST_F(SettingsPage, MenuListsWithoutAChoiceSaveEmptyEntries) {
    Start("[MENU]\nITEMS=CD→CD,なし,WAV→MP3\n");
    EXPECT_EQ(MenuTexts(),
              (Strings{"CD→CD", "なし", "WAV→MP3", "WAV→MP3", "MP3→WAV", "CD→WAV", "CD→CD"}));
    FmOPTION->MenuList(4)->SetItemIndex(-1);
    Save();
    EXPECT_EQ(Key("MENU", "ITEMS"), "CD→CD,なし,WAV→MP3,,MP3→WAV,CD→WAV,CD→CD");
    EXPECT_EQ(Captions(),
              (Strings{"CD→CD", "", "WAV→MP3", "", "MP3→WAV", "CD→WAV", "CD→CD", "設定"}));

    for (int i = 1; i <= 6; ++i) FmOPTION->MenuList(i)->SetItemIndex(1); // CD→WAV
    FmOPTION->MenuList(7)->SetItemIndex(-1);
    Save();
    // The comma that ends the value stands for no entry: button 7 keeps its caption.
    EXPECT_EQ(Key("MENU", "ITEMS"), "CD→WAV,CD→WAV,CD→WAV,CD→WAV,CD→WAV,CD→WAV,");
    EXPECT_EQ(Captions()[6], "CD→CD");
    // The next start reads the value the same way.
    FreeSonvaleForms();
    CreateSonvaleForms();
    FmMain->Show();
    EXPECT_EQ(Captions(), (Strings{"CD→WAV", "CD→WAV", "CD→WAV", "CD→WAV", "CD→WAV", "CD→WAV",
                                   "CD→CD", "設定"}));
}

// An entry that names no menu item is as good as none: its button keeps its caption, which the
// list starts at and a save writes; an empty entry leaves the button blank, as "なし" does.
TEST_F(SettingsPage, MenuEntriesThatNameNoItemKeepTheButtonsCaptions) {
    Start("[MENU]\nITEMS=FOO,cd→mp3,WAV→CD,,なし,設定\n");
    const Strings shown = {"CD→MP3", "MP3→CD", "WAV→CD", "", "", "CD→WAV", "CD→CD", "設定"};
    EXPECT_EQ(Captions(), shown);
    EXPECT_EQ(MenuTexts(),
              (Strings{"CD→MP3", "MP3→CD", "WAV→CD", "なし", "なし", "CD→WAV", "CD→CD"}));
    Save();
    EXPECT_EQ(Key("MENU", "ITEMS"), "CD→MP3,MP3→CD,WAV→CD,なし,なし,CD→WAV,CD→CD");
    EXPECT_EQ(Captions(), shown);
}

TEST_F(SettingsPage, ValuesOutsideTheListsSaveBackAsThePageSeesThem) {
    Start("[WAV_MP3]\nBTNONAJI=5\nBTNMOTODEL=0x10\nENCODETYPE=7\nBITRATE=0x80\n"
          "[MP3_CD]\nSPEED=20\nCONVERT=2\nWAIT=abc\nBURNPROOF=-1\n");
    EXPECT_TRUE(FmOPTION->btn_wm_onaji->Down());
    EXPECT_TRUE(FmOPTION->btn_wm_moto->Down());
    EXPECT_EQ(FmOPTION->cmb_wm_enctype->ItemIndex(), -1);
    EXPECT_EQ(FmOPTION->cmb_wm_bitrate->ItemIndex(), -1);
    EXPECT_EQ(FmOPTION->cmb_wm_bitrate->Text(), "");
    EXPECT_EQ(FmOPTION->edt_mc_auto->Text(), "abc");

    Save();
    EXPECT_EQ(Keys("WAV_MP3", {"BTNONAJI", "BTNMOTODEL", "ENCODETYPE", "BITRATE"}),
              (Strings{"1", "1", "-1", ""}));
    EXPECT_EQ(Keys("MP3_CD", {"SPEED", "CONVERT", "WAIT", "BURNPROOF"}),
              (Strings{"-1", "-1", "abc", "1"}));
    EXPECT_EQ(Keys("CD_MP3", {"BITRATE", "ENCODETYPE"}), (Strings{"128", "2"}));
}

// A file edited by hand with blanks around the values: the page and the mode page read the
// values, and a save that touches nothing writes them back as they were meant.
TEST_F(SettingsPage, BlanksAroundHandEditedValuesAreNoPartOfThem) {
    Start("[WAV_MP3]\nSAVEDIR = /music/ \nBITRATE = 192\nENCODETYPE = 1 \n"
          "[MP3_CD]\nWAIT = 25 \nSPEED =\t3\n[CD_WAV]\nSAVEDIR=\"/sp dir \"\n");
    EXPECT_EQ((Strings{FmOPTION->edt_wm_save->Text(), FmOPTION->cmb_wm_bitrate->Text(),
                       FmOPTION->cmb_wm_enctype->Text(), FmOPTION->edt_mc_auto->Text(),
                       FmOPTION->cmb_mc_speed->Text()}),
              (Strings{"/music/", "192", "ステレオ", "25", "6倍速"}));
    Save();
    EXPECT_EQ(Keys("WAV_MP3", {"SAVEDIR", "BITRATE", "ENCODETYPE"}),
              (Strings{"/music/", "192", "1"}));
    EXPECT_EQ(Keys("MP3_CD", {"WAIT", "SPEED"}), (Strings{"25", "3"}));
    EXPECT_EQ(Key("CD_WAV", "SAVEDIR"), "\"/sp dir \""); // blanks inside quotes stay

    WriteIni("[WAV_MP3]\nSAVEDIR = /music/ \nBITRATE = 192\nENCODETYPE = 1 \n");
    ClickAt(FmMain->ShineSpeedButton4, 5, 5); // WAV→MP3
    EXPECT_EQ(FmWAV_MP3->edt_save->Text(), "/music/");
    EXPECT_EQ(FmWAV_MP3->BITRATE, 192);
    EXPECT_EQ(FmWAV_MP3->ENCODETYPE, 1);
}

TEST_F(SettingsPage, AStoredValueWithoutAnEqualEntryKeepsTheEarlierChoice) {
    Start("[CD_MP3]\nBITRATE=192\n[MENU]\nITEMS=MP3→CD\n");
    EXPECT_EQ(FmOPTION->cmb_cm_bitrate->Text(), "192");
    WriteIni("[CD_MP3]\nBITRATE=193\n[MENU]\nITEMS=mp3→cd\n");
    FmMain->O1->Click(); // the settings page again
    EXPECT_EQ(FmOPTION->cmb_cm_bitrate->Text(), "192");
    EXPECT_EQ(FmOPTION->cmb_menu1->Text(), "MP3→CD");
}

TEST_F(SettingsPage, AnUnsupportedSamplingRateIsToldAtEveryShowingUntilSaved) {
    Start("[MP3_WAV]\nFREQLIMIT=22050\n[MP3_CD]\nFREQLIMIT=44100\n");
    const std::string text = "サンプリングレートにサポート外の数値が設定されています";
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0], (sv::test::DialogCall{"MessageBox", text, "ErrorMessage", 0x30}));
    EXPECT_EQ(FmOPTION->cmb_mw_sample->Text(), "44.1");

    ClickAt(FmMain->ShineSpeedButton4, 5, 5);
    ShowPage();
    EXPECT_EQ(MessageTexts(), Strings(2, text));

    Save();
    EXPECT_EQ(Key("MP3_WAV", "FREQLIMIT"), "44100");
    EXPECT_EQ(Key("MP3_CD", "FREQLIMIT"), "44100");
    ShowPage();
    EXPECT_EQ(MessageTexts().size(), 2u);
}

TEST_F(SettingsPage, LeavingWithoutSavingWritesNothingAndTheNextShowingReloads) {
    Start("[WAV_MP3]\nSAVEDIR=/a/\nBITRATE=64\n[MENU]\nITEMS=CD→WAV\n");
    const std::string before = ReadIni();
    FmOPTION->edt_wm_save->SetText("/b/");
    FmOPTION->cmb_wm_bitrate->SetItemIndex(0);
    FmOPTION->cmb_menu1->SetItemIndex(0);
    FmOPTION->edt_cc_auto->SetText("5");
    ClickAt(FmMain->ShineSpeedButton4, 5, 5);
    EXPECT_EQ(ReadIni(), before);

    ShowPage();
    EXPECT_EQ(FmOPTION->edt_wm_save->Text(), "/a/");
    EXPECT_EQ(FmOPTION->cmb_wm_bitrate->Text(), "64");
    EXPECT_EQ(FmOPTION->cmb_menu1->Text(), "CD→WAV");
    EXPECT_EQ(FmOPTION->edt_cc_auto->Text(), "30");
    EXPECT_EQ(ReadIni(), before);
}

TEST_F(SettingsPage, AFailingWriteKeepsTheKeysBeforeItAndTheCaptions) {
    Start("[MENU]\nITEMS=CD→WAV\n");
    FmOPTION->cmb_menu1->SetItemIndex(6); // CD→CD
    FmOPTION->edt_cw_save->SetText("/cw/");
    // A folder name may hold a line break; the settings file cannot.
    FmOPTION->edt_wm_save->SetText("/odd\nname/");
    Save();
    EXPECT_EQ(MessageTexts(), Strings{IniFile().string() + " に書き込めません"});
    EXPECT_EQ(Keys("CD_WAV", {"SAVEDIR"}), Strings{"/cw/"});
    EXPECT_EQ(Keys("CD_MP3", {"SAVEDIR", "ENCODETYPE"}), (Strings{"", "2"}));
    EXPECT_EQ(Keys("WAV_MP3", {"SAVEDIR", "BITRATE"}), (Strings{"<none>", "<none>"}));
    EXPECT_EQ(Keys("MENU", {"ITEMS"}), Strings{"CD→WAV"});
    EXPECT_EQ(Captions()[0], "CD→WAV");
}

TEST_F(SettingsPage, TheFolderDialogSetsTheFieldOnlyForAFolder) {
    Start("[CD_MP3]\nSAVEDIR=/old/\n");
    TFlatReferEdit* field = FmOPTION->edt_cm_save;
    auto browse = [&] { FmOPTION->saveClick(field); };
    dialogs_.Folders = {std::nullopt, std::string(), std::string("/music"), std::string("/")};
    browse();
    EXPECT_EQ(field->Text(), "/old/") << "cancelled";
    browse();
    EXPECT_EQ(field->Text(), "/old/") << "no folder named";
    browse();
    EXPECT_EQ(field->Text(), "/music/");
    browse();
    EXPECT_EQ(field->Text(), "//");
    ASSERT_EQ(dialogs_.Calls.size(), 4u);
    EXPECT_EQ(dialogs_.Calls[0].Caption, "ディレクトリ選択");

    // The field's browse button is what the user presses.
    dialogs_.Folders = {std::string("/x")};
    FmOPTION->PageControl1->SetActivePage(FmOPTION->tab_cm);
    FmOPTION->edt_cm_save->ButtonPart()->Click();
    EXPECT_EQ(field->Text(), "/x/");
}

TEST_F(SettingsPage, OptionButtonsToggleOnTheirOwnAndTurnUnderTheCursor) {
    Start(std::string());
    FmOPTION->PageControl1->SetActivePage(FmOPTION->tab_wm);
    ClickAt(FmOPTION->btn_wm_onaji, 5, 5);
    ClickAt(FmOPTION->btn_wm_moto, 5, 5);
    FmOPTION->PageControl1->SetActivePage(FmOPTION->tab_mw);
    ClickAt(FmOPTION->btn_mw_onaji, 5, 5);
    EXPECT_TRUE(FmOPTION->btn_wm_onaji->Down());
    EXPECT_TRUE(FmOPTION->btn_wm_moto->Down());
    EXPECT_TRUE(FmOPTION->btn_mw_onaji->Down());
    EXPECT_FALSE(FmOPTION->btn_mw_moto->Down());

    MoveCursorTo(FmOPTION->btn_mw_moto, 5, 5);
    EXPECT_EQ(FmOPTION->btn_mw_moto->Colors()->Color(), 0x009EEBEDu);
    MoveCursorAway();
    EXPECT_EQ(FmOPTION->btn_mw_moto->Colors()->Color(), 0x00D9DEC7u);

    ClickAt(FmOPTION->btn_mw_onaji, 5, 5);
    EXPECT_FALSE(FmOPTION->btn_mw_onaji->Down());
    Save();
    EXPECT_EQ(Keys("WAV_MP3", {"BTNONAJI", "BTNMOTODEL"}), (Strings{"1", "1"}));
    EXPECT_EQ(Keys("MP3_WAV", {"BTNONAJI", "BTNMOTODEL"}), (Strings{"0", "0"}));
}

TEST_F(SettingsPage, SavedDefaultsReachTheButtonsAndTheNextModePage) {
    Start("[MENU]\nITEMS=CD→MP3,MP3→CD,WAV→CD,WAV→MP3,MP3→WAV,CD→WAV,CD→CD\n");
    FmOPTION->cmb_menu1->SetItemIndex(2); // WAV→MP3
    FmOPTION->cmb_menu4->SetItemIndex(7); // なし
    FmOPTION->edt_wm_save->SetText("/out/");
    FmOPTION->cmb_wm_bitrate->SetItemIndex(10); // 192
    FmOPTION->cmb_wm_enctype->SetItemIndex(0);
    FmOPTION->btn_wm_moto->SetDown(true);
    FmOPTION->cmb_mw_conv->SetItemIndex(1);
    FmOPTION->cmb_cc_speed->SetItemIndex(13);
    FmOPTION->chk_cc_burn->SetChecked(true);
    FmOPTION->edt_cc_auto->SetText("999");
    Save();
    EXPECT_EQ(Captions(),
              (Strings{"WAV→MP3", "MP3→CD", "WAV→CD", "", "MP3→WAV", "CD→WAV", "CD→CD", "設定"}));
    EXPECT_EQ(Keys("CD_CD", {"SPEED", "BURNPROOF", "WAIT"}), (Strings{"13", "1", "999"}));

    ClickAt(FmMain->ShineSpeedButton1, 5, 5); // now WAV→MP3
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmWAV_MP3);
    EXPECT_EQ(FmWAV_MP3->edt_save->Text(), "/out/");
    EXPECT_EQ(FmWAV_MP3->BITRATE, 192);
    EXPECT_EQ(FmWAV_MP3->ENCODETYPE, 0);
    EXPECT_FALSE(FmWAV_MP3->btn_onaji->Down());
    EXPECT_TRUE(FmWAV_MP3->btn_moto_del->Down());
    ClickAt(FmMain->ShineSpeedButton5, 5, 5);
    EXPECT_EQ(FmWAV_MP3->CONVERT, 1);
}
