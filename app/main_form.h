#pragma once
// The main window: the gradient strip with the eight mode buttons, the form panel that shows
// the chosen mode's page, the status bar and the main menu.
#include "framework/forms.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sv {
class TPanel;
class TGradBox;
class TShineSpeedButton;
class TFormPanel;
class TStatusBar;
class TMainMenu;
class TMenuItem;
} // namespace sv

namespace sv::app {

class TFmMain : public TForm {
public:
    explicit TFmMain(TComponent* owner);
    ~TFmMain() override;
    std::string ClassName() const override { return "TFmMain"; }

    TPanel* Panel3 = nullptr;
    TGradBox* GradBox1 = nullptr;
    TShineSpeedButton* ShineSpeedButton1 = nullptr;
    TShineSpeedButton* ShineSpeedButton2 = nullptr;
    TShineSpeedButton* ShineSpeedButton3 = nullptr;
    TShineSpeedButton* ShineSpeedButton4 = nullptr;
    TShineSpeedButton* ShineSpeedButton5 = nullptr;
    TShineSpeedButton* ShineSpeedButton6 = nullptr;
    TShineSpeedButton* ShineSpeedButton7 = nullptr;
    TShineSpeedButton* ShineSpeedButton8 = nullptr;
    TFormPanel* FmPnl = nullptr;
    TStatusBar* StatusBar = nullptr;
    TMainMenu* MainMenu = nullptr;
    TMenuItem* File1 = nullptr;
    TMenuItem* O1 = nullptr;
    TMenuItem* C1 = nullptr;
    TMenuItem* E1 = nullptr;
    TMenuItem* CDMP31 = nullptr;
    TMenuItem* CDWAV1 = nullptr;
    TMenuItem* WAVMP31 = nullptr;
    TMenuItem* D1 = nullptr;
    TMenuItem* MP3CD1 = nullptr;
    TMenuItem* WAVCD1 = nullptr;
    TMenuItem* MP3WAV1 = nullptr;
    TMenuItem* B1 = nullptr;
    TMenuItem* CDCD2 = nullptr;
    TMenuItem* V1 = nullptr;
    TMenuItem* Sonvale1 = nullptr;
    TMenuItem* About1 = nullptr;

    // ShineSpeedButton1 to ShineSpeedButton8 by number (1 to 8).
    TShineSpeedButton* ModeButton(int number) const;
    // Buttons 1 to 7 take the captions of a MENU ITEMS value ("なし" or an empty entry: none);
    // buttons without an entry, or with one that names no menu item, keep theirs.
    void ApplyMenuItems(const std::string& items);
    // The MENU ITEMS entry that gives button `number` (1 to 7) the caption it shows now.
    std::string MenuItemShown(int number) const;

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void MainBtn_Click(TObject* sender);
    void Menu_Click(TObject* sender);
    void Main_Ent(TObject* sender, TShiftState shift, int x, int y);
    void Main_Lve(TObject* sender, TShiftState shift, int x, int y);
    void WMDeviceChange(TMessage& message);
    // Device changes that came while a job ran; the job frame applies them once it is over.
    void ApplyHeldDeviceChanges();

protected:
    void Dispatch(TMessage& message) override;

private:
    void CreateMenu();

    std::vector<std::intptr_t> heldDeviceChanges_;
};

// Whether a MENU ITEMS entry is one the settings page offers: a mode other than the settings
// page's, or "なし".
bool NamesMenuItem(std::string_view entry);

// The entries of a MENU ITEMS value: comma text, where a comma that ends the text stands for
// no further entry (so an unchosen last button keeps its caption).
std::vector<std::string> MenuItemEntries(const std::string& items);

// Colours of the mode buttons.
inline constexpr TColor kModeButtonColor = 0x00D9DEC7;
inline constexpr TColor kModeButtonPressedColor = 0x009EEBED;
inline constexpr TColor kModeButtonHoverColor = 0x00CBECB5;

} // namespace sv::app
