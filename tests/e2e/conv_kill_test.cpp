// A Sonvale killed in mid-job, as by a power cut or kill -9: what it was writing must never
// stand under the final name.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/user_steps.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The first ".part" file of the folder that has data in it.
std::optional<fs::path> PartialOutput(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::error_code ec;
        if (entry.path().extension() == ".part" && fs::file_size(entry.path(), ec) > 0 && !ec)
            return entry.path();
    }
    return std::nullopt;
}

} // namespace

TEST(ConvKill, KilledInMidEncodeLeavesOnlyTheUnfinishedFile) {
    sv::e2e::XDisplay display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    const fs::path work = folder.Dir().parent_path() / "music";
    const fs::path out = work / "mp3";
    fs::create_directories(out);
    {
        std::ofstream ini(folder.MainIni(), std::ios::app);
        ini << "[WAV_MP3]\nSAVEDIR=" << out.string() << "/\nBTNMOTODEL=1\n";
    }
    const fs::path wav = work / "long.wav";
    sv::e2e::WriteStereoWav(wav, 44100 * 300);
    const pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder.LockHeld(); }, 30s));
    std::this_thread::sleep_for(4s); // the window comes up after the lock

    sv::e2e::StartConversion(display, sv::e2e::kWavMp3ModeX, wav);
    std::optional<fs::path> partial;
    sv::e2e::WaitUntil([&] { return (partial = PartialOutput(out)).has_value(); }, 60s);
    sv::e2e::KillAndReap(sonvale);

    ASSERT_TRUE(partial) << "the job never started writing";
    EXPECT_FALSE(fs::exists(out / "long.mp3"));
    EXPECT_EQ(partial->filename().string().rfind("long.mp3.", 0), 0u) << *partial;
    EXPECT_TRUE(fs::exists(*partial));
    EXPECT_TRUE(fs::exists(wav));
}
