// A user runs the CD modes through the real Sonvale on a private X display from a disc image
// named in CDDA_EX_IMAGES (a data track, then three audio tracks): the image is listed as a drive,
// the WAVs are its audio behind the header, the MP3s decode to the tracks' lengths, and a disc
// copy reaches the writer command through Trelvik with the tracks in the list's order.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/user_steps.h"
#include "tests/outside/audio_files.h"
#include "tests/outside/cd_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <optional>
#include <sys/wait.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The machine's own drives would be listed before the image.
std::optional<std::string> OpticalDrive() {
    for (const auto& entry : fs::directory_iterator("/dev"))
        if (entry.path().filename().string().starts_with("sr")) return entry.path().string();
    return std::nullopt;
}

class CdJobsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto drive = OpticalDrive())
            GTEST_SKIP() << "this machine has an optical drive: " << *drive;
        ASSERT_TRUE(display_.Ok()) << "Xvfb did not come up";
        work_ = folder_.Dir().parent_path() / "cd";
        fs::create_directories(work_);
        tracks_ = {svtest::DataTrack(150), svtest::AudioTrack(300, svtest::Pcm::Noise, 4),
                   svtest::AudioTrack(200, svtest::Pcm::Tone, 5),
                   svtest::AudioTrack(100, svtest::Pcm::Quiet, 6)};
        cue_ = svtest::WriteCdImage(work_, "album", tracks_);
    }
    void TearDown() override { sv::e2e::EndProgramsOf(folder_.Dir()); }

    void StartSonvale(const std::string& sections) {
        std::ofstream(folder_.MainIni(), std::ios::app) << sections;
        sonvale_ = folder_.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"},
                                             {"DISPLAY", display_.Name()},
                                             {"CDDA_EX_IMAGES", cue_.string()}});
        ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder_.LockHeld(); }, 30s));
        std::this_thread::sleep_for(4s); // the window comes up after the lock
    }

    // Chooses the mode, rips with the base name "album" into `folder` (the SAVEDIR of
    // `section`), waits until `done`, then answers "Complete"; false when `done` never held.
    template <class Done>
    bool RipInto(int modeButtonX, const std::string& section, const fs::path& folder, Done done) {
        StartSonvale("[" + section + "]\nSAVEDIR=" + folder.string() + "/\n");
        sv::e2e::StartRip(display_, "album", modeButtonX);
        const bool made = sv::e2e::WaitUntil(done, 60s);
        std::this_thread::sleep_for(1s);
        display_.Tap(sv::e2e::XDisplay::kReturn);
        display_.Sync();
        return made;
    }

    sv::e2e::XDisplay display_{1024, 768};
    sv::e2e::ProgramFolder folder_{"[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n"};
    fs::path work_, cue_;
    std::vector<svtest::CdImageTrack> tracks_;
    pid_t sonvale_ = -1;
};

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

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CdJobsProgram, ImageTracksRippedToWavThroughTheForm) {
    const fs::path wav = work_ / "wav", last = wav / "album_04.wav";
    ASSERT_TRUE(RipInto(sv::e2e::kCdWavModeX, "CD_WAV", wav, [&] {
        return fs::exists(last) && DataBytes(last) == 100u * 2352;
    })) << "no complete album_04.wav";
    EXPECT_EQ(NamesIn(wav),
              (std::vector<std::string>{"album_02.wav", "album_03.wav", "album_04.wav"}));
    for (int track : {2, 3, 4}) {
        const fs::path file = wav / ("album_0" + std::to_string(track) + ".wav");
        const std::vector<uint8_t>& pcm = tracks_[static_cast<size_t>(track - 1)].bytes;
        EXPECT_EQ(fs::file_size(file), 44 + pcm.size()) << file;
        EXPECT_TRUE(Tail(file, 44) == std::string(pcm.begin(), pcm.end())) << file;
    }
    sv::e2e::KillAndReap(sonvale_);
}

TEST_F(CdJobsProgram, ImageTracksBecomeMp3sThroughTheForm) {
    const fs::path mp3 = work_ / "mp3";
    ASSERT_TRUE(RipInto(sv::e2e::kCdMp3ModeX, "CD_MP3", mp3, [&] {
        return fs::exists(mp3 / "album_04.mp3") && !fs::exists(mp3 / "album_04.wav");
    })) << "no album_04.mp3";
    EXPECT_EQ(NamesIn(mp3),
              (std::vector<std::string>{"album_02.mp3", "album_03.mp3", "album_04.mp3"}));
    for (int track : {2, 3, 4}) {
        const std::string file = (mp3 / ("album_0" + std::to_string(track) + ".mp3")).string();
        svtest::Shell("mpg123 -q -w '" + file + ".wav' '" + file + "'");
        EXPECT_EQ(svtest::ReadWav(file + ".wav").Samples(),
                  static_cast<uint64_t>(tracks_[static_cast<size_t>(track - 1)].Sectors()) * 588);
    }
    sv::e2e::KillAndReap(sonvale_);
}

TEST_F(CdJobsProgram, ADiscCopyReachesTheWriterInTheListsOrder) {
    const fs::path root = folder_.Dir().parent_path();
    const fs::path args = root / "args", formats = root / "formats", restarted = root / "restarted";
    // The writer command itself records what it is given: the image's pseudo-drive would make
    // the real one refuse.
    sv::e2e::MakeScript(folder_.Dir() / "cdrecord", sv::e2e::RecorderScript(args, formats));
    StartSonvale("[CD_CD]\nWAIT=0\nSPEED=13\n");
    sv::e2e::StartDiscCopy(display_, 2, 2); // tracks 4, 2, 3

    // Sonvale ends once it has handed over; the one Trelvik starts again is a recording one.
    const sv::e2e::HandOverRun run =
        sv::e2e::FollowHandOver(display_, folder_, sonvale_, args, restarted);
    ASSERT_TRUE(run.sonvaleStatus) << "Sonvale did not hand over";
    EXPECT_TRUE(WIFEXITED(*run.sonvaleStatus) && WEXITSTATUS(*run.sonvaleStatus) == 0);
    ASSERT_TRUE(run.written) << "the writer never ran";
    const fs::path tmp2 = folder_.Dir() / "tmp2";
    EXPECT_EQ(sv::e2e::ReadFile(args), "dev=I,0,0\nspeed=999\n-v\n-eject\n-audio\n-pad\n" +
                                           (tmp2 / "Audiotrack04.wav").string() + "\n" +
                                           (tmp2 / "Audiotrack02.wav").string() + "\n" +
                                           (tmp2 / "Audiotrack03.wav").string() + "\n");
    EXPECT_EQ(sv::e2e::ReadFile(formats), "44100 2 16\n44100 2 16\n44100 2 16\n");
    EXPECT_TRUE(run.restarted) << "Sonvale was not started again";
    EXPECT_TRUE(fs::is_empty(tmp2));
    const std::string ini = sv::e2e::ReadFile(folder_.MainIni());
    EXPECT_NE(ini.find("WRITEDIR=\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("MODE=\n"), std::string::npos) << ini;
}

} // namespace
