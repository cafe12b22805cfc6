#pragma once
// The modes of Sonvale in one place: which form serves a mode, the form tag the main window
// writes into that form's caption, the mode tag the form derives from it, the status-bar text,
// and the main menu's items.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sv::app {

// Form names.
inline constexpr std::string_view kFmMain = "FmMain";
inline constexpr std::string_view kFmMP3_CD = "FmMP3_CD";
inline constexpr std::string_view kFmWAV_MP3 = "FmWAV_MP3";
inline constexpr std::string_view kFmCD_WAV = "FmCD_WAV";
inline constexpr std::string_view kFmOPTION = "FmOPTION";
inline constexpr std::string_view kFmLogMsg = "FmLogMsg";
inline constexpr std::string_view kFmVersion = "FmVersion";

// The settings page's button caption.
inline constexpr std::string_view kSettingsCaption = "設定";

struct ModeRow {
    std::string_view caption;   // mode button caption that selects the row
    std::string_view form;      // form whose caption receives the form tag; empty: none
    std::string_view formTag;   // written into that form's caption
    std::string_view panelForm; // form embedded in the main window's form panel
    std::string_view modeTag;   // what the form derives from the form tag; empty: none
    std::string_view hoverText; // status bar text while the mouse is over the button
};

// In the order the buttons are designed and compared.
std::span<const ModeRow> ModeRows();

// The row whose caption equals `caption` exactly, or null.
const ModeRow* FindMode(std::string_view caption);

// The mode tag that form `form` derives from its caption; `current` when the caption is none
// of that form's tags.
std::string DeriveModeTag(std::string_view form, std::string_view caption,
                          std::string_view current);

// Designed captions of the eight mode buttons.
inline constexpr int kModeButtonCount = 8;
// Buttons 1 to 7 may take captions from MENU ITEMS; button 8 keeps "設定".
inline constexpr int kConfigurableButtons = 7;

// Main menu: top-level items and their entries.
struct MenuEntry {
    std::string_view name;
    std::string_view caption;
    int tag;
};
struct MenuGroup {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuEntry> entries;
};
std::span<const MenuGroup> MenuGroups();

inline constexpr int kMenuHelp = 41;
inline constexpr int kMenuAbout = 42;
inline constexpr int kMenuExit = 99;

// The button caption a menu tag presses, or nullopt for the tags that do something else.
std::optional<std::string_view> MenuModeCaption(int tag);

} // namespace sv::app
