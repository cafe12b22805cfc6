#include "app/modes.h"

#include <array>

namespace sv::app {

namespace {

constexpr std::array<ModeRow, 8> kModes{{
    {"CD→MP3", kFmCD_WAV, "FmCD_MP3", kFmCD_WAV, "[CD_MP3]",
     " CD→MP3・・・CD内の曲をMP3へ変換します。"},
    {"MP3→CD", kFmMP3_CD, "FmMP3_CD", kFmMP3_CD, "[MP3_CD]",
     " MP3→CD・・・MP3データをCD-Rに書き込みます。"},
    {"WAV→CD", kFmMP3_CD, "FmWAV_CD", kFmMP3_CD, "[WAV_CD]",
     " WAV→CD・・・WAVデータをCD-Rに書き込みます。"},
    {"WAV→MP3", kFmWAV_MP3, "FmWAV_MP3", kFmWAV_MP3, "[WAV_MP3]",
     " WAV→MP3・・・WAVデータをMP3に変換します。"},
    {"MP3→WAV", kFmWAV_MP3, "FmMP3_WAV", kFmWAV_MP3, "[MP3_WAV]",
     " MP3→WAV・・・MP3データをWAVに変換します。"},
    {"CD→WAV", kFmCD_WAV, "FmCD_WAV", kFmCD_WAV, "[CD_WAV]",
     " CD→WAV・・・CD内の曲をWAVへ変換します。"},
    {"CD→CD", kFmCD_WAV, "FmCD_CD", kFmCD_WAV, "[CD_CD]",
     " CD→CD・・・CD内の曲をバックアップします。※ 曲順の変更が可能です。"},
    {kSettingsCaption, "", "", kFmOPTION, "", " 設定・・・設定を変更します。"},
}};

constexpr std::array<MenuEntry, 2> kFileMenu{{
    {"O1", "設定(&O)", 1},
    {"C1", "アプリケーションの終了(&C)", kMenuExit},
}};
constexpr std::array<MenuEntry, 3> kEncodeMenu{{
    {"CDMP31", "CD→MP3", 11},
    {"CDWAV1", "WAV→MP3", 12},
    {"WAVMP31", "CD→WAV", 13},
}};
constexpr std::array<MenuEntry, 3> kDecodeMenu{{
    {"MP3CD1", "MP3→CD", 21},
    {"WAVCD1", "WAV→CD", 22},
    {"MP3WAV1", "MP3→WAV", 23},
}};
constexpr std::array<MenuEntry, 1> kBackupMenu{{
    {"CDCD2", "CD→CD", 31},
}};
constexpr std::array<MenuEntry, 2> kHelpMenu{{
    {"Sonvale1", "ヘルプ(&M)", kMenuHelp},
    {"About1", "バージョン情報(&V)", kMenuAbout},
}};
const std::array<MenuGroup, 5> kMenus{{
    {"File1", "ファイル(&F)", kFileMenu},
    {"E1", "エンコード(&E)", kEncodeMenu},
    {"D1", "デコード(&D)", kDecodeMenu},
    {"B1", "バックアップ(&B)", kBackupMenu},
    {"V1", "ヘルプ(&H)", kHelpMenu},
}};

struct MenuMode {
    int tag;
    std::string_view caption;
};
constexpr std::array<MenuMode, 8> kMenuModes{{
    {1, kSettingsCaption},
    {11, "CD→MP3"},
    {12, "WAV→MP3"},
    {13, "CD→WAV"},
    {21, "MP3→CD"},
    {22, "WAV→CD"},
    {23, "MP3→WAV"},
    {31, "CD→CD"},
}};

} // namespace

std::span<const ModeRow> ModeRows() {
    return kModes;
}

const ModeRow* FindMode(std::string_view caption) {
    for (const ModeRow& row : kModes)
        if (row.caption == caption) return &row;
    return nullptr;
}

std::string DeriveModeTag(std::string_view form, std::string_view caption,
                          std::string_view current) {
    for (const ModeRow& row : kModes)
        if (!row.form.empty() && row.form == form && row.formTag == caption)
            return std::string(row.modeTag);
    return std::string(current);
}

std::span<const MenuGroup> MenuGroups() {
    return kMenus;
}

std::optional<std::string_view> MenuModeCaption(int tag) {
    for (const MenuMode& m : kMenuModes)
        if (m.tag == tag) return m.caption;
    return std::nullopt;
}

} // namespace sv::app
