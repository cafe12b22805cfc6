// The media player on a recording output: lengths, the play/pause/stop states, errors.
#include "framework/media_player.h"
#include "tests/framework/media_player_double.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace svtest;
using Calls = std::vector<std::string>;

class MediaPlayerTest : public ::testing::Test {
protected:
    void OpenFile(const std::string& name) {
        player_.SetFileName(dir_.Path(name).string());
        player_.Open();
    }
    std::string Load(const std::string& name) const { return "Load " + dir_.Path(name).string(); }

    ScratchDir dir_;
    MediaOutputLog log_;
    RecordingMediaOutputs outputs_{log_};
    sv::TMediaPlayer player_;
};

TEST_F(MediaPlayerTest, ClosedDeviceDoesNothing) {
    player_.SetTimeFormat(sv::tfTMSF); // even a format no file supports
    player_.Play();
    player_.Pause();
    player_.Resume();
    player_.Stop();
    player_.Close();
    EXPECT_EQ(player_.DeviceID(), 0u);
    EXPECT_EQ(player_.Length(), 0);
    EXPECT_EQ(player_.Position(), 0);
    EXPECT_EQ(player_.Mode(), sv::mpNotReady);
    EXPECT_TRUE(log_.calls.empty());
}

TEST_F(MediaPlayerTest, WaveLengthComesFromTheHeader) {
    WriteWav(dir_.Path("a.wav"), 44100, 2, 66150);
    WriteWav(dir_.Path("b.wav"), 48000, 1, 12345);
    OpenFile("a.wav");
    EXPECT_NE(player_.DeviceID(), 0u);
    EXPECT_EQ(player_.Mode(), sv::mpStopped);
    EXPECT_EQ(player_.Length(), 1500);
    player_.SetTimeFormat(sv::tfSamples);
    EXPECT_EQ(player_.Length(), 66150);
    player_.SetTimeFormat(sv::tfBytes);
    EXPECT_EQ(player_.Length(), 66150 * 4);

    // The time format stays across files; a second open closes the first.
    const unsigned first = player_.DeviceID();
    player_.SetTimeFormat(sv::tfMilliseconds);
    OpenFile("b.wav");
    EXPECT_EQ(player_.Length(), 257); // 12345 / 48 ms, truncated
    EXPECT_NE(player_.DeviceID(), first);
    EXPECT_TRUE(log_.calls.empty()); // lengths alone need no output
    player_.SetTimeFormat(sv::tfTMSF);
    EXPECT_THROW(player_.Length(), sv::Exception);

    // Compressed WAV data, behind a "fact" chunk, is timed by its byte rate.
    Shell("sox " + dir_.Quoted("a.wav") + " -e ima-adpcm " + dir_.Quoted("adpcm.wav"));
    player_.SetTimeFormat(sv::tfMilliseconds);
    OpenFile("adpcm.wav");
    EXPECT_NEAR(static_cast<double>(player_.Length()), 1500, 30);
}

TEST_F(MediaPlayerTest, Mp3LengthMatchesTheDecodedSamples) {
    dir_.MakeMp3("cbr.mp3", 44100, 2, 88200);
    dir_.MakeMp3("vbr.mp3", 44100, 2, 88200, "-V 4 -t");

    OpenFile("cbr.mp3");
    EXPECT_EQ(player_.Length(), 2000);
    // Without a header the length is known only by reading every frame.
    OpenFile("vbr.mp3");
    player_.SetTimeFormat(sv::tfSamples);
    EXPECT_EQ(player_.Length(), static_cast<int64_t>(dir_.ReferenceSamples("vbr.mp3")));

    // Whole as the decoder library decodes them, which the command does too when told to search
    // on past junk: joined streams and junk between frames.
    dir_.MakeMp3("b.mp3", 44100, 2, 44100 * 3);
    dir_.Join("joined.mp3", {"cbr.mp3", "b.mp3"});
    dir_.InsertJunk("junk.mp3", "cbr.mp3", 4096);
    for (const char* name : {"joined.mp3", "junk.mp3"}) {
        SCOPED_TRACE(name);
        OpenFile(name);
        EXPECT_EQ(player_.Length(),
                  static_cast<int64_t>(dir_.ReferenceSamples(name, "--resync-limit -1")));
    }
    // Joined at another rate: each part at its own length.
    dir_.MakeMp3("c.mp3", 48000, 1, 48000 * 2);
    dir_.Join("rates.mp3", {"b.mp3", "c.mp3"});
    OpenFile("rates.mp3");
    player_.SetTimeFormat(sv::tfMilliseconds);
    EXPECT_GT(player_.Length(), 5000);
    EXPECT_LT(player_.Length(), 5080);
}

TEST_F(MediaPlayerTest, PlayPauseResumeStop) {
    WriteWav(dir_.Path("a.wav"), 44100, 2, 44100);
    OpenFile("a.wav");
    player_.Stop(); // nothing played yet: nothing to halt

    player_.Resume(); // not paused: nothing
    player_.Play();
    EXPECT_EQ(player_.Mode(), sv::mpPlaying);
    player_.Pause();
    EXPECT_EQ(player_.Mode(), sv::mpPaused);
    player_.Pause(); // already paused: nothing
    log_.position = 400;
    EXPECT_EQ(player_.Position(), 400);
    player_.Resume();
    EXPECT_EQ(player_.Mode(), sv::mpPlaying);
    player_.Stop(); // keeps the position
    EXPECT_EQ(player_.Mode(), sv::mpStopped);
    player_.Pause(); // not playing: nothing
    EXPECT_EQ(log_.calls, (Calls{Load("a.wav"), "Play", "Pause", "Play", "Pause"}));
    EXPECT_EQ(player_.Position(), 400);

    // Played to the end: stopped, and the next Play starts again from the beginning.
    player_.Play();
    log_.atEnd = true;
    EXPECT_EQ(player_.Mode(), sv::mpStopped);
    log_.calls.clear();
    player_.Play();
    EXPECT_EQ(log_.calls, (Calls{"Seek 0", "Play"}));

    log_.calls.clear();
    player_.Close();
    EXPECT_EQ(player_.DeviceID(), 0u);
    EXPECT_EQ(player_.Mode(), sv::mpNotReady);
    EXPECT_EQ(log_.calls, (Calls{"Unload"}));
}

TEST_F(MediaPlayerTest, FilesThatCannotBePlayedRaiseAndLeaveTheDeviceClosed) {
    WriteWav(dir_.Path("wave.mp3"), 44100, 2, 100); // content counts, not the name
    WriteWav(dir_.Path("good.wav"), 44100, 2, 100);
    std::ofstream(dir_.Path("text.wav")) << "RIFX not a wave\n";
    std::ofstream(dir_.Path("text.mp3")) << std::string(3000, 'a');
    std::ofstream(dir_.Path("empty.mp3")).flush();
    std::ofstream(dir_.Path("short.wav"), std::ios::binary).write("RIFF\x24\0\0\0WAVEfmt ", 16);
    fs::create_directory(dir_.Path("folder.wav"));
    ASSERT_EQ(mkfifo(dir_.Path("pipe.mp3").c_str(), 0600), 0);

    struct Case {
        std::string name;
        sv::TMPDeviceTypes type;
        std::string message;
    };
    const std::string d = dir_.Path("").string();
    const Case cases[] = {
        {"", sv::dtAutoSelect, "ファイル名が指定されていません"},
        {"missing.wav", sv::dtAutoSelect, d + "missing.wav が見つかりません"},
        {"folder.wav", sv::dtAutoSelect, d + "folder.wav を開けません"},
        {"pipe.mp3", sv::dtAutoSelect, d + "pipe.mp3 を開けません"},
        {"text.wav", sv::dtAutoSelect, d + "text.wav は再生できない形式です"},
        {"text.mp3", sv::dtAutoSelect, d + "text.mp3 は再生できない形式です"},
        {"empty.mp3", sv::dtAutoSelect, d + "empty.mp3 は再生できない形式です"},
        {"short.wav", sv::dtAutoSelect, d + "short.wav は再生できない形式です"},
        {"wave.mp3", sv::dtMPEGAudio, d + "wave.mp3 は再生できない形式です"},
        {"good.wav", sv::dtCDAudio, d + "good.wav のCDを開けません (FILE行がありません)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWav(dir_.Path("open.wav"), 44100, 2, 100);
        OpenFile("open.wav");
        player_.SetDeviceType(c.type);
        player_.SetFileName(c.name.empty() ? "" : dir_.Path(c.name).string());
        try {
            player_.Open();
            ADD_FAILURE() << "opened";
        } catch (const sv::Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(player_.DeviceID(), 0u);
        player_.SetDeviceType(sv::dtAutoSelect);
    }
    OpenFile("wave.mp3");
    EXPECT_NE(player_.DeviceID(), 0u);
}

TEST_F(MediaPlayerTest, BackendFailureOrNoOutputDeviceRaisesAtPlay) {
    WriteWav(dir_.Path("a.wav"), 44100, 2, 100);
    OpenFile("a.wav");
    log_.error = "no audio device";
    try {
        player_.Play();
        ADD_FAILURE() << "played";
    } catch (const sv::Exception& e) {
        EXPECT_EQ(e.Message(), dir_.Path("a.wav").string() + " を再生できません (no audio device)");
    }
    EXPECT_EQ(player_.Mode(), sv::mpStopped);

    // A machine without an audio output device would play into nothing: it is said instead.
    log_.error.clear();
    log_.device = false;
    OpenFile("a.wav");
    log_.calls.clear();
    try {
        player_.Play();
        ADD_FAILURE() << "played";
    } catch (const sv::Exception& e) {
        EXPECT_EQ(e.Message(), "音声出力デバイスが見つからないため再生できません。");
    }
    EXPECT_EQ(player_.Mode(), sv::mpStopped);
    EXPECT_EQ(log_.calls, Calls{});
}

} // namespace
