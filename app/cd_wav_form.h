#pragma once
// The CD form of the three CD modes ("[CD_WAV]", "[CD_MP3]", "[CD_CD]"): the CD-DA reader's
// drives, the disc's tracks as a list the user edits (rename, delete, reorder), the total
// playing time, the preview of a track and the names the tracks get for a job.
#include "app/cdda_reader.h"
#include "app/mode_forms.h"
#include "app/mode_frame.h"
#include "app/rip.h"

#include <memory>
#include <string>
#include <vector>

namespace sv {
class TComboBox;
class TFlatReferEdit;
class TGogoTea;
class TGradBox;
class TGroupBox;
class TEdit;
class TListBox;
class TMediaPlayer;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TProgressBar;
class TRadioButton;
class TVorsaButton;
} // namespace sv

namespace sv::app {

// Whether a list item and a record belong together: their first 13 characters ("Audio track"
// and the track number) are equal and neither text is empty.
bool TrackPairs(const std::string& item, const std::string& listText);

// The list line of a track: "Audio track02    < 00:03 > 3sec".
std::string TrackListText(int trackNo, int seconds);

class TFmCD_WAV : public TModeJobForm<RipView> {
public:
    explicit TFmCD_WAV(TComponent* owner);
    ~TFmCD_WAV() override;
    std::string ClassName() const override { return "TFmCD_WAV"; }

    TPanel* Panel1 = nullptr;
    TGradBox* GradBox1 = nullptr;
    TLabel* lstr1 = nullptr;
    TGroupBox* gstr1 = nullptr;
    TLabel* lstr2 = nullptr;
    TComboBox* cmb_drive = nullptr;
    TVorsaButton* btn_reload = nullptr;
    TLabel* lstr3 = nullptr;
    TListBox* lst_cd = nullptr;
    TVorsaButton* btn_ue = nullptr;
    TVorsaButton* btn_sita = nullptr;
    TVorsaButton* btn_del = nullptr;
    TVorsaButton* btn_saisei = nullptr;
    TVorsaButton* btn_teisi = nullptr;
    TPanel* pnl_size = nullptr;
    TLabel* lstr4 = nullptr;
    TFlatReferEdit* edt_save = nullptr;
    TLabel* lbl_speed = nullptr;
    TComboBox* cmb_speed = nullptr;
    TGroupBox* gstr2 = nullptr;
    TRadioButton* rdo_base = nullptr;
    TEdit* edt_base = nullptr;
    TRadioButton* rdo_betu = nullptr;
    TPanel* Panel2 = nullptr;
    TLabel* lstr5 = nullptr;
    TGroupBox* gstr3 = nullptr;
    TVorsaButton* btn_execute = nullptr;
    TLabel* lbl_msg = nullptr;
    TLabel* lbl_track = nullptr;
    TProgressBar* prog_main = nullptr;
    TPopupMenu* Pop = nullptr;
    TMenuItem* pop_saisei = nullptr;
    TMenuItem* pop_ichiji = nullptr;
    TMenuItem* pop_teisi = nullptr;
    TMenuItem* pop_del = nullptr;
    TGogoTea* GogoTea = nullptr;
    std::unique_ptr<TMediaPlayer> media_play;

    // The reader's context: one per program (this form exists once), zero at the start.
    CddaContext CddaCtx{};
    TrackRecord TrackTable[kTrackRecords];

    // Read from main.ini on every show, by mode.
    int CdMp3BitRate = 128;
    int CdMp3EncodeType = 2;
    int CdCdBurnProof = 0;

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void PrepareForm();
    void ReadTrackList();
    void ShowTotalTime();
    void cmb_driveChange(TObject* sender);
    void lst_cdDblClick(TObject* sender);
    void lst_cdDrawItem(TWinControl* control, int index, TRect rect, TOwnerDrawState state);
    void lst_cdKeyDown(TObject* sender, int& key, TShiftState shift);
    void btn_delClick(TObject* sender);
    void btn_ueClick(TObject* sender);
    void rdo_baseClick(TObject* sender);
    void edt_saveClick(TObject* sender);
    void btn_saiseiClick(TObject* sender);
    void migiclick(TObject* sender);
    // The job of the mode: its checks, the names, then in the job frame ripping and, by mode,
    // encoding or the hand-over to the disc writer; "Complete" (not for "[CD_CD]") and the
    // disc's list read again.
    void btn_executeClick(TObject* sender);
    // "[CD_MP3]": the ripped tracks (records of the table) to MP3, their WAVs deleted.
    void EncodeTracks(const std::vector<int>& ripped);
    // "[CD_CD]": hands the work files, in the list's order, to Trelvik, which ends the program;
    // never after a rip that did not complete. Work files that do not go over are removed.
    void StartWriter(const RipResult& ripped);
    void GogoTeaProgress(TObject* sender, int nowFrames, int allFrames);

    // The names of the listed tracks for a job, by mode and naming choice.
    void AssignTrackNames();
    // False, after telling the user which and why, when a listed track's file name holds a "/",
    // is longer than the file system takes, or two listed tracks would get one file name.
    bool CheckTrackNames();

    // "[CD_CD]": the work file of each list item, in the list's order.
    std::vector<std::string> WorkFiles() const;

    // The drives of the last scan, in the reader's order (also for the disc-writing form).
    std::vector<std::string> DriveNames() const;

    ModeFrameControls Frame();

    // What ripping asks of the form.
    void SetProgress(int position) override;
    void ShowTrack(int32_t trackNo) override;

private:
    void CreateControls();
    void ClearTrackTable();
    void ApplyModeTexts();
    void ApplyModeLayout();
    void ScanDrives();
    // The first record that pairs with list item `index`, or null (also for index -1).
    TrackRecord* RecordOfItem(int index);
    void PlayTrack();
    // The checks before a job, in their order, each with its message.
    bool CheckJob();
    // The job inside the frame.
    void RunJob();
    // The drive, speed and burn-proof choice of "[CD_CD]".
    WriterChoice Choice() const;
};

} // namespace sv::app
