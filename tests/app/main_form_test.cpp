#include "app/cd_wav_form.h"
#include "app/main_form.h"
#include "app/mp3_cd_form.h"
#include "app/option_form.h"
#include "app/version_form.h"
#include "app/wav_mp3_form.h"
#include "controls/form_panel.h"
#include "controls/shine_button.h"
#include "framework/comctrls.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "tests/app/app_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <vector>

using namespace sv;
using namespace sv::app;
using sv::test::MoveCursorAway;
using sv::test::MoveCursorTo;

namespace {

class MainWindow : public apptest::SonvaleTest {
protected:
    // Each test has an application object of its own: closing the main window or the exit item
    // ends the application, and the next test must not start with one that has ended.
    void SetUp() override {
        Application = &app_;
        apptest::SonvaleTest::SetUp();
    }
    void TearDown() override {
        apptest::SonvaleTest::TearDown();
        Application->ProcessMessages(); // a queued end lands on this test's application
        Application = shared_;
    }

    // main.ini with TITLE, VERSION and `mainKeys` in MAIN, then `otherSections`.
    void Start(const std::string& mainKeys = "", const std::string& otherSections = "") {
        WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n" + mainKeys + otherSections);
        Create();
        FmMain->Show();
    }
    // Makes the forms and notes where the show handler placed the window.
    void Create() {
        CreateSonvaleForms();
        TNotifyEvent show = FmMain->OnShow;
        FmMain->OnShow = [this, show](TObject* sender) {
            show(sender);
            placed_ = Point(FmMain->Left(), FmMain->Top());
        };
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> r;
        for (int i = 1; i <= 8; ++i) r.push_back(FmMain->ModeButton(i)->Caption());
        return r;
    }
    std::vector<int> DownButtons() const {
        std::vector<int> r;
        for (int i = 1; i <= 8; ++i)
            if (FmMain->ModeButton(i)->Down()) r.push_back(i);
        return r;
    }
    void Hover(int button) { MoveCursorTo(FmMain->ModeButton(button), 5, 5); }

    TPoint placed_;

private:
    TApplication* const shared_ = Application;
    TApplication app_{nullptr};
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(MainWindow, ShowsDesignedButtonsAndNothingEmbedded) {
    Start();
    EXPECT_EQ(FmMain->Caption(), "Sonvale  Ver 1.00");
    EXPECT_EQ(Captions(), (Strings{"CD→MP3", "MP3→CD", "WAV→CD", "WAV→MP3", "MP3→WAV", "CD→WAV",
                                   "CD→CD", "設定"}));
    EXPECT_TRUE(DownButtons().empty());
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), nullptr);
    EXPECT_EQ(FmMain->ClientWidth(), 732);
    EXPECT_EQ(FmMain->ClientHeight(), 423);
    EXPECT_EQ(FmMain->BorderStyle(), bsSingle);
}

TEST_F(MainWindow, ThreeMenuEntriesWithNoneGiveAnEmptyButtonThatDoesNothing) {
    Start("", "[MENU]\nITEMS=CD→CD,なし,WAV→MP3\n");
    EXPECT_EQ(Captions(),
              (Strings{"CD→CD", "", "WAV→MP3", "WAV→MP3", "MP3→WAV", "CD→WAV", "CD→CD", "設定"}));

    Hover(1);
    const std::string before = FmMain->StatusBar->SimpleText();
    EXPECT_EQ(before, " CD→CD・・・CD内の曲をバックアップします。※ 曲順の変更が可能です。");
    Hover(2);
    EXPECT_EQ(FmMain->ShineSpeedButton2->Colors()->Color(), kModeButtonHoverColor);
    EXPECT_EQ(FmMain->ShineSpeedButton1->Colors()->Color(), kModeButtonColor);
    EXPECT_TRUE(FmMain->StatusBar->SimplePanel());
    EXPECT_EQ(FmMain->StatusBar->SimpleText(), before);

    sv::test::ClickAt(FmMain->ShineSpeedButton2, 5, 5);
    EXPECT_EQ(DownButtons(), std::vector<int>{2});
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), nullptr);
    EXPECT_EQ(FmCD_WAV->Caption(), "FmCD_WAV");
    EXPECT_EQ(FmMP3_CD->Caption(), "FmMP3_CD");
    EXPECT_EQ(FmWAV_MP3->Caption(), "FmWAV_MP3");
}

TEST_F(MainWindow, OnlySevenOfNineMenuEntriesAreUsed) {
    Start("", "[MENU]\nITEMS=CD→WAV,CD→WAV,MP3→WAV,なし,\"WAV→CD\",CD→MP3,MP3→CD,CD→CD,WAV→MP3\n");
    EXPECT_EQ(Captions(),
              (Strings{"CD→WAV", "CD→WAV", "MP3→WAV", "", "WAV→CD", "CD→MP3", "MP3→CD", "設定"}));
}

TEST_F(MainWindow, MenuItemWithoutItsButtonDoesNothing) {
    Start("", "[MENU]\nITEMS=CD→MP3,MP3→CD,WAV→CD,WAV→MP3,MP3→WAV,CD→WAV,なし\n");
    FmMain->CDCD2->Click();
    EXPECT_TRUE(DownButtons().empty());
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), nullptr);
    EXPECT_EQ(FmCD_WAV->Caption(), "FmCD_WAV");
    EXPECT_TRUE(dialogs_.Calls.empty());
}

TEST_F(MainWindow, MenuItemPressesTheFirstOfTwoButtonsWithItsCaption) {
    Start("", "[MENU]\nITEMS=CD→WAV,MP3→CD,MP3→CD\n");
    FmMP3_CD->SetCaption("FmWAV_CD");
    FmMain->MP3CD1->Click();
    EXPECT_EQ(DownButtons(), std::vector<int>{2});
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmMP3_CD);
    EXPECT_EQ(FmMP3_CD->Caption(), "FmMP3_CD");
    EXPECT_EQ(FmMP3_CD->ModeTag, "[MP3_CD]");

    // The settings item presses button 8 and embeds the settings page.
    FmMain->O1->Click();
    EXPECT_EQ(DownButtons(), std::vector<int>{8});
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmOPTION);
}

TEST_F(MainWindow, HoverTextsAndColours) {
    Start();
    const Strings texts = {
        " CD→MP3・・・CD内の曲をMP3へ変換します。",
        " MP3→CD・・・MP3データをCD-Rに書き込みます。",
        " WAV→CD・・・WAVデータをCD-Rに書き込みます。",
        " WAV→MP3・・・WAVデータをMP3に変換します。",
        " MP3→WAV・・・MP3データをWAVに変換します。",
        " CD→WAV・・・CD内の曲をWAVへ変換します。",
        " CD→CD・・・CD内の曲をバックアップします。※ 曲順の変更が可能です。",
        " 設定・・・設定を変更します。",
    };
    for (int i = 1; i <= 8; ++i) {
        Hover(i);
        EXPECT_EQ(FmMain->ModeButton(i)->Colors()->Color(), 0x00CBECB5u) << i;
        EXPECT_TRUE(FmMain->StatusBar->SimplePanel()) << i;
        EXPECT_EQ(FmMain->StatusBar->SimpleText(), texts[i - 1]);
    }
    MoveCursorAway();
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(FmMain->ModeButton(i)->Colors()->Color(), 0x00D9DEC7u) << i;
        EXPECT_EQ(FmMain->ModeButton(i)->PressedColors()->Color(), 0x009EEBEDu) << i;
    }
    EXPECT_FALSE(FmMain->StatusBar->SimplePanel());
}

TEST_F(MainWindow, EachModeEmbedsItsFormWithItsTags) {
    Start();
    struct Case {
        int button;
        TForm* form;
        std::string formTag;
        std::string modeTag;
    };
    const Case cases[] = {
        {1, FmCD_WAV, "FmCD_MP3", "[CD_MP3]"},    {2, FmMP3_CD, "FmMP3_CD", "[MP3_CD]"},
        {3, FmMP3_CD, "FmWAV_CD", "[WAV_CD]"},    {4, FmWAV_MP3, "FmWAV_MP3", "[WAV_MP3]"},
        {5, FmWAV_MP3, "FmMP3_WAV", "[MP3_WAV]"}, {6, FmCD_WAV, "FmCD_WAV", "[CD_WAV]"},
        {7, FmCD_WAV, "FmCD_CD", "[CD_CD]"},
    };
    for (const Case& c : cases) {
        sv::test::ClickAt(FmMain->ModeButton(c.button), 5, 5);
        EXPECT_EQ(DownButtons(), std::vector<int>{c.button});
        EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), c.form) << c.button;
        EXPECT_EQ(c.form->Caption(), c.formTag);
        EXPECT_EQ(static_cast<TModeForm*>(c.form)->ModeTag, c.modeTag);
    }
}

TEST_F(MainWindow, CdWavThenCdMp3ReshowsTheSameFormWithTheNewTag) {
    Start();
    int shows = 0;
    TNotifyEvent show = FmCD_WAV->OnShow;
    FmCD_WAV->OnShow = [&](TObject* s) {
        ++shows;
        show(s);
    };
    FmMain->WAVMP31->Click(); // "CD→WAV"
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmCD_WAV);
    EXPECT_EQ(FmCD_WAV->Caption(), "FmCD_WAV");
    EXPECT_EQ(FmCD_WAV->ModeTag, "[CD_WAV]");
    EXPECT_EQ(shows, 1);

    FmMain->CDMP31->Click(); // "CD→MP3"
    EXPECT_EQ(FmMain->FmPnl->EmbeddedForm(), FmCD_WAV);
    EXPECT_EQ(FmCD_WAV->Caption(), "FmCD_MP3");
    EXPECT_EQ(FmCD_WAV->ModeTag, "[CD_MP3]");
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(DownButtons(), std::vector<int>{1});
}

TEST_F(MainWindow, ExitItemEndsWithoutClosingAndWritesNothing) {
    Start("LEFT=5\n");
    const std::string before = ReadIni();
    FmMain->SetLeft(300);
    FmMain->C1->Click();
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    // Nor does freeing the forms at the end of the run pass through the close handler.
    FreeSonvaleForms();
    EXPECT_EQ(ReadIni(), before);
    EXPECT_TRUE(dialogs_.Calls.empty());
}

TEST_F(MainWindow, ClosingWritesThePositionEvenWhenUnchanged) {
    Start("LEFT=0x0A\nTOP=0x14\n");
    EXPECT_EQ(placed_, Point(10, 20));
    FmMain->SetBounds(10, 20, FmMain->Width(), FmMain->Height());
    FmMain->WindowCloseRequested();
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("LEFT=10\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("TOP=20\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("0x"), std::string::npos) << ini;
    EXPECT_TRUE(dialogs_.Calls.empty());
}

TEST_F(MainWindow, UnwritableSettingsAtCloseKeepTheWindowOpen) {
    Create();
    std::filesystem::create_directory(IniFile());
    FmMain->Show();
    FmMain->WindowCloseRequested();
    ASSERT_EQ(dialogs_.Texts("MessageBox"), Strings{IniFile().string() + " に書き込めません"});
    Application->ProcessMessages();
    EXPECT_TRUE(FmMain->Visible());
    EXPECT_FALSE(Application->Terminated());

    // Every further attempt fails the same way.
    FmMain->WindowCloseRequested();
    EXPECT_EQ(dialogs_.Texts("MessageBox").size(), 2u);
}

// A main.ini the user made read-only stays as it is, also for root: the close fails with the
// write message and the window stays open; the exit item still ends the program.
TEST_F(MainWindow, ReadOnlySettingsAtCloseStayUntouchedAndKeepTheWindowOpen) {
    Start("LEFT=5\nTOP=6\n");
    const std::string before = ReadIni();
    std::filesystem::permissions(IniFile(), std::filesystem::perms(0444));
    FmMain->SetLeft(300);
    FmMain->WindowCloseRequested();
    EXPECT_EQ(dialogs_.Texts("MessageBox"), Strings{IniFile().string() + " に書き込めません"});
    Application->ProcessMessages();
    EXPECT_TRUE(FmMain->Visible());
    EXPECT_FALSE(Application->Terminated());
    EXPECT_EQ(ReadIni(), before);
    EXPECT_EQ(std::filesystem::status(IniFile()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0444));

    FmMain->C1->Click();
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(ReadIni(), before);
}

TEST_F(MainWindow, WithoutMainSectionTheCaptionIsVersionUnknownAndTheWindowCentred) {
    Create();
    FmMain->Show();
    EXPECT_EQ(FmMain->Caption(), "  Ver ???");
    ASSERT_EQ(FmMain->Width(), 738);
    EXPECT_EQ(placed_.X, 143);
    EXPECT_EQ(placed_.Y, 384 - FmMain->Height() / 2);
}

TEST_F(MainWindow, DefaultPlaceHalvesEachTermTruncating) {
    Create();
    const int height = FmMain->Height();
    struct Case {
        int screenW, screenH;
    };
    for (Case c : {Case{1025, 769}, Case{600, 400}, Case{1, 1}}) {
        Screen->SetSizeOverride(c.screenW, c.screenH);
        FmMain->Hide();
        FmMain->Show();
        EXPECT_EQ(placed_.X, c.screenW / 2 - 369) << c.screenW;
        EXPECT_EQ(placed_.Y, c.screenH / 2 - height / 2) << c.screenH;
    }
    Screen->SetSizeOverride(1024, 768);
    FmMain->Hide();
    FmMain->Show();
    // An odd height shows the halves are taken apart: (768 - h) / 2 would round the other way.
    if (height % 2 == 1) {
        EXPECT_NE(placed_.Y, (768 - height) / 2);
    }
}

// Blanks a hand edit left around the values are no part of them. A place that leaves the title
// bar or more than half the width off the screen (one that was unplugged) starts centred.
TEST_F(MainWindow, StoredPositionIsUsedWhereTheWindowStaysReachable) {
    WriteIni("[MAIN]\nTITLE = Sonvale\t\nVERSION = 2.50 \nLEFT = -369 \nTOP=\t746\n");
    Create();
    FmMain->Show();
    EXPECT_EQ(FmMain->Caption(), "Sonvale  Ver 2.50");
    EXPECT_EQ(placed_, Point(-369, 746));
    for (const TPoint& stored : {Point(-2000, -2000), Point(5000, 5000), Point(-100, -50),
                                 Point(-370, 0), Point(656, 0), Point(0, 747)}) {
        WriteIni("[MAIN]\nLEFT=" + std::to_string(stored.X) + "\nTOP=" + std::to_string(stored.Y));
        FmMain->Hide();
        FmMain->Show();
        EXPECT_EQ(placed_, Point(143, 384 - FmMain->Height() / 2)) << stored.X << "," << stored.Y;
    }
}

TEST_F(MainWindow, AboutBoxShowsTitleAndVersionCentred) {
    Start();
    WriteIni("[MAIN]\nTITLE=Sonvale\nVERSION=1.0\n");
    std::string product, version;
    TPoint place;
    TNotifyEvent show = FmVersion->OnShow;
    FmVersion->OnShow = [&](TObject* sender) {
        show(sender);
        place = Point(FmVersion->Left(), FmVersion->Top());
    };
    dialogs_.OnModal = [&](TForm* form) {
        form->Show();
        product = FmVersion->ProductName->Caption();
        version = FmVersion->Version->Caption();
        sv::test::ClickAt(FmVersion->OKButton, 5, 5);
        form->Hide();
    };
    FmMain->About1->Click();
    ASSERT_EQ(dialogs_.Texts("ShowModal"), Strings{"FmVersion"});
    EXPECT_EQ(product, "Sonvale");
    EXPECT_EQ(version, "Version 1.0");
    EXPECT_EQ(place.X, 512 - FmVersion->Width() / 2);
    EXPECT_EQ(place.Y, 384 - FmVersion->Height() / 2);
    EXPECT_EQ(FmVersion->ModalResult(), mrOk);

    // Read again at every showing: without MAIN the name is empty and the version unknown.
    WriteIni("");
    FmMain->About1->Click();
    EXPECT_EQ(product, "");
    EXPECT_EQ(version, "Version ???");
}

// Enter closes the about box through its default button, wherever the focus is in it.
TEST_F(MainWindow, EnterClosesTheAboutBox) {
    Start();
    TModalResult closedWith = mrNone;
    dialogs_.OnModal = [&](TForm* form) {
        form->Show();
        QWidget* window = form->Window();
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        // The key goes where the focus is; with none, to the form itself.
        QWidget* target = window->focusWidget() ? window->focusWidget() : form->Handle();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        closedWith = form->ModalResult();
        form->Hide();
    };
    FmMain->About1->Click();
    ASSERT_EQ(dialogs_.Texts("ShowModal"), Strings{"FmVersion"});
    EXPECT_EQ(closedWith, mrOk);
}
