// A user rips CD→WAV through the real Sonvale on a private X display from a disc image named in
// CDDA_EX_IMAGES: the image is listed as a drive, and the WAVs are its audio behind the header.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/user_steps.h"
#include "tests/outside/cd_images.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string Tail(const fs::path& path, std::streamoff from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t DataBytes(const fs::path& path) {
    const std::string head = sv::e2e::ReadFile(path).substr(40, 4);
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(head[k]);
    return v;
}

} // namespace

TEST(CdRip, ImageTracksRippedThroughTheForm) {
    // The machine's own drives would be listed before the image.
    for (const auto& entry : fs::directory_iterator("/dev"))
        if (entry.path().filename().string().starts_with("sr"))
            GTEST_SKIP() << "this machine has an optical drive: " << entry.path();
    sv::e2e::XDisplay display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    const fs::path work = folder.Dir().parent_path() / "cd";
    fs::create_directories(work);
    const std::vector<svtest::CdImageTrack> tracks = {
        svtest::DataTrack(150), svtest::AudioTrack(300, svtest::Pcm::Noise, 4),
        svtest::AudioTrack(200, svtest::Pcm::Tone, 5)};
    const fs::path cue = svtest::WriteCdImage(work, "album", tracks);
    {
        std::ofstream ini(folder.MainIni(), std::ios::app);
        ini << "[CD_WAV]\nSAVEDIR=" << (work / "wav").string() << "/\n";
    }
    const pid_t sonvale = folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"},
                                                   {"DISPLAY", display.Name()},
                                                   {"CDDA_EX_IMAGES", cue.string()}});
    ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder.LockHeld(); }, 30s));
    std::this_thread::sleep_for(4s); // the window comes up after the lock

    sv::e2e::StartRip(display, "album");
    const fs::path last = work / "wav" / "album_03.wav";
    const bool made =
        sv::e2e::WaitUntil([&] { return fs::exists(last) && DataBytes(last) == 200u * 2352; }, 60s);
    std::this_thread::sleep_for(1s);
    display.Tap(sv::e2e::XDisplay::kReturn); // "Complete"
    display.Sync();
    ASSERT_TRUE(made) << "no complete album_03.wav";
    for (int track : {2, 3}) {
        const fs::path wav = work / "wav" / ("album_0" + std::to_string(track) + ".wav");
        const std::vector<uint8_t>& pcm = tracks[static_cast<size_t>(track - 1)].bytes;
        EXPECT_EQ(fs::file_size(wav), 44 + pcm.size()) << wav;
        EXPECT_TRUE(Tail(wav, 44) == std::string(pcm.begin(), pcm.end())) << wav;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work / "wav"), fs::directory_iterator()), 2);
    sv::e2e::KillAndReap(sonvale);
}
