// The media player's CD audio device on a generated disc image: opening by the reader's drive
// name or by path, track positions, and digital playback from a track to the end of the audio.
#include "framework/media_player.h"
#include "tests/framework/media_player_double.h"
#include "tests/outside/audio_files.h"
#include "tests/outside/cd_images.h"

#include <cdio/logging.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

namespace {

using namespace svtest;
using Calls = std::vector<std::string>;

class CdAudio : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("CDDA_EX_IMAGES")) saved_ = old;
        // Audio, a data track between, then two audio tracks.
        tracks_ = {AudioTrack(150, Pcm::Tone, 1), DataTrack(100), AudioTrack(80, Pcm::Noise, 2),
                   AudioTrack(40, Pcm::Quiet, 3)};
        cue_ = WriteCdImage(dir_.Path(""), "a_rather_long_image_name", tracks_).string();
        setenv("CDDA_EX_IMAGES", ("/nowhere/other.cue:" + cue_).c_str(), 1);
        player_.SetDeviceType(sv::dtCDAudio);
    }
    void TearDown() override {
        if (saved_)
            setenv("CDDA_EX_IMAGES", saved_->c_str(), 1);
        else
            unsetenv("CDDA_EX_IMAGES");
    }
    std::vector<uint8_t> Bytes(std::initializer_list<int> indexes) const {
        std::vector<uint8_t> r;
        for (int i : indexes) r.insert(r.end(), tracks_[i].bytes.begin(), tracks_[i].bytes.end());
        return r;
    }

    ScratchDir dir_;
    std::vector<CdImageTrack> tracks_;
    std::string cue_;
    std::optional<std::string> saved_;
    MediaOutputLog log_;
    RecordingMediaOutputs outputs_{log_};
    sv::TMediaPlayer player_;
};

TEST_F(CdAudio, TrackPositionsAndPlaybackToTheEndOfTheAudio) {
    // The reader's name of the image, also cut short as the reader cuts long names.
    for (const std::string& name : {std::string("a_rather_long_image_name.cue (I:0:0)"),
                                    std::string("a_rather_long_im (I:0:0)"), cue_}) {
        SCOPED_TRACE(name);
        player_.SetFileName(name);
        player_.Open();
        EXPECT_NE(player_.DeviceID(), 0u);
        EXPECT_EQ(player_.Length(), 370 * 1000 / 75);
    }
    EXPECT_EQ(player_.TrackPosition(1), 0);
    EXPECT_EQ(player_.TrackPosition(3), 250 * 1000 / 75);
    EXPECT_THROW(player_.TrackPosition(5), sv::Exception);
    EXPECT_THROW(player_.TrackPosition(0), sv::Exception);
    EXPECT_TRUE(log_.calls.empty()); // opening needs no output

    player_.SetStartPos(player_.TrackPosition(3));
    player_.Play();
    EXPECT_EQ(log_.calls, (Calls{"LoadPcm", "Play"}));
    EXPECT_TRUE(log_.pcm == Bytes({2, 3}));
    EXPECT_EQ(player_.Mode(), sv::mpPlaying);

    // Track 1 plays up to the data track only.
    player_.SetStartPos(player_.TrackPosition(1));
    player_.Play();
    EXPECT_TRUE(log_.pcm == Bytes({0}));

    // A start inside the data track goes on at the next audio track.
    player_.SetStartPos(player_.TrackPosition(2) + 100);
    player_.Play();
    EXPECT_TRUE(log_.pcm == Bytes({2, 3}));
}

TEST_F(CdAudio, StopAndPlayGoOnWhereItStopped) {
    player_.SetFileName(cue_);
    player_.Open();
    player_.SetTimeFormat(sv::tfSamples);
    player_.SetStartPos(player_.TrackPosition(4));
    player_.Play();
    EXPECT_EQ(player_.Position(), 330 * 588);
    log_.position = 200; // ms played
    player_.Stop();
    EXPECT_EQ(player_.Mode(), sv::mpStopped);
    player_.Play();
    // 330 sectors and 200 ms: 15 sectors further.
    const auto& track = tracks_[3].bytes;
    EXPECT_TRUE(log_.pcm == std::vector<uint8_t>(track.begin() + 15 * kCdSectorBytes, track.end()));

    player_.Pause();
    player_.Resume();
    log_.calls.clear();
    player_.Close();
    EXPECT_EQ(log_.calls, (Calls{"Unload"}));
    EXPECT_EQ(player_.DeviceID(), 0u);
    EXPECT_EQ(player_.Length(), 0);
}

// Images open as the CD-DA reader opens them: from the bin the cue names, and not at all where
// the reader refuses the cue, with its reason.
TEST_F(CdAudio, ImagesOpenAsTheReaderOpensThemOrRaiseWithItsReason) {
    const auto dir = dir_.Path("");
    // A decoy under the cue's own name, of other audio and another length.
    WriteCdImage(dir, "named", {AudioTrack(90, Pcm::Tone, 9)});
    const std::vector<CdImageTrack> named = {AudioTrack(60, Pcm::Noise, 4),
                                             AudioTrack(30, Pcm::Quiet, 5)};
    const std::string cue = WriteCdImage(dir, "named", named, "data/the bin.bin").string();
    WriteCdImage(dir, "two", {AudioTrack(20, Pcm::Tone, 6)});
    std::ofstream(dir / "two.cue") << "FILE \"two.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                   << "    INDEX 01 00:00:00\nFILE \"named.bin\" BINARY\n"
                                   << "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
    const std::string two = (dir / "two.cue").string();
    setenv("CDDA_EX_IMAGES", (cue_ + ":" + cue + ":/nowhere/other.cue:" + two).c_str(), 1);

    player_.SetFileName("named.cue (I:0:0)");
    player_.Open();
    EXPECT_EQ(player_.Length(), 90 * 1000 / 75);
    player_.SetStartPos(player_.TrackPosition(1));
    player_.Play();
    std::vector<uint8_t> bytes = named[0].bytes;
    bytes.insert(bytes.end(), named[1].bytes.begin(), named[1].bytes.end());
    EXPECT_TRUE(log_.pcm == bytes);

    // A data track of 2048-byte sectors first, a pregap stored before the last, a data track:
    // the audio is read at its own offset and ends where that pregap begins.
    const auto mixed = WriteNumberedBin(dir / "mixed.bin", 10 * 2048 + 30 * kCdSectorBytes);
    std::ofstream(dir / "mixed.cue")
        << "FILE \"mixed.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
        << "  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n  TRACK 03 MODE1/2352\n"
        << "    INDEX 00 00:00:30\n    INDEX 01 00:00:32\n";
    player_.SetFileName((dir / "mixed.cue").string());
    player_.Open();
    EXPECT_EQ(player_.Length(), 40 * 1000 / 75);
    player_.SetStartPos(player_.TrackPosition(2));
    player_.Play();
    EXPECT_TRUE(log_.pcm == std::vector<uint8_t>(mixed.begin() + 10 * 2048,
                                                 mixed.begin() + 10 * 2048 + 20 * kCdSectorBytes));
    cdio_log(CDIO_LOG_ERROR, "a message of libcdio's ends nothing");

    const std::string cannot = " のCDを開けません";
    const std::pair<std::string, std::string> cases[] = {
        {"two.cue (I:0:0)",
         cannot + " (FILE行が2行あります（読めるのはFILE行が1行のイメージだけです）)"},
        {"other.cue (I:0:0)", cannot + " (CUEシートがありません)"},
        {"none.cue (I:0:0)", cannot},
        {"/nowhere/x.cue", cannot + " (CUEシートがありません)"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        player_.SetFileName(name);
        try {
            player_.Open();
            ADD_FAILURE() << "opened";
        } catch (const sv::Exception& e) {
            EXPECT_EQ(e.Message(), name + message);
        }
        EXPECT_EQ(player_.DeviceID(), 0u);
    }
    player_.SetFileName("");
    EXPECT_THROW(player_.Open(), sv::Exception);
    log_.calls.clear();
    player_.Play(); // closed: nothing
    EXPECT_TRUE(log_.calls.empty());
}

} // namespace
