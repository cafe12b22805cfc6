// MP3→CD as a user does it on a private X display: two MP3s and three WAVs, two of which wodim
// would read wrongly as they stand, through the real Sonvale's disc-writing page, the hand-over to
// the real Trelvik, the writer command with a recording program in wodim's place that reads the
// files by wodim's rules, and a recording Sonvale started again at the end.
#include "tests/e2e/program_folder.h"
#include "tests/e2e/user_steps.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The window's client area is at (100, 100) (main.ini); the MP3→CD button is the second one.
constexpr int kMp3CdModeX = 228;
constexpr int kAddX = 451, kAddY = 234;         // 追加
constexpr int kExecuteX = 665, kExecuteY = 392; // 実　行

void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A CD-ready WAV of `samples` frames, with a tag's chunk of odd size (and its pad byte) before
// its audio when `tagged`; gives the audio bytes.
std::string WriteCdWav(const fs::path& path, int samples, bool tagged) {
    sv::e2e::WriteStereoWav(path, samples);
    std::string bytes = sv::e2e::ReadFile(path);
    const std::string audio = bytes.substr(44);
    if (tagged) {
        bytes.insert(36, std::string("LIST\5\0\0\0INFOx\0", 14));
        const auto riff = static_cast<std::uint32_t>(bytes.size() - 8);
        for (int k = 0; k < 4; ++k) bytes[4 + k] = static_cast<char>(riff >> 8 * k);
        std::ofstream(path, std::ios::binary) << bytes;
    }
    return audio;
}

} // namespace

TEST(DiscWrite, Mp3AndWavFilesReachTheWriterInListOrderAndSonvaleComesBack) {
    sv::e2e::XDisplay display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    sv::e2e::ProgramFolder folder("[MAIN]\nTITLE=Sonvale\nVERSION=1.00\nLEFT=100\nTOP=100\n"
                                  "[MP3_CD]\nWAIT=0\nSPEED=4\nDECWAIT=0\n");
    // The scripted reader lists one drive, "FAKE DRIVE (0:0:0)".
    fs::copy_file(SV_BIN_DIR "/../tests/fakes/libcdda_ex_fake.so", folder.Dir() / "libcdda_ex.so",
                  fs::copy_options::overwrite_existing);
    const fs::path root = folder.Dir().parent_path();
    const fs::path work = root / "music";
    fs::create_directories(work);
    // A 48 kHz mono MP3, a 44.1 kHz stereo one and a CD-ready WAV.
    sv::e2e::WriteStereoWav(work / "two.wav", 44100);
    // wodim takes "four.Wav" for raw audio by its name, and walks past the audio of "five.wav".
    const std::string four = WriteCdWav(work / "four.Wav", 4410, false);
    const std::string five = WriteCdWav(work / "five.wav", 8820, true);
    Shell("sox -n -r 48000 -c 1 -b 16 " + (work / "one_48k.wav").string() + " synth 1 sine 660");
    Shell("lame --quiet " + (work / "one_48k.wav").string() + " " + (work / "one.mp3").string());
    sv::e2e::WriteStereoWav(work / "three_src.wav", 88200);
    Shell("lame --quiet " + (work / "three_src.wav").string() + " " +
          (work / "three.mp3").string());
    fs::remove(work / "one_48k.wav");
    fs::remove(work / "three_src.wav");

    const fs::path args = root / "args", formats = root / "formats", restarted = root / "restarted";
    const fs::path recorder = root / "recorder", read = root / "read";
    fs::create_directories(read);
    sv::e2e::MakeScript(recorder, sv::e2e::RecorderScript(args, formats, read));

    const pid_t sonvale = folder.Start("Sonvale", {{"QT_QPA_PLATFORM", "xcb"},
                                                   {"DISPLAY", display.Name()},
                                                   {"SV_WRITER_PROGRAM", recorder.string()}});
    ASSERT_TRUE(sv::e2e::WaitUntil([&] { return folder.LockHeld(); }, 30s));
    std::this_thread::sleep_for(4s); // the window comes up after the lock

    sv::e2e::ChooseMode(display, kMp3CdModeX);
    // The order of the disc: the WAV between the two MP3s, the other two after them.
    for (const char* name : {"one.mp3", "two.wav", "three.mp3", "four.Wav", "five.wav"})
        sv::e2e::AddThroughDialog(display, kAddX, kAddY, work / name);
    display.Click(kExecuteX, kExecuteY);
    display.Sync();

    // Sonvale ends once it has handed over; the one Trelvik starts again is a recording one.
    const sv::e2e::HandOverRun run =
        sv::e2e::FollowHandOver(display, folder, sonvale, args, restarted);
    ASSERT_TRUE(run.sonvaleStatus) << "Sonvale did not hand over";
    EXPECT_TRUE(WIFEXITED(*run.sonvaleStatus) && WEXITSTATUS(*run.sonvaleStatus) == 0);
    ASSERT_TRUE(run.written) << "the writer never ran";
    const std::string one = (work / "one.wav").string(), two = (work / "two.wav").string(),
                      three = (work / "three.wav").string();
    // The two that wodim would misread reach it through the writer command's work folder.
    const std::string standIns = (folder.Dir() / "tmp2" / "cdrecord-").string();
    const std::string received = sv::e2e::ReadFile(args);
    EXPECT_EQ(received.substr(0, received.find(standIns)),
              "dev=/dev/sr0\nspeed=8\n-v\n-eject\n-audio\n-pad\n" + one + "\n" + two + "\n" +
                  three + "\n")
        << received;
    EXPECT_NE(received.find("/01.wav\n" + standIns), std::string::npos) << received;
    EXPECT_TRUE(received.ends_with("/02.wav\n")) << received;
    EXPECT_EQ(sv::e2e::ReadFile(formats),
              "44100 2 16\n44100 2 16\n44100 2 16\n44100 2 16\n44100 2 16\n");
    EXPECT_TRUE(sv::e2e::ReadFile(read / "4") == four);
    EXPECT_TRUE(sv::e2e::ReadFile(read / "5") == five);
    EXPECT_TRUE(fs::exists(folder.Dir() / "tmp2") && fs::is_empty(folder.Dir() / "tmp2"));
    EXPECT_TRUE(run.restarted) << "Sonvale was not started again";
    // The decoded WAVs were work files; the user's own WAV and the MP3s stay.
    EXPECT_FALSE(fs::exists(one));
    EXPECT_FALSE(fs::exists(three));
    EXPECT_TRUE(fs::exists(two));
    EXPECT_TRUE(fs::exists(work / "four.Wav"));
    EXPECT_TRUE(fs::exists(work / "one.mp3"));
    const std::string ini = sv::e2e::ReadFile(folder.MainIni());
    EXPECT_NE(ini.find("WRITEDIR=\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("MODE=\n"), std::string::npos) << ini;
}
