#pragma once
// The disc-writing form of "[MP3_CD]" and "[WAV_CD]": MP3 and WAV files in the order of the
// tracks on the disc, the drive and the speed; its job decodes the MP3s to WAV files beside
// them, hands the write over to Trelvik through main.ini and ends Sonvale.
#include "app/conv_jobs.h"
#include "app/mode_forms.h"
#include "app/mode_frame.h"
#include "app/writer_command.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv {
class TComboBox;
class TDropDst;
class TGradBox;
class TGroupBox;
class TListBox;
class TMediaPlayer;
class TMenuItem;
class TOpenDialog;
class TPanel;
class TPopupMenu;
class TProgressBar;
class TStrings;
class TVorsaButton;
} // namespace sv

namespace sv::app {

class TFmMP3_CD : public TModeJobForm<ConvJobView> {
public:
    explicit TFmMP3_CD(TComponent* owner);
    ~TFmMP3_CD() override;
    std::string ClassName() const override { return "TFmMP3_CD"; }

    TPanel* Panel1 = nullptr;
    TGradBox* GradBox1 = nullptr;
    TLabel* lstr1 = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TLabel* lstr2 = nullptr;
    TLabel* Label3 = nullptr;
    TPanel* pnl_size = nullptr;
    TLabel* Label4 = nullptr;
    TListBox* lst_mp3 = nullptr;
    TVorsaButton* btn_add = nullptr;
    TVorsaButton* btn_del = nullptr;
    TVorsaButton* btn_saisei = nullptr;
    TVorsaButton* btn_teisi = nullptr;
    TVorsaButton* btn_ue = nullptr;
    TVorsaButton* btn_sita = nullptr;
    TLabel* Label1 = nullptr;
    TComboBox* cmb_drive = nullptr;
    TLabel* Label6 = nullptr;
    TComboBox* cmb_speed = nullptr;
    TLabel* Label9 = nullptr;
    TGroupBox* gstr2 = nullptr;
    TVorsaButton* btn_execute = nullptr;
    TLabel* lbl_msg = nullptr;
    TLabel* lbl_track = nullptr;
    TProgressBar* prog_main = nullptr;
    TLabel* lbl_filename1 = nullptr;
    TLabel* lbl_filename2 = nullptr;
    TLabel* lbl_bitrate1 = nullptr;
    TLabel* lbl_bitrate2 = nullptr;
    TLabel* lbl_enctype1 = nullptr;
    TLabel* lbl_enctype2 = nullptr;
    TPopupMenu* Pop = nullptr;
    TMenuItem* pop_saisei = nullptr;
    TMenuItem* pop_ichiji = nullptr;
    TMenuItem* pop_teisi = nullptr;
    TMenuItem* pop_del = nullptr;
    TDropDst* drop = nullptr;
    TOpenDialog* open_dlg = nullptr;
    std::unique_ptr<TMediaPlayer> media_play;

    // Read from section MP3_CD of main.ini on every show.
    int CONVERT = 0;
    int FREQLIMIT = 44100;
    int DECWAIT = 300;
    int BURNPROOF = 0;

    void FormShow(TObject* sender);
    void InitForm();
    void dropFileDrop(TObject* sender, TStrings* files, int x, int y);
    void btn_addClick(TObject* sender);
    void btn_updownClick(TObject* sender);
    void btn_executeClick(TObject* sender);
    void ShowTotalTime();
    void lst_mp3DrawItem(TWinControl* control, int index, TRect rect, TOwnerDrawState state);
    void lst_mp3KeyDown(TObject* sender, int& key, TShiftState shift);
    void btn_delClick(TObject* sender);
    void btn_saiseiClick(TObject* sender);
    void migiClick(TObject* sender);

    // The drives the CD form found, for the drive combo; the first is chosen.
    void SetDriveNames(const std::vector<std::string>& names);

    // The decode step never deletes a source.
    bool DeleteSourceDown() const override { return false; }

    ModeFrameControls Frame();

private:
    void CreateControls();
    std::vector<std::string> Items() const;
    bool Listed(const std::string& path) const;
    void AddItem(const std::string& path);
    // After every change of the list's items: the scrolling extent and the total time follow.
    void ItemsChanged();
    ConvSettings Settings() const;
    WriterChoice Choice() const;
    // The checks that need no decoding, made before anything changes.
    bool CheckDiscJob(const std::vector<std::string>& items);
    // Decodes the MP3s that have no WAV beside them; `made` gets the WAVs it wrote. False when
    // an item failed: the job ends there.
    bool DecodeToWav(const std::vector<std::string>& items, std::vector<std::string>& made);
    // Hands the write over with `made` as the files to delete after it. True when Trelvik was
    // started with the section armed; false when nothing went over.
    bool StartWriter(const std::vector<std::string>& items, const std::vector<std::string>& made);
};

} // namespace sv::app
