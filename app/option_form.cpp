#include "app/option_form.h"

#include "app/form_style.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/mode_frame.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "controls/flat_combo.h"
#include "controls/grad_box.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/ini_file.h"
#include "framework/stdctrls.h"
#include "platform/settings_keys.h"

#include <initializer_list>
#include <string_view>
#include <tuple>
#include <vector>

namespace sv::app {

namespace {

namespace keys = settings;

constexpr TColor kOptionButtonColor = 0x00D9DEC7;
constexpr TColor kOptionButtonHotColor = 0x009EEBED;

constexpr std::initializer_list<const char*> kMenuEntries = {
    "CD→MP3", "CD→WAV", "WAV→MP3", "MP3→WAV", "MP3→CD", "WAV→CD", "CD→CD", "なし"};
constexpr std::initializer_list<const char*> kBitRates = {
    "32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320"};
constexpr std::initializer_list<const char*> kEncodeTypes = {
    "モノラル", "ステレオ", "ジョイントステレオ", "MSステレオ", "デュアルチャンネル"};
constexpr std::initializer_list<const char*> kSampleRates = {"44.1"};
constexpr std::initializer_list<const char*> kConversions = {"ステレオ", "モノラル"};
constexpr std::initializer_list<const char*> kSpeeds = {
    "等倍速", "2倍速",  "4倍速",  "6倍速",  "8倍速",  "12倍速", "16倍速",
    "20倍速", "24倍速", "32倍速", "40倍速", "48倍速", "52倍速", "最高速"};

constexpr const char* kBurnProofNote =
    "Burn-Proofに対応していないドライブの場合はチェックを外してください。";
constexpr const char* kManualStartNote = "手動で書込み開始する場合は\"999\"と入力して下さい。";

template <class T> T* Make(TComponent* owner, TWinControl* parent, std::string name) {
    T* control = new T(owner);
    control->SetName(std::move(name));
    control->SetParent(parent);
    return control;
}

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, int number, const char* caption, int left,
                  int top) {
    auto* label = Make<TLabel>(owner, parent, "Label" + std::to_string(number));
    label->SetCaption(caption);
    label->SetLeft(left);
    label->SetTop(top);
    return label;
}

// The red, bold notes under the disc-writing settings.
TLabel* MakeNote(TComponent* owner, TWinControl* parent, int number, const char* caption, int top) {
    TLabel* label = MakeLabel(owner, parent, number, caption, 16, top);
    label->Font()->SetStyle({fsBold});
    label->Font()->SetColor(clRed);
    return label;
}

// A list the user can only pick from.
TComboBox* MakeList(TComponent* owner, TWinControl* parent, std::string name,
                    std::initializer_list<const char*> entries, int left, int top, int width) {
    auto* list = Make<TComboBox>(owner, parent, std::move(name));
    list->SetStyle(csDropDownList);
    list->SetBounds(left, top, width, 20);
    list->SetDropDownCount(static_cast<int>(entries.size()));
    for (const char* entry : entries) list->Items()->Add(entry);
    return list;
}

// The text of the chosen entry; empty when none is chosen.
std::string ChosenText(const TComboBox* list) {
    const int index = list->ItemIndex();
    return index < 0 ? std::string() : list->Items()->Get(index);
}

// Chooses the first entry equal to `text`; without one the list keeps its choice.
void ChooseEqual(TComboBox* list, const std::string& text) {
    for (int i = 0; i < list->Items()->Count(); ++i) {
        if (list->Items()->Get(i) != text) continue;
        list->SetItemIndex(i);
        return;
    }
}

void LoadFolder(const TIniFile& ini, std::string_view section, TFlatReferEdit* field) {
    field->SetText(ini.ReadString(section, keys::kSaveDir, ""));
}

void LoadEncoding(const TIniFile& ini, std::string_view section, TComboBox* bitRate,
                  TComboBox* encodeType) {
    ChooseEqual(bitRate, ini.ReadString(section, keys::kBitRate, keys::kBitRateTextDefault));
    encodeType->SetItemIndex(ini.ReadInteger(section, keys::kEncodeType, keys::kEncodeTypeDefault));
}

void LoadButtons(const TIniFile& ini, std::string_view section, TShineSpeedButton* sameFolder,
                 TShineSpeedButton* deleteSource) {
    sameFolder->SetDown(ini.ReadInteger(section, keys::kSameFolder, keys::kButtonDefault) != 0);
    deleteSource->SetDown(ini.ReadInteger(section, keys::kDeleteSource, keys::kButtonDefault) != 0);
}

void LoadWriting(const TIniFile& ini, std::string_view section, TComboBox* speed,
                 TCheckBox* burnProof, TEdit* wait) {
    speed->SetItemIndex(ini.ReadInteger(section, keys::kSpeed, keys::kSpeedDefault));
    burnProof->SetChecked(ini.ReadInteger(section, keys::kBurnProof, keys::kBurnProofDefault) != 0);
    wait->SetText(ini.ReadString(section, keys::kWait, keys::kWaitTextDefault));
}

// The one supported rate is shown whatever is stored; anything else is reported at each
// showing until a save writes the supported one.
void LoadFreqLimit(const TIniFile& ini, std::string_view section, TComboBox* list) {
    if (ini.ReadInteger(section, keys::kFreqLimit, keys::kFreqLimitDefault) !=
        keys::kFreqLimitDefault)
        Application->MessageBox("サンプリングレートにサポート外の数値が設定されています",
                                "ErrorMessage", MB_OK | MB_ICONEXCLAMATION);
    list->SetItemIndex(0);
}

void SaveFreqLimit(TIniFile& ini, std::string_view section, const TComboBox* list) {
    if (list->ItemIndex() != 0)
        Application->MessageBox("サンプリングレートに例外な数値が入りましたので44.1kHzで登録します",
                                "ErrorMessage", MB_OK | MB_ICONEXCLAMATION);
    ini.WriteInteger(section, keys::kFreqLimit, keys::kFreqLimitDefault);
}

void SaveEncoding(TIniFile& ini, std::string_view section, const TFlatReferEdit* folder,
                  const TComboBox* bitRate, const TComboBox* encodeType) {
    ini.WriteString(section, keys::kSaveDir, folder->Text());
    ini.WriteString(section, keys::kBitRate, ChosenText(bitRate));
    ini.WriteInteger(section, keys::kEncodeType, encodeType->ItemIndex());
}

void SaveButtons(TIniFile& ini, std::string_view section, const TShineSpeedButton* sameFolder,
                 const TShineSpeedButton* deleteSource) {
    ini.WriteInteger(section, keys::kSameFolder, sameFolder->Down() ? 1 : 0);
    ini.WriteInteger(section, keys::kDeleteSource, deleteSource->Down() ? 1 : 0);
}

void SaveWriting(TIniFile& ini, std::string_view section, const TComboBox* speed,
                 const TCheckBox* burnProof, const TEdit* wait) {
    ini.WriteInteger(section, keys::kSpeed, speed->ItemIndex());
    ini.WriteInteger(section, keys::kBurnProof, burnProof->Checked() ? 1 : 0);
    ini.WriteString(section, keys::kWait, wait->Text());
}

// The rows the tabs share, made under `tab` and named after the tab's short name (cw, cm,
// wm, mw, mc, cc) and the number of their first label.

std::tuple<TLabel*, TFlatReferEdit*> MakeFolderRows(TFmOPTION* form, TWinControl* tab, int label,
                                                    const std::string& mode) {
    TLabel* caption = MakeLabel(form, tab, label, "初期保存ディレクトリ", 16, 16);
    auto* field = Make<TFlatReferEdit>(form, tab, "edt_" + mode + "_save");
    field->SetBounds(16, 34, 320, 21);
    field->SetReadonly(true);
    field->SetBorderColor(clSilver);
    field->SetLostFocusAtCancel(false);
    field->SetSorted(false);
    field->OnClick = [form](TObject* sender) { form->saveClick(sender); };
    return {caption, field};
}

std::tuple<TLabel*, TComboBox*, TLabel*, TLabel*, TComboBox*>
MakeEncodingRows(TFmOPTION* form, TWinControl* tab, int label, const std::string& mode) {
    return {MakeLabel(form, tab, label, "ビットレート", 16, 74),
            MakeList(form, tab, "cmb_" + mode + "_bitrate", kBitRates, 112, 70, 64),
            MakeLabel(form, tab, label + 1, "kbps", 182, 74),
            MakeLabel(form, tab, label + 2, "エンコードタイプ", 16, 106),
            MakeList(form, tab, "cmb_" + mode + "_enctype", kEncodeTypes, 112, 102, 140)};
}

// The same-folder and delete-source buttons: each alone in its group on its tab, so each is
// an on/off toggle of its own.
std::tuple<TLabel*, TShineSpeedButton*, TShineSpeedButton*>
MakeButtonRows(TFmOPTION* form, TWinControl* tab, int label, const std::string& mode, int top) {
    auto button = [&](const std::string& name, const char* caption, int left, int group) {
        auto* b = Make<TShineSpeedButton>(form, tab, name);
        b->SetBounds(left, top + 18, 160, 25);
        b->SetCaption(caption);
        b->SetGroupIndex(group);
        b->SetAllowAllUp(true);
        b->Colors()->SetColor(kOptionButtonColor);
        b->PressedColors()->SetColor(kOptionButtonHotColor);
        SetDesignFont(b->Font());
        SetDesignFont(b->ActiveFont());
        b->ActiveFont()->SetStyle({fsBold});
        b->ActiveFont()->SetColor(clHighlight);
        b->OnMouseEnter = [form](TObject* sender, TShiftState shift, int x, int y) {
            form->btn_ent(sender, shift, x, y);
        };
        b->OnMouseLeave = [form](TObject* sender, TShiftState shift, int x, int y) {
            form->btn_lve(sender, shift, x, y);
        };
        return b;
    };
    return {MakeLabel(form, tab, label, "初期ボタン状態", 16, top),
            button("btn_" + mode + "_onaji", "同じ場所に保存する", 16, 1),
            button("btn_" + mode + "_moto", "元のファイルは削除する", 184, 2)};
}

std::tuple<TLabel*, TComboBox*, TLabel*, TLabel*, TComboBox*>
MakeDecodingRows(TFmOPTION* form, TWinControl* parent, int label, const std::string& mode, int left,
                 int top) {
    return {
        MakeLabel(form, parent, label, "サンプリングレート", left, top + 4),
        MakeList(form, parent, "cmb_" + mode + "_sample", kSampleRates, left + 104, top, 56),
        MakeLabel(form, parent, label + 1, "kHz", left + 166, top + 4),
        MakeLabel(form, parent, label + 2, "コンバート", left, top + 36),
        MakeList(form, parent, "cmb_" + mode + "_conv", kConversions, left + 104, top + 32, 100)};
}

std::tuple<TLabel*, TComboBox*, TLabel*, TCheckBox*, TLabel*, TEdit*, TLabel*, TLabel*, TLabel*>
MakeWritingRows(TFmOPTION* form, TWinControl* tab, int label, const std::string& mode) {
    auto* burnProof = Make<TCheckBox>(form, tab, "chk_" + mode + "_burn");
    burnProof->SetBounds(168, 50, 100, 17);
    burnProof->SetCaption("使用する");
    auto* wait = Make<TEdit>(form, tab, "edt_" + mode + "_auto");
    wait->SetBounds(168, 80, 48, 21);
    return {MakeLabel(form, tab, label, "書込み速度初期値", 16, 20),
            MakeList(form, tab, "cmb_" + mode + "_speed", kSpeeds, 168, 16, 100),
            MakeLabel(form, tab, label + 1, "Burn-Proof", 16, 52),
            burnProof,
            MakeLabel(form, tab, label + 2, "自動書込み待ち時間（秒）", 16, 84),
            wait,
            MakeLabel(form, tab, label + 3, "秒", 222, 84),
            MakeNote(form, tab, label + 4, kBurnProofNote, 124),
            MakeNote(form, tab, label + 5, kManualStartNote, 144)};
}

} // namespace

TFmOPTION::TFmOPTION(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName(std::string(kFmOPTION));
    SetCaption(std::string(kFmOPTION));
    SetBounds(0, 0, 732, 388);
    SetColor(clBtnFace);
    SetDesignFont(Font());
    OnShow = [this](TObject* sender) { FormShow(sender); };
    CreateControls();
    EndLoading();
}

TFmOPTION::~TFmOPTION() {
    BeginDestruction();
}

void TFmOPTION::CreateControls() {
    Panel1 = Make<TPanel>(this, this, "Panel1");
    Panel1->SetBounds(0, 0, 732, 25);
    Panel1->SetAlign(alTop);
    Panel1->SetCaption("");
    GradBox1 = Make<TGradBox>(this, Panel1, "GradBox1");
    GradBox1->SetAlign(alClient);
    GradBox1->SetStartColor(clBlack);
    GradBox1->SetEndColor(clWhite);
    GradBox1->SetGradStep(128);
    GradBox1->SetDirection(gdHorizontal);
    Lbl1 = Make<TLabel>(this, Panel1, "Lbl1");
    Lbl1->SetCaption("設定");
    Lbl1->SetLeft(8);
    Lbl1->SetTop(6);
    Lbl1->Font()->SetColor(clAqua);
    Lbl1->Font()->SetHeight(-13);
    Lbl1->SetTransparent(true);

    PageControl1 = Make<TPageControl>(this, this, "PageControl1");
    PageControl1->SetBounds(8, 32, 716, 280);
    CreateMenuTab();
    CreateEncodeTabs();
    CreateDecodeTab();
    CreateWriteTabs();
    PageControl1->SetActivePage(TabSheet1);

    btn_save = Make<TVorsaButton>(this, this, "btn_save");
    btn_save->SetBounds(604, 320, 120, 40);
    btn_save->SetCaption("保　存");
    SetDesignFont(btn_save->Font(), -15);
    btn_save->SetColor(kPushButtonColor);
    btn_save->SetCapFixed(true);
    btn_save->SetFocusline(true);
    btn_save->SetCapOffsetH(0);
    btn_save->SetCapOffsetV(0);
    btn_save->SetFrameColor(clWindowFrame);
    btn_save->SetEdgeHighlight(clBtnHighlight);
    btn_save->SetEdgeShadow(clBtnShadow);
    btn_save->OnClick = [this](TObject* sender) { btn_saveClick(sender); };
    btn_save->OnMouseEnter = [this](TObject* sender) { save_ent(sender); };
    btn_save->OnMouseLeave = [this](TObject* sender) { save_lve(sender); };
}

TTabSheet* TFmOPTION::MakeTab(const char* name, const char* caption) {
    auto* tab = new TTabSheet(this);
    tab->SetName(name);
    tab->SetCaption(caption);
    tab->SetPageControl(PageControl1);
    return tab;
}

void TFmOPTION::CreateMenuTab() {
    TabSheet1 = MakeTab("TabSheet1", "全般");
    Label31 = MakeLabel(this, TabSheet1, 31, "メニュー", 16, 14);
    TLabel** labels[] = {&Label32, &Label33, &Label34, &Label35, &Label36, &Label37, &Label38};
    TComboBox** lists[] = {&cmb_menu1, &cmb_menu2, &cmb_menu3, &cmb_menu4,
                           &cmb_menu5, &cmb_menu6, &cmb_menu7};
    for (int i = 0; i < kConfigurableButtons; ++i) {
        const int top = 36 + i * 28;
        const std::string number = std::to_string(i + 1);
        *labels[i] = MakeLabel(this, TabSheet1, 32 + i, number.c_str(), 28, top + 4);
        *lists[i] = MakeList(this, TabSheet1, "cmb_menu" + number, kMenuEntries, 44, top, 120);
    }
}

void TFmOPTION::CreateEncodeTabs() {
    tab_cw = MakeTab("tab_cw", "CD→WAV");
    std::tie(Label1, edt_cw_save) = MakeFolderRows(this, tab_cw, 1, "cw");

    tab_cm = MakeTab("tab_cm", "CD→MP3");
    std::tie(Label2, edt_cm_save) = MakeFolderRows(this, tab_cm, 2, "cm");
    std::tie(Label3, cmb_cm_bitrate, Label4, Label5, cmb_cm_enctype) =
        MakeEncodingRows(this, tab_cm, 3, "cm");

    tab_wm = MakeTab("tab_wm", "WAV→MP3");
    std::tie(Label6, edt_wm_save) = MakeFolderRows(this, tab_wm, 6, "wm");
    std::tie(Label7, cmb_wm_bitrate, Label8, Label9, cmb_wm_enctype) =
        MakeEncodingRows(this, tab_wm, 7, "wm");
    std::tie(Label10, btn_wm_onaji, btn_wm_moto) = MakeButtonRows(this, tab_wm, 10, "wm", 142);
}

void TFmOPTION::CreateDecodeTab() {
    tab_mw = MakeTab("tab_mw", "MP3→WAV");
    std::tie(Label11, edt_mw_save) = MakeFolderRows(this, tab_mw, 11, "mw");
    std::tie(Label12, btn_mw_onaji, btn_mw_moto) = MakeButtonRows(this, tab_mw, 12, "mw", 74);
    std::tie(Label25, cmb_mw_sample, Label26, Label27, cmb_mw_conv) =
        MakeDecodingRows(this, tab_mw, 25, "mw", 16, 134);
}

void TFmOPTION::CreateWriteTabs() {
    tab_mc = MakeTab("tab_mc", "MP3→CD , WAV→CD");
    std::tie(Label13, cmb_mc_speed, Label14, chk_mc_burn, Label15, edt_mc_auto, Label16, Label17,
             Label18) = MakeWritingRows(this, tab_mc, 13, "mc");
    GroupBox1 = Make<TGroupBox>(this, tab_mc, "GroupBox1");
    GroupBox1->SetBounds(380, 8, 300, 88);
    GroupBox1->SetCaption("デコード設定");
    std::tie(Label28, cmb_mc_sample, Label29, Label30, cmb_mc_conv) =
        MakeDecodingRows(this, GroupBox1, 28, "mc", 12, 20);

    tab_cc = MakeTab("tab_cc", "CD→CD");
    std::tie(Label19, cmb_cc_speed, Label20, chk_cc_burn, Label21, edt_cc_auto, Label22, Label23,
             Label24) = MakeWritingRows(this, tab_cc, 19, "cc");
}

TComboBox* TFmOPTION::MenuList(int number) const {
    TComboBox* const lists[] = {cmb_menu1, cmb_menu2, cmb_menu3, cmb_menu4,
                                cmb_menu5, cmb_menu6, cmb_menu7};
    if (number < 1 || number > kConfigurableButtons) return nullptr;
    return lists[number - 1];
}

void TFmOPTION::FormShow(TObject* /*sender*/) {
    LoadSettings();
}

void TFmOPTION::btn_saveClick(TObject* /*sender*/) {
    SaveSettings();
}

void TFmOPTION::LoadSettings() {
    const TIniFile ini(IniPath());
    const std::vector<std::string> items =
        MenuItemEntries(ini.ReadString(keys::kMenu, keys::kItems, ""));
    // A list the file gives no entry, or one that names none of its entries, starts at what
    // its button shows, so a save keeps the buttons as the user sees them.
    for (int i = 0; i < kConfigurableButtons; ++i) {
        if (i < static_cast<int>(items.size()) && NamesMenuItem(items[i]))
            ChooseEqual(MenuList(i + 1), items[i]);
        else if (FmMain)
            ChooseEqual(MenuList(i + 1), FmMain->MenuItemShown(i + 1));
    }

    LoadFolder(ini, keys::kCdWav, edt_cw_save);
    LoadFolder(ini, keys::kCdMp3, edt_cm_save);
    LoadEncoding(ini, keys::kCdMp3, cmb_cm_bitrate, cmb_cm_enctype);

    LoadFolder(ini, keys::kWavMp3, edt_wm_save);
    LoadEncoding(ini, keys::kWavMp3, cmb_wm_bitrate, cmb_wm_enctype);
    LoadButtons(ini, keys::kWavMp3, btn_wm_onaji, btn_wm_moto);

    LoadFolder(ini, keys::kMp3Wav, edt_mw_save);
    LoadButtons(ini, keys::kMp3Wav, btn_mw_onaji, btn_mw_moto);

    LoadWriting(ini, keys::kMp3Cd, cmb_mc_speed, chk_mc_burn, edt_mc_auto);
    LoadWriting(ini, keys::kCdCd, cmb_cc_speed, chk_cc_burn, edt_cc_auto);

    LoadFreqLimit(ini, keys::kMp3Wav, cmb_mw_sample);
    LoadFreqLimit(ini, keys::kMp3Cd, cmb_mc_sample);

    cmb_mw_conv->SetItemIndex(
        ini.ReadInteger(keys::kMp3Wav, keys::kConvert, keys::kConvertDefault));
    cmb_mc_conv->SetItemIndex(ini.ReadInteger(keys::kMp3Cd, keys::kConvert, keys::kConvertDefault));
}

void TFmOPTION::SaveSettings() {
    TIniFile ini(IniPath());
    ini.WriteString(keys::kCdWav, keys::kSaveDir, edt_cw_save->Text());
    SaveEncoding(ini, keys::kCdMp3, edt_cm_save, cmb_cm_bitrate, cmb_cm_enctype);

    SaveEncoding(ini, keys::kWavMp3, edt_wm_save, cmb_wm_bitrate, cmb_wm_enctype);
    SaveButtons(ini, keys::kWavMp3, btn_wm_onaji, btn_wm_moto);

    ini.WriteString(keys::kMp3Wav, keys::kSaveDir, edt_mw_save->Text());
    SaveButtons(ini, keys::kMp3Wav, btn_mw_onaji, btn_mw_moto);

    SaveWriting(ini, keys::kMp3Cd, cmb_mc_speed, chk_mc_burn, edt_mc_auto);
    SaveWriting(ini, keys::kCdCd, cmb_cc_speed, chk_cc_burn, edt_cc_auto);

    SaveFreqLimit(ini, keys::kMp3Wav, cmb_mw_sample);
    SaveFreqLimit(ini, keys::kMp3Cd, cmb_mc_sample);

    ini.WriteInteger(keys::kMp3Wav, keys::kConvert, cmb_mw_conv->ItemIndex());
    ini.WriteInteger(keys::kMp3Cd, keys::kConvert, cmb_mc_conv->ItemIndex());

    // Joined as they stand, unquoted: an unchosen list leaves its entry empty.
    std::string items;
    for (int i = 1; i <= kConfigurableButtons; ++i) {
        if (i > 1) items += ',';
        items += ChosenText(MenuList(i));
    }
    ini.WriteString(keys::kMenu, keys::kItems, items);

    // The buttons follow what the file now says, not the lists.
    if (FmMain) FmMain->ApplyMenuItems(ini.ReadString(keys::kMenu, keys::kItems, ""));
}

void TFmOPTION::saveClick(TObject* sender) {
    auto* field = dynamic_cast<TFlatReferEdit*>(sender);
    if (!field) return;
    std::string folder;
    // No folder named is no choice: an empty path would make the save folder the root.
    if (!SelectDirectory("ディレクトリ選択", "", folder) || folder.empty()) return;
    field->SetText(folder + "/");
}

void TFmOPTION::btn_ent(TObject* sender, TShiftState, int, int) {
    if (auto* button = dynamic_cast<TShineSpeedButton*>(sender))
        button->Colors()->SetColor(kOptionButtonHotColor);
}

void TFmOPTION::btn_lve(TObject* sender, TShiftState, int, int) {
    if (auto* button = dynamic_cast<TShineSpeedButton*>(sender))
        button->Colors()->SetColor(kOptionButtonColor);
}

void TFmOPTION::save_ent(TObject* sender) {
    PushButtonEnter(sender);
}

void TFmOPTION::save_lve(TObject* sender) {
    PushButtonLeave(sender);
}

} // namespace sv::app
