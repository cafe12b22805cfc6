// The program's binding of the decoder library.
#include "app/decoder.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace {

using namespace svtest;

TEST(DecoderBinding, DecodesThroughTheLibraryInTheProgramFolder) {
    ASSERT_EQ(sv::BindDecoderLibrary(), "");
    ScratchDir dir;
    dir.MakeMp3("曲 1.mp3", 44100, 2, 30000);

    sv::DecoderLibrary& decoder = sv::Decoder();
    DecoderFileInfo info{};
    decoder.StartUp();
    EXPECT_FALSE(decoder.OpenFile(dir.Path("曲 1.mp3.wav").string(), info));
    EXPECT_EQ(decoder.LastError(), DECODER_ERROR_NOT_MPEG);
    ASSERT_TRUE(decoder.SetOutput({0, DECODER_CONVERT_STEREO, 44100}));
    ASSERT_TRUE(decoder.OpenFile(dir.Path("曲 1.mp3").string(), info));
    ASSERT_TRUE(decoder.BeginWave(dir.Path("曲 1.wav").string()));
    int32_t position = 0;
    while (decoder.Step(position)) {
    }
    EXPECT_EQ(decoder.LastError(), DECODER_OK);
    EXPECT_EQ(position, info.totalFrames);
    decoder.CloseFile();
    decoder.ShutDown();
    EXPECT_EQ(ReadWav(dir.Path("曲 1.wav")).Samples(), 30000u);
}

std::string DynamicSection(const std::string& file) {
    std::FILE* pipe = popen(("readelf -d '" + file + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return "";
    std::string dynamic;
    std::array<char, 512> line{};
    while (std::fgets(line.data(), line.size(), pipe)) dynamic += line.data();
    pclose(pipe);
    return dynamic;
}

// The program folder is self-contained: the program does not need the decoder to start (it
// tells the user when it is missing) and looks for libraries beside itself only.
TEST(DecoderBinding, TheProgramLooksForLibrariesOnlyInItsOwnFolder) {
    const std::string dynamic = DynamicSection(SV_BIN_DIR "/Sonvale");
    if (dynamic.empty()) GTEST_SKIP() << "readelf is not available";
    EXPECT_EQ(dynamic.find("libvbmp3.so"), std::string::npos) << dynamic;
    EXPECT_NE(dynamic.find("path: [$ORIGIN]\n"), std::string::npos) << dynamic;
    EXPECT_EQ(dynamic.find(SV_BIN_DIR), std::string::npos) << dynamic;
}

} // namespace
