#pragma once
// The settings page "設定": every user default of main.ini on seven tabs, loaded at each
// showing and written back by its save button. Embedded in the main window like a mode page.
#include "framework/forms.h"

#include <string>

namespace sv {
class TCheckBox;
class TComboBox;
class TEdit;
class TFlatReferEdit;
class TGradBox;
class TGroupBox;
class TIniFile;
class TLabel;
class TPageControl;
class TPanel;
class TShineSpeedButton;
class TTabSheet;
class TVorsaButton;
} // namespace sv

namespace sv::app {

class TFmOPTION : public TForm {
public:
    explicit TFmOPTION(TComponent* owner);
    ~TFmOPTION() override;
    std::string ClassName() const override { return "TFmOPTION"; }

    TPanel* Panel1 = nullptr;
    TGradBox* GradBox1 = nullptr;
    TLabel* Lbl1 = nullptr;
    TPageControl* PageControl1 = nullptr;
    TVorsaButton* btn_save = nullptr;

    // 全般
    TTabSheet* TabSheet1 = nullptr;
    TLabel *Label31 = nullptr, *Label32 = nullptr, *Label33 = nullptr, *Label34 = nullptr,
           *Label35 = nullptr, *Label36 = nullptr, *Label37 = nullptr, *Label38 = nullptr;
    TComboBox *cmb_menu1 = nullptr, *cmb_menu2 = nullptr, *cmb_menu3 = nullptr,
              *cmb_menu4 = nullptr, *cmb_menu5 = nullptr, *cmb_menu6 = nullptr,
              *cmb_menu7 = nullptr;

    // CD→WAV
    TTabSheet* tab_cw = nullptr;
    TLabel* Label1 = nullptr;
    TFlatReferEdit* edt_cw_save = nullptr;

    // CD→MP3
    TTabSheet* tab_cm = nullptr;
    TLabel *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    TFlatReferEdit* edt_cm_save = nullptr;
    TComboBox *cmb_cm_bitrate = nullptr, *cmb_cm_enctype = nullptr;

    // WAV→MP3
    TTabSheet* tab_wm = nullptr;
    TLabel *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr,
           *Label10 = nullptr;
    TFlatReferEdit* edt_wm_save = nullptr;
    TComboBox *cmb_wm_bitrate = nullptr, *cmb_wm_enctype = nullptr;
    TShineSpeedButton *btn_wm_onaji = nullptr, *btn_wm_moto = nullptr;

    // MP3→WAV
    TTabSheet* tab_mw = nullptr;
    TLabel *Label11 = nullptr, *Label12 = nullptr, *Label25 = nullptr, *Label26 = nullptr,
           *Label27 = nullptr;
    TFlatReferEdit* edt_mw_save = nullptr;
    TShineSpeedButton *btn_mw_onaji = nullptr, *btn_mw_moto = nullptr;
    TComboBox *cmb_mw_sample = nullptr, *cmb_mw_conv = nullptr;

    // MP3→CD , WAV→CD
    TTabSheet* tab_mc = nullptr;
    TLabel *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr, *Label16 = nullptr,
           *Label17 = nullptr, *Label18 = nullptr, *Label28 = nullptr, *Label29 = nullptr,
           *Label30 = nullptr;
    TComboBox* cmb_mc_speed = nullptr;
    TCheckBox* chk_mc_burn = nullptr;
    TEdit* edt_mc_auto = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TComboBox *cmb_mc_sample = nullptr, *cmb_mc_conv = nullptr;

    // CD→CD
    TTabSheet* tab_cc = nullptr;
    TLabel *Label19 = nullptr, *Label20 = nullptr, *Label21 = nullptr, *Label22 = nullptr,
           *Label23 = nullptr, *Label24 = nullptr;
    TComboBox* cmb_cc_speed = nullptr;
    TCheckBox* chk_cc_burn = nullptr;
    TEdit* edt_cc_auto = nullptr;

    // cmb_menu1 to cmb_menu7 by number (1 to 7).
    TComboBox* MenuList(int number) const;

    void FormShow(TObject* sender);
    void btn_saveClick(TObject* sender);
    void LoadSettings();
    // Writes every value, then gives the main window's buttons their captions. A write that
    // fails raises the framework's exception; the keys written before it stay written.
    void SaveSettings();
    void saveClick(TObject* sender);
    void btn_ent(TObject* sender, TShiftState shift, int x, int y);
    void btn_lve(TObject* sender, TShiftState shift, int x, int y);
    void save_ent(TObject* sender);
    void save_lve(TObject* sender);

private:
    void CreateControls();
    void CreateMenuTab();
    void CreateEncodeTabs();
    void CreateDecodeTab();
    void CreateWriteTabs();
    TTabSheet* MakeTab(const char* name, const char* caption);
};

} // namespace sv::app
