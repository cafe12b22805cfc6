// The CD form over the real reader on a generated disc image (a data track, then three audio
// tracks) and over the scripted reader: the list lines and their records, editing the list, the
// total time, the preview, the names for a job and the main window's drive notices.
#include "app/job_frame.h"
#include "app/main_form.h"
#include "controls/flat_combo.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "tests/app/cd_form_fixture.h"
#include "tests/framework/media_player_double.h"

namespace {

using namespace sv;
using namespace sv::app;
using apptest::CdForm;
using apptest::Strings;

const std::string kLine2 = "Audio track02    < 00:03 > 3sec";
const std::string kLine3 = "Audio track03    < 00:02 > 2sec";
const std::string kLine4 = "Audio track04    < 00:01 > 1sec";

TEST_F(CdForm, ImageTracksAreListedAfterTheDataTrack) {
    Show();
    EXPECT_EQ(Items(), (Strings{kLine2, kLine3, kLine4}));
    EXPECT_EQ(States(), (std::vector<int>{0, 1, 1, 1, 0}));
    EXPECT_EQ(form_->TrackTable[0].ListText, "");
    EXPECT_EQ(form_->TrackTable[1].TrackNo, 2);
    EXPECT_EQ(form_->TrackTable[1].ListText, kLine2);
    EXPECT_EQ(form_->TrackTable[2].Seconds, 2); // 160 sectors, whole seconds
    EXPECT_EQ(form_->pnl_size->Caption(), "00:06");
    EXPECT_EQ(form_->edt_save->Text(), "/out/");
    EXPECT_TRUE(dialogs_.Calls.empty());

    const Strings log = Log();
    const Strings tail(log.end() - 8, log.end());
    EXPECT_EQ(tail, (Strings{"[CD_WAV] TOC ok", "[CD_WAV] 00000000 01 ", "[CD_WAV] 0000012c 02 ",
                             "[CD_WAV] " + kLine2, "[CD_WAV] 0000020d 03 ", "[CD_WAV] " + kLine3,
                             "[CD_WAV] 000002ad 04 ", "[CD_WAV] " + kLine4}));
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "[CD_WAV] find_drive" +
                            std::string(form_->cmb_drive->ItemIndex() < 10 ? "0" : "") +
                            std::to_string(form_->cmb_drive->ItemIndex()) + " disc.cue (I:0:0)"),
              log.end());
}

// The drive goes while the name is asked (the dialog lets the notice through): the answer has no
// line left to go to, and nothing is written where the line was.
class RemovalDuringQuestion : public test::ScriptedDialogs {
public:
    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override {
        TMessage removal{WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0, 0};
        FmMain->WMDeviceChange(removal);
        return ScriptedDialogs::InputQuery(caption, prompt, value);
    }
};

TEST_F(CdForm, ADriveGoneWhileANameIsAskedLeavesTheListAlone) {
    Show();
    Select({1}, 1);
    {
        RemovalDuringQuestion dialogs;
        dialogs.Inputs = {std::string("second")};
        EXPECT_NO_THROW(form_->lst_cdDblClick(form_->lst_cd));
        EXPECT_EQ(dialogs.Calls.size(), 1u);
    }
    SetDialogService(&dialogs_);
    EXPECT_EQ(form_->lst_cd->Count(), 0);
    EXPECT_TRUE(form_->rdo_betu->Checked());
    EXPECT_EQ(form_->TrackTable[2].FileName, "");
}

TEST_F(CdForm, RenameDeleteAndMoveFindTheirRecords) {
    Show();
    // Rename the second line: the records keep their places, the item shows the name.
    Select({1}, 1);
    dialogs_.Inputs = {std::string("second")};
    form_->lst_cdDblClick(form_->lst_cd);
    ASSERT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_EQ(dialogs_.Calls[0], (test::DialogCall{"InputQuery", "ファイル名", kLine3, 0}));
    EXPECT_EQ(form_->TrackTable[2].FileName, "second");
    EXPECT_EQ(form_->lst_cd->Items()->Get(1), kLine3 + "   [second]");
    EXPECT_TRUE(form_->rdo_betu->Checked());
    // Cancel keeps the name; the empty name shows the plain line again.
    form_->lst_cdDblClick(form_->lst_cd);
    EXPECT_EQ(form_->TrackTable[2].FileName, "second");
    dialogs_.Inputs = {std::string("")};
    form_->lst_cdDblClick(form_->lst_cd);
    EXPECT_EQ(form_->lst_cd->Items()->Get(1), kLine3);
    dialogs_.Inputs = {std::string("second")};
    form_->lst_cdDblClick(form_->lst_cd);

    // Moving: the first up and the last down change nothing; the renamed line goes down.
    const Strings before = Items();
    Select({0}, 0);
    form_->btn_ueClick(form_->btn_ue);
    Select({2}, 2);
    form_->btn_ueClick(form_->btn_sita);
    EXPECT_EQ(Items(), before);
    Select({1}, 1);
    form_->btn_ueClick(form_->btn_sita);
    EXPECT_EQ(Items(), (Strings{kLine2, kLine4, kLine3 + "   [second]"}));
    EXPECT_TRUE(form_->lst_cd->Selected(2));
    form_->btn_ueClick(form_->btn_ue);
    EXPECT_EQ(Items(), (Strings{kLine2, kLine3 + "   [second]", kLine4}));
    EXPECT_EQ(States(), (std::vector<int>{0, 1, 1, 1, 0}));

    // Delete the renamed track and the first: only track 4 stays listed, and it counts alone.
    Select({0, 1}, 1);
    int del = VK_DELETE;
    form_->lst_cdKeyDown(form_->lst_cd, del, {});
    EXPECT_EQ(Items(), (Strings{kLine4}));
    EXPECT_EQ(States(), (std::vector<int>{2, 2, 2, 1, 2}));
    EXPECT_EQ(form_->pnl_size->Caption(), "00:01");
    Select({0}, 0);
    form_->migiclick(form_->pop_del);
    EXPECT_EQ(form_->pnl_size->Caption(), "");

    // "再読込" brings all back, names lost.
    form_->cmb_driveChange(form_->btn_reload);
    EXPECT_EQ(Items(), (Strings{kLine2, kLine3, kLine4}));
    EXPECT_EQ(form_->TrackTable[2].FileName, "");
}

TEST_F(CdForm, NoItemAtTheCaretIsNoItem) {
    Show();
    form_->lst_cd->SetItemIndex(-1);
    form_->rdo_base->SetChecked(true);
    form_->lst_cdDblClick(form_->lst_cd);
    EXPECT_TRUE(form_->rdo_betu->Checked());
    form_->btn_saiseiClick(form_->btn_saisei);
    EXPECT_EQ(dialogs_.Texts(), (Strings{"サウンドデータが選択されていません"}));
    EXPECT_FALSE(form_->btn_teisi->Enabled());
    EXPECT_EQ(form_->media_play->DeviceID(), 0u);
}

TEST_F(CdForm, NamesForAJobAndTheirDuplicates) {
    Show();
    form_->edt_base->SetText("disc");
    form_->AssignTrackNames();
    EXPECT_EQ(form_->TrackTable[1].FileName, "disc_02");
    EXPECT_EQ(form_->TrackTable[3].FileName, "disc_04");
    EXPECT_EQ(form_->TrackTable[0].FileName, "");
    EXPECT_TRUE(form_->CheckTrackNames());
    form_->edt_base->SetText("../esc"); // out of the save folder
    form_->AssignTrackNames();
    EXPECT_FALSE(form_->CheckTrackNames());

    // Per-track names: two alike are refused before anything is made.
    form_->rdo_betu->SetChecked(true);
    form_->TrackTable[1].FileName = "a";
    form_->TrackTable[2].FileName = "b";
    form_->TrackTable[3].FileName = "a";
    form_->AssignTrackNames();
    EXPECT_EQ(form_->TrackTable[2].FileName, "b");
    EXPECT_FALSE(form_->CheckTrackNames());
    EXPECT_EQ(dialogs_.Texts().back(),
              "トラック02とトラック04のファイル名「a」が同じです。別々の名前を指定して下さい。");
    // A removed track does not count; two unnamed tracks do.
    form_->TrackTable[3].State = TrackRecord::Removed;
    EXPECT_TRUE(form_->CheckTrackNames());
    // A file name takes 255 bytes, ".wav" included, also in a save folder without its "/".
    form_->edt_save->SetText("/out/x");
    form_->TrackTable[1].FileName = std::string(251, 'a');
    EXPECT_TRUE(form_->CheckTrackNames());
    form_->TrackTable[1].FileName += 'a';
    EXPECT_FALSE(form_->CheckTrackNames());
    EXPECT_EQ(
        dialogs_.Texts().back(),
        "トラック02のファイル名が長すぎます(256バイト、255バイトまで)。短い名前を指定して下さい。");
    form_->TrackTable[1].FileName = "";
    form_->TrackTable[2].FileName = "";
    EXPECT_FALSE(form_->CheckTrackNames());

    form_->SetCaption("FmCD_CD");
    form_->FormShow(form_);
    form_->AssignTrackNames();
    EXPECT_EQ(form_->TrackTable[1].FileName, "Audiotrack02");
}

TEST_F(CdForm, ModesSwitchLayoutAndSettings) {
    WriteIni("[MAIN]\nTITLE=Sonvale\n[CD_CD]\nSPEED=4\nBURNPROOF=1\n"
             "[WORK]\nWRITEDIR=x\nDELDIR=y\nMODE=CD_CD\n[CD_MP3]\nSAVEDIR=/mp3/\nBITRATE=192\n");
    Show("FmCD_CD");
    EXPECT_TRUE(form_->cmb_speed->Visible());
    EXPECT_FALSE(form_->edt_save->Visible());
    EXPECT_EQ(form_->gstr3->Top(), 96);
    EXPECT_EQ(form_->lst_cd->Left(), 24);
    EXPECT_EQ(form_->cmb_speed->Text(), "8倍速");
    EXPECT_EQ(form_->CdCdBurnProof, 1);
    // A hand-over left from an earlier run is forgotten.
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("WRITEDIR=\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("MODE=\n"), std::string::npos) << ini;

    Show("FmCD_MP3");
    EXPECT_FALSE(form_->pnl_size->Visible());
    EXPECT_TRUE(form_->rdo_base->Visible());
    EXPECT_EQ(form_->gstr3->Top(), 248);
    EXPECT_EQ(form_->lst_cd->Left(), 8);
    EXPECT_EQ(form_->CdMp3BitRate, 192);
    EXPECT_EQ(form_->edt_save->Text(), "/mp3/");
}

TEST_F(CdForm, PreviewPlaysTheTrackDigitallyAndARemovalEndsIt) {
    svtest::MediaOutputLog output;
    svtest::RecordingMediaOutputs outputs(output);
    Show();
    Select({1}, 1);
    form_->btn_saiseiClick(form_->btn_saisei);
    EXPECT_EQ(output.calls, (Strings{"LoadPcm", "Play"}));
    // From track 3 to the end of the disc's audio.
    std::vector<uint8_t> expected = tracks_[2].bytes;
    expected.insert(expected.end(), tracks_[3].bytes.begin(), tracks_[3].bytes.end());
    EXPECT_TRUE(output.pcm == expected);
    EXPECT_TRUE(form_->btn_teisi->Enabled());
    EXPECT_TRUE(form_->pop_teisi->Enabled());
    EXPECT_EQ(form_->media_play->Position(), 525 * 1000 / 75);

    // Pause and resume through the pop-up menu; stop through the button.
    form_->migiclick(form_->pop_ichiji);
    EXPECT_EQ(form_->pop_saisei->Caption(), "再開(&S)");
    form_->migiclick(form_->pop_saisei);
    EXPECT_EQ(output.calls.back(), "Play");
    EXPECT_EQ(output.calls.size(), 4u); // no new stream for a resume

    // The drive goes: the player is closed without a stop, the list cleared, the records kept.
    TMessage removal{WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0, 0};
    output.calls.clear();
    FmMain->WMDeviceChange(removal);
    EXPECT_EQ(output.calls, (Strings{"Unload"}));
    EXPECT_EQ(form_->media_play->DeviceID(), 0u);
    EXPECT_FALSE(form_->btn_teisi->Enabled());
    EXPECT_EQ(form_->lst_cd->Count(), 0);
    EXPECT_EQ(form_->TrackTable[1].State, TrackRecord::Listed);
}

TEST_F(CdForm, DriveChangesDuringAJobWaitForItsEnd) {
    Show();
    TMessage removal{WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0, 0};
    TMessage arrival{WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, 0};
    {
        JobRunningScope job;
        FmMain->WMDeviceChange(removal);
        FmMain->WMDeviceChange(removal);
        EXPECT_EQ(form_->lst_cd->Count(), 3);
        FmMain->ApplyHeldDeviceChanges(); // still running: nothing
        EXPECT_EQ(form_->lst_cd->Count(), 3);
    }
    FmMain->ApplyHeldDeviceChanges();
    EXPECT_EQ(form_->lst_cd->Count(), 0);

    // Held in order: the arrival after the removal rescans.
    {
        JobRunningScope job;
        FmMain->WMDeviceChange(removal);
        FmMain->WMDeviceChange(arrival);
    }
    FmMain->ApplyHeldDeviceChanges();
    EXPECT_EQ(Items(), (Strings{kLine2, kLine3, kLine4}));
    FmMain->ApplyHeldDeviceChanges(); // nothing is applied twice
}

TEST_F(CdForm, ScriptedReaderLengthsSessionsAndDrives) {
    UseFake();
    Call<void (*)(int32_t)>("fakecdda_set_drives")(3);
    // 250 s and 125 s.
    FakeTracks({1, 1}, {0, 18750, 28125});
    Call<void (*)(int32_t, int32_t, int32_t, int32_t)>("fakecdda_set_multisession")(1, 2, 3,
                                                                                    0x2bc0);
    FmLogMsg->Log->Lines()->Clear();
    form_->SetCaption("FmCD_WAV");
    form_->FormShow(form_);
    EXPECT_EQ(Items(),
              (Strings{"Audio track01    < 04:10 > 250sec", "Audio track02    < 02:05 > 125sec"}));
    EXPECT_EQ(form_->pnl_size->Caption(), "06:15");
    EXPECT_EQ(form_->cmb_drive->Items()->Count(), 3);
    EXPECT_EQ(form_->cmb_drive->ItemIndex(), 0);
    EXPECT_EQ(Log(),
              (Strings{"[CD_WAV] CD-ROM Device Num = 3", "[CD_WAV] find_drive00 FAKE DRIVE (0:0:0)",
                       "[CD_WAV] find_drive01 FAKE DRIVE (1:0:0)",
                       "[CD_WAV] find_drive02 FAKE DRIVE (2:0:0)", "[CD_WAV] TOC ok",
                       "[CD_WAV] CD-TYPE = Multi Session", "[CD_WAV] Session 1-2",
                       "[CD_WAV] Session change track 3", "[CD_WAV] Session address 2bc0",
                       "[CD_WAV] 00000000 01 ", "[CD_WAV] Audio track01    < 04:10 > 250sec",
                       "[CD_WAV] 0000493e 02 ", "[CD_WAV] Audio track02    < 02:05 > 125sec"}));

    // A track whose length comes out negative empties everything.
    FakeTracks({1, 4, 1}, {0, 18750, 100, 28125});
    form_->cmb_driveChange(form_->cmb_drive);
    EXPECT_EQ(form_->lst_cd->Count(), 0);
    EXPECT_EQ(States(), (std::vector<int>{0, 0, 0, 0, 0}));

    // A failed scan is reported, releases the reader and keeps the drives and the list.
    FakeTracks({1}, {0, 750});
    form_->cmb_driveChange(form_->cmb_drive);
    Call<void (*)(int32_t)>("fakecdda_set_scan_status")(-150);
    Call<void (*)()>("fakecdda_clear_log")();
    form_->FormShow(form_);
    EXPECT_EQ(dialogs_.Calls.size(), 1u);
    EXPECT_TRUE(dialogs_.Calls[0].Text.ends_with("[CD_WAV] CD/DVDデバイスが存在しません"));
    char calls[256] = {};
    Call<size_t (*)(char*, size_t)>("fakecdda_log")(calls, sizeof calls);
    EXPECT_STREQ(calls, "ReaderScanDrives\nReaderRelease\n");
    EXPECT_EQ(form_->cmb_drive->Items()->Count(), 3);
    EXPECT_EQ(Items(), (Strings{"Audio track01    < 00:10 > 10sec"}));
}

} // namespace
