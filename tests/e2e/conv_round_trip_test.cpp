// A user's WAV→MP3 and MP3→WAV round trip through the real Sonvale on a private X display:
// mode button, add dialog, run button, the closing message.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/user_steps.h"
#include "tests/e2e/x_display.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using X = sv::e2e::XDisplay;

uint32_t WavDataSize(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char head[44] = {};
    in.read(head, sizeof head);
    return static_cast<unsigned char>(head[40]) | static_cast<unsigned char>(head[41]) << 8 |
           static_cast<unsigned char>(head[42]) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(head[43])) << 24;
}

} // namespace

TEST(ConvRoundTrip, WavToMp3AndBackThroughTheProgram) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    // Without a window manager the window's client area is where main.ini puts it.
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n");
    const fs::path work = folder.Dir().parent_path() / "music";
    fs::create_directories(work);
    {
        std::ofstream ini(folder.MainIni(), std::ios::app);
        ini << "[WAV_MP3]\nSAVEDIR=" << (work / "mp3").string() << "/\n"
            << "[MP3_WAV]\nBTNONAJI=1\nDECWAIT=0\n";
    }
    const fs::path wav = work / "song.wav";
    sv::e2e::WriteStereoWav(wav, 44100);
    pid_t sonvale =
        folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.Name()}});
    ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder.LockHeld(); }, 30s));
    std::this_thread::sleep_for(2s); // the window comes up after the lock

    // Client area at (100, 100); the menu bar takes 20 rows, the mode buttons the next 33.
    auto job = [&](int modeButtonX, const fs::path& source, const fs::path& result) {
        sv::e2e::StartConversion(display, modeButtonX, source);
        // Done once the result has stopped growing; then the closing message is up.
        std::uintmax_t size = 0;
        const bool made = sv::e2e::WaitUntil(
            [&] {
                std::error_code ec;
                const std::uintmax_t now = fs::file_size(result, ec);
                if (ec || now == 0 || now != size) {
                    size = ec ? 0 : now;
                    std::this_thread::sleep_for(300ms);
                    return false;
                }
                return true;
            },
            30s);
        std::this_thread::sleep_for(1s);
        display.Tap(X::kReturn); // "Complete"
        display.Sync();
        std::this_thread::sleep_for(300ms);
        return made;
    };
    EXPECT_TRUE(job(sv::e2e::kWavMp3ModeX, wav, work / "mp3" / "song.mp3"));
    EXPECT_TRUE(job(sv::e2e::kMp3WavModeX, work / "mp3" / "song.mp3", work / "mp3" / "song.wav"));
    EXPECT_EQ(WavDataSize(work / "mp3" / "song.wav"), 44100u * 4);
    sv::e2e::KillAndReap(sonvale);
}
