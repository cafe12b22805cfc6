// The writer command of the program folder, run as Trelvik runs it, with a recording program in
// wodim's place.
#include "platform/process.h"
#include "tests/e2e/program_folder.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(Cdrecord, MapsDriveAddressesRefusesNonDrivesAndPassesTheExitCodeBack) {
    const fs::path dir = fs::temp_directory_path() / ("sv-cdrecord " + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path args = dir / "args";
    const fs::path recorder = dir / "wodim stand-in";
    std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << args.string()
                            << "'\nexit 7\n";
    fs::permissions(recorder, fs::perms::owner_all);
    const std::string cdrecord = "\"" SV_BIN_DIR "/cdrecord\"";

    struct Case {
        std::string writer;
        std::string arguments;
        int code;
        std::string received; // empty: the writer must not run
        std::string says;     // part of what cdrecord prints itself
    };
    const std::vector<Case> cases = {
        {recorder, "dev=1,0,0 speed=8 -v -audio \"/m/a b.wav\"", 7,
         "dev=/dev/sr1\nspeed=8\n-v\n-audio\n/m/a b.wav\n", ""},
        {recorder, "dev=12,0,0 x", 7, "dev=/dev/sr12\nx\n", ""},
        {recorder, "dev=/dev/sr0 -dummy", 7, "dev=/dev/sr0\n-dummy\n", ""},
        {recorder, "dev=I,0,0 \"/m/a.wav\"", 2, "", "image pseudo-drive"},
        {recorder, "dev= speed=8 \"/m/a.wav\"", 2, "", "dev= is empty"},
        {(dir / "missing").string(), "dev=1,0,0", 127, "", "cannot run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        fs::remove(args);
        setenv("SV_WRITER_PROGRAM", c.writer.c_str(), 1);
        std::string said;
        const auto code = sv::platform::RunAndWait(cdrecord + " " + c.arguments,
                                                   [&](std::string_view t) { said += t; });
        unsetenv("SV_WRITER_PROGRAM");
        EXPECT_EQ(code, c.code);
        if (c.received.empty()) {
            EXPECT_FALSE(fs::exists(args));
        } else {
            std::ifstream in(args);
            std::stringstream s;
            s << in.rdbuf();
            EXPECT_EQ(s.str(), c.received);
        }
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
    }
    fs::remove_all(dir);
}

// wodim takes a file for a WAV only by a ".wav" or ".WAV" name and walks its chunks without the
// pad byte after an odd size; the writer command hands it such files so that it reads their audio,
// and removes what it made for that once wodim has ended, whether it failed or was killed.
TEST(Cdrecord, WavsWodimWouldMisreadReachItAsTheirAudioAndNothingStaysBehind) {
    const fs::path dir =
        fs::temp_directory_path() / ("sv-cdrecord-wav " + std::to_string(getpid()));
    fs::create_directories(dir / "bin");
    // A copy, so that its work folder is this test's.
    fs::copy_file(SV_BIN_DIR "/cdrecord", dir / "bin" / "cdrecord");
    std::string audio;
    for (int i = 0; i < 6000; ++i) audio += static_cast<char>(i * 7 % 251);
    auto wav = [&](const fs::path& path, const std::string& before) {
        auto le = [](std::uint32_t v) {
            return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                               static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
        };
        std::string fmt =
            "fmt " + le(16) + le(0x00020001) + le(44100) + le(176400) + le(0x00100004);
        std::string body = "WAVE" + fmt + before + "data" + le(audio.size()) + audio;
        std::ofstream(path, std::ios::binary) << "RIFF" << le(body.size()) << body;
        return path.string();
    };
    const std::string plain = wav(dir / "plain.wav", ""), named = wav(dir / "song.Wav", "");
    // A tag's chunk of odd size, with its pad byte.
    const std::string tagged =
        wav(dir / "tagged.wav", "LIST" + std::string{5, 0, 0, 0} + "INFOx" + '\0');
    const fs::path args = dir / "args", formats = dir / "formats", read = dir / "read";
    const fs::path writer = dir / "writer";
    auto received = [&](int track) { return sv::e2e::ReadFile(read / std::to_string(track)); };

    // How wodim itself would take them.
    fs::create_directories(read);
    sv::e2e::MakeScript(writer, sv::e2e::RecorderScript(args, formats, read));
    ASSERT_EQ(sv::platform::RunAndWait("\"" + writer.string() + "\" -audio \"" + plain + "\" \"" +
                                       named + "\" \"" + tagged + "\""),
              0);
    EXPECT_EQ(sv::e2e::ReadFile(formats), "44100 2 16\nraw\nraw\n");
    EXPECT_TRUE(received(1) == audio);

    const std::pair<std::string, int> endings[] = {
        {"exit 0", 0}, {"exit 7", 7}, {"kill -9 $$", 137}};
    for (const auto& [ending, code] : endings) {
        SCOPED_TRACE(ending);
        fs::remove_all(read);
        fs::create_directories(read);
        fs::remove(formats);
        sv::e2e::MakeScript(writer, sv::e2e::RecorderScript(args, formats, read) + "\n" + ending);
        setenv("SV_WRITER_PROGRAM", writer.c_str(), 1);
        const auto exit = sv::platform::RunAndWait("\"" + (dir / "bin" / "cdrecord").string() +
                                                   "\" dev=1,0,0 -audio \"" + plain + "\" \"" +
                                                   named + "\" \"" + tagged + "\"");
        unsetenv("SV_WRITER_PROGRAM");
        EXPECT_EQ(exit, code);
        EXPECT_EQ(sv::e2e::ReadFile(formats), "44100 2 16\n44100 2 16\n44100 2 16\n");
        for (int track : {1, 2, 3}) EXPECT_TRUE(received(track) == audio) << track;
        // The file wodim reads right goes as it is; the others through the work folder.
        std::istringstream lines(sv::e2e::ReadFile(args));
        std::vector<std::string> got;
        for (std::string line; std::getline(lines, line);) got.push_back(line);
        ASSERT_EQ(got.size(), 5u);
        EXPECT_EQ(got[2], plain);
        for (int i : {3, 4})
            EXPECT_EQ(got[i].rfind((dir / "bin" / "tmp2" / "cdrecord-").string(), 0), 0u) << got[i];
        EXPECT_TRUE(fs::exists(dir / "bin" / "tmp2") && fs::is_empty(dir / "bin" / "tmp2"));
    }
    EXPECT_TRUE(fs::exists(named) && fs::exists(tagged));

    // SIGTERM to the writer command, or to its group even while wodim starts (held up by a long
    // PATH; thrice, as timing varies), ends the write with 143, and the stand-ins go.
    std::string path;
    for (int i = 0; i < 40000; ++i) path += "/-:";
    path += dir.string() + ":" + std::getenv("PATH");
    sv::e2e::MakeScript(writer, "touch '" + (dir / "started").string() + "'\nexec sleep 5");
    for (const bool group : {true, true, true, false}) {
        int said[2];
        ASSERT_EQ(pipe2(said, O_CLOEXEC), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            dup2(said[1], STDERR_FILENO);
            setenv("PATH", path.c_str(), 1);
            setenv("SV_WRITER_PROGRAM", "writer", 1);
            execl((dir / "bin" / "cdrecord").c_str(), "cdrecord", "-audio", named.c_str(), nullptr);
            _exit(127);
        }
        close(said[1]);
        char line[200]; // the stand-in's line comes right before wodim is started
        EXPECT_GT(::read(said[0], line, sizeof line), 0);
        close(said[0]);
        if (group || sv::e2e::WaitUntil([&] { return fs::exists(dir / "started"); }, 10s))
            kill(group ? -pid : pid, SIGTERM);
        const auto status = sv::e2e::WaitExit(pid, 10s);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 143) << group;
        EXPECT_TRUE(fs::is_empty(dir / "bin" / "tmp2"));
    }

    // A run killed outright leaves its folder to the next run, which removes its stand-ins, but
    // never the folder of a run whose wodim still reads from it, nor anything else there.
    const fs::path work = dir / "bin" / "tmp2", stale = work / "cdrecord-Old123";
    const fs::path go = dir / "go";
    ASSERT_EQ(mkfifo(go.c_str(), 0600), 0);
    auto run = [&](const std::string& writerBody) {
        sv::e2e::MakeScript(writer, writerBody);
        setenv("SV_WRITER_PROGRAM", writer.c_str(), 1);
        const auto exit = sv::platform::RunAndWait("\"" + (dir / "bin" / "cdrecord").string() +
                                                   "\" dev=1,0,0 -audio \"" + tagged + "\"");
        unsetenv("SV_WRITER_PROGRAM");
        return exit;
    };
    EXPECT_EQ(run("kill -9 $PPID\nread line < '" + go.string() + "'"), std::nullopt);
    fs::create_directories(stale);
    std::ofstream(stale / "01.wav") << "a copy";
    fs::create_symlink(tagged, stale / "02.wav");
    std::ofstream(stale / "notes.txt") << "the user's";
    std::ofstream(work / "Audiotrack01.wav") << "a disc copy's work file";
    auto live = [&] {
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(work))
            if (entry.path().filename().string().starts_with("cdrecord-"))
                folders.push_back(entry.path());
        return folders;
    };
    ASSERT_EQ(live().size(), 2u);
    const fs::path held = live()[0] == stale ? live()[1] : live()[0];
    EXPECT_EQ(run("exit 0"), 0);
    EXPECT_EQ(live().size(), 2u);
    EXPECT_FALSE(fs::exists(stale / "01.wav") || fs::is_symlink(stale / "02.wav"));
    EXPECT_EQ(sv::e2e::ReadFile(stale / "notes.txt"), "the user's");
    EXPECT_TRUE(fs::exists(held / "01.wav"));
    EXPECT_TRUE(fs::exists(tagged));
    EXPECT_EQ(sv::e2e::ReadFile(work / "Audiotrack01.wav"), "a disc copy's work file");

    // Once that wodim has ended, its folder goes too.
    std::ofstream(go) << "end\n";
    const int heldFd = open(held.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(heldFd, 0);
    EXPECT_EQ(flock(heldFd, LOCK_EX), 0); // waits for the end of the wodim that holds it
    close(heldFd);
    EXPECT_EQ(run("exit 0"), 0);
    EXPECT_EQ(live(), std::vector<fs::path>{stale});

    // Nor is anything reached through a link in their place.
    fs::rename(work, dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", work);
    std::ofstream(stale / "01.wav") << "a copy";
    EXPECT_EQ(run("exit 0"), 3);
    EXPECT_TRUE(fs::exists(dir / "elsewhere" / stale.filename() / "01.wav"));
    fs::remove_all(dir);
}
