#include "app/modes.h"

#include <gtest/gtest.h>

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
