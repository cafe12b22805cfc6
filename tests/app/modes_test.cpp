#include "app/modes.h"

#include <gtest/gtest.h>
#include <set>

using namespace sv::app;

TEST(Modes, EachFormDerivesOnlyItsOwnTags) {
    EXPECT_EQ(DeriveModeTag("FmCD_WAV", "FmCD_WAV", ""), "[CD_WAV]");
    EXPECT_EQ(DeriveModeTag("FmCD_WAV", "FmCD_MP3", "[CD_WAV]"), "[CD_MP3]");
    EXPECT_EQ(DeriveModeTag("FmCD_WAV", "FmCD_CD", ""), "[CD_CD]");
    EXPECT_EQ(DeriveModeTag("FmMP3_CD", "FmMP3_CD", ""), "[MP3_CD]");
    EXPECT_EQ(DeriveModeTag("FmMP3_CD", "FmWAV_CD", ""), "[WAV_CD]");
    EXPECT_EQ(DeriveModeTag("FmWAV_MP3", "FmWAV_MP3", ""), "[WAV_MP3]");
    EXPECT_EQ(DeriveModeTag("FmWAV_MP3", "FmMP3_WAV", ""), "[MP3_WAV]");

    // Another form's tag, other letter case or anything else keeps the previous tag.
    EXPECT_EQ(DeriveModeTag("FmWAV_MP3", "FmCD_WAV", "[MP3_WAV]"), "[MP3_WAV]");
    EXPECT_EQ(DeriveModeTag("FmCD_WAV", "fmcd_mp3", "[CD_WAV]"), "[CD_WAV]");
    EXPECT_EQ(DeriveModeTag("FmCD_WAV", "", ""), "");
    EXPECT_EQ(DeriveModeTag("FmOPTION", "FmOPTION", "x"), "x");
    EXPECT_EQ(DeriveModeTag("FmOPTION", "", "x"), "x");
}

TEST(Modes, MenuTagsPressTheirButtonsAndOthersDoNot) {
    EXPECT_EQ(MenuModeCaption(1), "設定");
    EXPECT_EQ(MenuModeCaption(12), "WAV→MP3");
    EXPECT_EQ(MenuModeCaption(13), "CD→WAV");
    EXPECT_EQ(MenuModeCaption(31), "CD→CD");
    for (int tag : {0, 41, 42, 99, 14}) EXPECT_FALSE(MenuModeCaption(tag)) << tag;

    // Every mode item of the menu names a row of the mode table; the tags are unique.
    std::set<int> tags;
    for (const MenuGroup& g : MenuGroups())
        for (const MenuEntry& e : g.entries) {
            EXPECT_TRUE(tags.insert(e.tag).second) << e.tag;
            if (auto caption = MenuModeCaption(e.tag)) {
                EXPECT_NE(FindMode(*caption), nullptr);
            }
        }
    EXPECT_EQ(tags.size(), 11u);
}

TEST(Modes, HoverTextsBeginWithOneBlankAndNameTheMode) {
    for (const ModeRow& row : ModeRows()) {
        ASSERT_GE(row.hoverText.size(), 2u);
        EXPECT_EQ(row.hoverText[0], ' ');
        EXPECT_NE(row.hoverText[1], ' ');
        EXPECT_TRUE(row.hoverText.substr(1).starts_with(std::string(row.caption) + "・・・"))
            << row.hoverText;
    }
    EXPECT_EQ(FindMode("CD→CD")->hoverText,
              " CD→CD・・・CD内の曲をバックアップします。※ 曲順の変更が可能です。");
    EXPECT_EQ(FindMode("cd→cd"), nullptr);
    EXPECT_EQ(FindMode(""), nullptr);
}
