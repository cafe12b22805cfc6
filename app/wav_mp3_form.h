#pragma once
// The WAV and MP3 conversion form: WAV files to MP3 through the encoder component ("[WAV_MP3]")
// and MP3 files to WAV through the decoder library ("[MP3_WAV]").
#include "app/conv_jobs.h"
#include "app/mode_forms.h"
#include "app/mode_frame.h"

#include <memory>
#include <string>

namespace sv {
class TDropDst;
class TFlatReferEdit;
class TGogoTea;
class TGradBox;
class TGroupBox;
class TListBox;
class TMediaPlayer;
class TMenuItem;
class TOpenDialog;
class TPanel;
class TPopupMenu;
class TProgressBar;
class TShineSpeedButton;
class TStrings;
class TVorsaButton;
} // namespace sv

namespace sv::app {

class TFmWAV_MP3 : public TModeJobForm<ConvJobView> {
public:
    explicit TFmWAV_MP3(TComponent* owner);
    ~TFmWAV_MP3() override;
    std::string ClassName() const override { return "TFmWAV_MP3"; }

    TPanel* Panel1 = nullptr;
    TGradBox* GradBox1 = nullptr;
    TLabel* lstr1 = nullptr;
    TGroupBox* gstr1 = nullptr;
    TLabel* lstr2 = nullptr;
    TListBox* lst_wav = nullptr;
    TVorsaButton* btn_add = nullptr;
    TVorsaButton* btn_del = nullptr;
    TVorsaButton* btn_saisei = nullptr;
    TVorsaButton* btn_teisi = nullptr;
    TLabel* lstr3 = nullptr;
    TFlatReferEdit* edt_save = nullptr;
    TShineSpeedButton* btn_onaji = nullptr;
    TLabel* lstr4 = nullptr;
    TShineSpeedButton* btn_moto_del = nullptr;
    TGroupBox* gstr2 = nullptr;
    TVorsaButton* btn_execute = nullptr;
    TProgressBar* prog_main = nullptr;
    TLabel* lbl_msg = nullptr;
    TLabel* lbl_track = nullptr;
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
    TGogoTea* GogoTea = nullptr;
    std::unique_ptr<TMediaPlayer> media_play;

    // Read from main.ini on every show.
    int BITRATE = 128;
    int ENCODETYPE = 2;
    int CONVERT = 0;
    int FREQLIMIT = 44100;
    int DECWAIT = 300;

    void FormShow(TObject* sender);
    void PrepareForm();
    void dropFileDrop(TObject* sender, TStrings* files, int x, int y);
    void btn_addClick(TObject* sender);
    void ItemsChanged();
    void edt_saveClick(TObject* sender);
    void btn_executeClick(TObject* sender);
    void GogoTeaProgress(TObject* sender, int nowFrames, int allFrames);
    void lst_wavDrawItem(TWinControl* control, int index, TRect rect, TOwnerDrawState state);
    void lst_wavKeyDown(TObject* sender, int& key, TShiftState shift);
    void btn_delClick(TObject* sender);
    void btn_saiseiClick(TObject* sender);
    void migiClick(TObject* sender);

    // What the job loops ask of the form besides its progress area.
    bool DeleteSourceDown() const override;

    ModeFrameControls Frame();

private:
    void CreateControls();
    ConvSettings Settings() const;
    bool Listed(const std::string& path) const;
};

} // namespace sv::app
