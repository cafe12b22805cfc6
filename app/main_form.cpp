#include "app/main_form.h"

#include "app/cd_wav_form.h"
#include "app/cdda_reader.h"
#include "app/form_style.h"
#include "app/forms.h"
#include "app/mode_forms.h"
#include "app/modes.h"
#include "app/program_paths.h"
#include "app/version_form.h"
#include "controls/form_panel.h"
#include "controls/grad_box.h"
#include "controls/shine_button.h"
#include "controls/vorsa_button.h"
#include "framework/comctrls.h"
#include "framework/dialogs.h"
#include "framework/extctrls.h"
#include "framework/ini_file.h"
#include "framework/media_player.h"
#include "framework/menus.h"
#include "framework/stdctrls.h"
#include "framework/strings.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "platform/settings_keys.h"

namespace sv::app {

namespace {

constexpr int kModeButtonWidth = 84;
constexpr int kSettingsButtonWidth = 55;

} // namespace

TFmMain::TFmMain(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName(std::string(kFmMain));
    SetCaption("Audioエンコーダ");
    SetBorderStyle(bsSingle);
    SetBorderIcons({biSystemMenu, biMinimize});
    SetDesignFont(Font());
    SetClientWidth(732);
    SetClientHeight(423);
    OnShow = [this](TObject* sender) { FormShow(sender); };
    OnClose = [this](TObject* sender, TCloseAction& action) { FormClose(sender, action); };
    OnCloseQuery = [](TObject*, bool& canClose) { canClose = !TModeForm::JobRunning(); };

    Panel3 = new TPanel(this);
    Panel3->SetName("Panel3");
    Panel3->SetParent(this);
    Panel3->SetAlign(alTop);
    Panel3->SetHeight(33);
    Panel3->SetBevelInner(bvLowered);
    Panel3->SetCaption("");

    GradBox1 = new TGradBox(this);
    GradBox1->SetName("GradBox1");
    GradBox1->SetParent(Panel3);
    GradBox1->SetAlign(alClient);
    GradBox1->SetStartColor(0x00FF8000);
    GradBox1->SetEndColor(clWhite);
    GradBox1->SetGradStep(128);
    GradBox1->SetDirection(gdHorizontal);

    TShineSpeedButton** fields[kModeButtonCount] = {
        &ShineSpeedButton1, &ShineSpeedButton2, &ShineSpeedButton3, &ShineSpeedButton4,
        &ShineSpeedButton5, &ShineSpeedButton6, &ShineSpeedButton7, &ShineSpeedButton8};
    // Inside the panel's two bevels.
    int left = 2;
    for (int i = 0; i < kModeButtonCount; ++i) {
        auto* b = new TShineSpeedButton(this);
        *fields[i] = b;
        b->SetName("ShineSpeedButton" + std::to_string(i + 1));
        b->SetParent(Panel3);
        int width = i < kConfigurableButtons ? kModeButtonWidth : kSettingsButtonWidth;
        b->SetBounds(left, 2, width, 29);
        left += width;
        b->SetCaption(std::string(ModeRows()[i].caption));
        b->SetGroupIndex(1);
        b->Colors()->SetColor(kModeButtonColor);
        b->PressedColors()->SetColor(kModeButtonPressedColor);
        SetDesignFont(b->Font());
        SetDesignFont(b->ActiveFont());
        b->ActiveFont()->SetStyle({fsBold});
        b->ActiveFont()->SetColor(clBlue);
        b->OnClick = [this](TObject* sender) { MainBtn_Click(sender); };
        b->OnMouseEnter = [this](TObject* sender, TShiftState shift, int x, int y) {
            Main_Ent(sender, shift, x, y);
        };
        b->OnMouseLeave = [this](TObject* sender, TShiftState shift, int x, int y) {
            Main_Lve(sender, shift, x, y);
        };
    }

    FmPnl = new TFormPanel(this);
    FmPnl->SetName("FmPnl");
    FmPnl->SetParent(this);
    FmPnl->SetAlign(alClient);
    FmPnl->SetBevelOuter(bvLowered);
    FmPnl->SetCaption("");

    StatusBar = new TStatusBar(this);
    StatusBar->SetName("StatusBar");
    StatusBar->SetParent(this);
    StatusBar->SetAlign(alBottom);
    StatusBar->SetSimplePanel(false);

    CreateMenu();
    SetMenu(MainMenu);
    EndLoading();
}

TFmMain::~TFmMain() {
    BeginDestruction();
}

void TFmMain::CreateMenu() {
    MainMenu = new TMainMenu(this);
    MainMenu->SetName("MainMenu");
    TMenuItem** fields[] = {&File1,  &O1,     &C1,      &E1, &CDMP31, &CDWAV1, &WAVMP31,  &D1,
                            &MP3CD1, &WAVCD1, &MP3WAV1, &B1, &CDCD2,  &V1,     &Sonvale1, &About1};
    int next = 0;
    for (const MenuGroup& group : MenuGroups()) {
        auto* top = new TMenuItem(this);
        *fields[next++] = top;
        top->SetName(std::string(group.name));
        top->SetCaption(std::string(group.caption));
        MainMenu->Items()->Add(top);
        for (const MenuEntry& entry : group.entries) {
            auto* item = new TMenuItem(this);
            *fields[next++] = item;
            item->SetName(std::string(entry.name));
            item->SetCaption(std::string(entry.caption));
            item->SetTag(entry.tag);
            item->OnClick = [this](TObject* sender) { Menu_Click(sender); };
            top->Add(item);
        }
    }
}

TShineSpeedButton* TFmMain::ModeButton(int number) const {
    TShineSpeedButton* const buttons[kModeButtonCount] = {
        ShineSpeedButton1, ShineSpeedButton2, ShineSpeedButton3, ShineSpeedButton4,
        ShineSpeedButton5, ShineSpeedButton6, ShineSpeedButton7, ShineSpeedButton8};
    if (number < 1 || number > kModeButtonCount) return nullptr;
    return buttons[number - 1];
}

void TFmMain::FormShow(TObject* /*sender*/) {
    TIniFile ini(IniPath());

    std::string version =
        ini.ReadString(settings::kMain, settings::kVersion, settings::kVersionDefault);
    std::string title = ini.ReadString(settings::kMain, settings::kTitle, settings::kTitleDefault);
    SetCaption(title + "  Ver " + version);

    // Each half is taken on its own, truncated, as the window's default place.
    const int centredLeft = Screen->Width() / 2 - Width() / 2;
    const int centredTop = Screen->Height() / 2 - Height() / 2;
    int left = ini.ReadInteger(settings::kMain, settings::kLeft, centredLeft);
    int top = ini.ReadInteger(settings::kMain, settings::kTop, centredTop);
    // A place on a screen that is gone (or a hand edit) would leave the window out of reach, and
    // a second start ends at once while this one runs.
    if (!ReachableAt(left, top)) {
        left = centredLeft;
        top = centredTop;
    }
    SetLeft(left);
    SetTop(top);

    ApplyMenuItems(ini.ReadString(settings::kMenu, settings::kItems, ""));
}

void TFmMain::ApplyMenuItems(const std::string& items) {
    const std::vector<std::string> entries = MenuItemEntries(items);
    for (int i = 0; i < static_cast<int>(entries.size()) && i < kConfigurableButtons; ++i) {
        const std::string& entry = entries[i];
        if (entry.empty() || entry == settings::kNoMode)
            ModeButton(i + 1)->SetCaption("");
        else if (NamesMenuItem(entry))
            ModeButton(i + 1)->SetCaption(entry);
    }
}

std::string TFmMain::MenuItemShown(int number) const {
    const std::string caption = ModeButton(number)->Caption();
    return caption.empty() ? std::string(settings::kNoMode) : caption;
}

bool NamesMenuItem(std::string_view entry) {
    return entry == settings::kNoMode || (entry != kSettingsCaption && FindMode(entry));
}

std::vector<std::string> MenuItemEntries(const std::string& items) {
    TStringList list;
    list.SetCommaText(items);
    std::vector<std::string> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back(list.Strings(i));
    if (!entries.empty() && entries.back().empty() && !items.empty() && items.back() == ',')
        entries.pop_back();
    return entries;
}

void TFmMain::MainBtn_Click(TObject* sender) {
    auto* button = dynamic_cast<TControl*>(sender);
    if (!button) return;
    const ModeRow* row = FindMode(button->Caption());
    if (!row) return;
    if (!row->form.empty()) {
        if (TForm* form = TFormPanel::FindFormByName(std::string(row->form)))
            form->SetCaption(std::string(row->formTag));
    }
    FmPnl->SetFormName(std::string(row->panelForm));
}

void TFmMain::Menu_Click(TObject* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item) return;
    int tag = static_cast<int>(item->Tag());
    if (std::optional<std::string_view> caption = MenuModeCaption(tag)) {
        for (int i = 1; i <= kModeButtonCount; ++i) {
            TShineSpeedButton* b = ModeButton(i);
            if (b->Caption() != *caption) continue;
            b->SetDown(true);
            if (b->OnClick) b->OnClick(b);
            return;
        }
        return;
    }
    switch (tag) {
    case kMenuHelp:
        // Like the shell's "open": whether a viewer came up is not our concern.
        (void)platform::OpenDocument(platform::JoinPath(ProgramDir(), "help.chm"));
        break;
    case kMenuAbout:
        (void)FmVersion->ShowModal();
        break;
    case kMenuExit:
        Application->Terminate();
        break;
    default:
        ShowMessage("例外が発生しました。終了します");
        Application->Terminate();
        break;
    }
}

void TFmMain::Main_Ent(TObject* sender, TShiftState, int, int) {
    auto* button = dynamic_cast<TShineSpeedButton*>(sender);
    if (!button) return;
    button->Colors()->SetColor(kModeButtonHoverColor);
    StatusBar->SetSimplePanel(true);
    if (const ModeRow* row = FindMode(button->Caption()))
        StatusBar->SetSimpleText(std::string(row->hoverText));
}

void TFmMain::Main_Lve(TObject* sender, TShiftState, int, int) {
    auto* button = dynamic_cast<TShineSpeedButton*>(sender);
    if (!button) return;
    button->Colors()->SetColor(kModeButtonColor);
    StatusBar->SetSimplePanel(false);
}

void TFmMain::FormClose(TObject* /*sender*/, TCloseAction& /*action*/) {
    if (FmCD_WAV) {
        if (FmCD_WAV->media_play->DeviceID() != 0) {
            FmCD_WAV->media_play->Stop();
            FmCD_WAV->media_play->Close();
        }
        Cdda.ReaderRelease(&FmCD_WAV->CddaCtx);
    }
    UnloadCddaReader();
    TIniFile ini(IniPath());
    ini.WriteInteger(settings::kMain, settings::kLeft, Left());
    ini.WriteInteger(settings::kMain, settings::kTop, Top());
}

void TFmMain::WMDeviceChange(TMessage& message) {
    if (!FmCD_WAV) return;
    if (message.WParam != DBT_DEVICEARRIVAL && message.WParam != DBT_DEVICEREMOVECOMPLETE) return;
    // A job reads the track table and the list between its steps: a change of drives waits
    // until the job frame has restored the form.
    if (TModeForm::JobRunning()) {
        if (heldDeviceChanges_.empty() || heldDeviceChanges_.back() != message.WParam)
            heldDeviceChanges_.push_back(message.WParam);
        return;
    }
    if (message.WParam == DBT_DEVICEARRIVAL) {
        FmCD_WAV->FormShow(FmCD_WAV);
    } else {
        if (FmCD_WAV->btn_teisi->Enabled()) {
            FmCD_WAV->media_play->Close();
            FmCD_WAV->btn_teisi->SetEnabled(false);
        }
        FmCD_WAV->lst_cd->Clear();
    }
}

void TFmMain::ApplyHeldDeviceChanges() {
    if (TModeForm::JobRunning()) return;
    const std::vector<std::intptr_t> held = std::move(heldDeviceChanges_);
    heldDeviceChanges_.clear();
    for (const std::intptr_t change : held) {
        TMessage message{WM_DEVICECHANGE, change, 0, 0};
        WMDeviceChange(message);
    }
}

void TFmMain::Dispatch(TMessage& message) {
    if (message.Msg == WM_DEVICECHANGE) {
        WMDeviceChange(message);
        return;
    }
    TForm::Dispatch(message);
}

} // namespace sv::app
