// Trelvik as a whole program in a temporary program folder: the real writer command with a
// recording program in wodim's place, a recording "Sonvale", and a user's keys and clicks on a
// private X display.
#include "platform/instance_lock.h"
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sv::e2e::MakeScript;
using sv::e2e::ProgramFolder;
using sv::e2e::ReadFile;
using sv::e2e::WaitExit;
using sv::e2e::WaitUntil;
using X = sv::e2e::XDisplay;

namespace {

// Sanitizer builds start slowly; the time-outs only bound a failing run.
constexpr auto kStartTime = 30s;
constexpr int kReturn = 36;

// Without a window manager the dialog's client area is where it centres itself on the
// 1024 x 768 screen: (319, 317); the buttons are 90 x 25 at (92, 72) and (198, 72) in it.
constexpr int kOkX = 319 + 92 + 45, kCancelX = 319 + 198 + 45, kButtonY = 317 + 72 + 12;
// Over the result box, which is centred on the dialog.
constexpr int kBoxX = 502, kBoxY = 344;

void WriteCdWav(const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) out.put(static_cast<char>(v >> 8 * k));
    };
    out << "RIFF";
    put(36 + 4 * 4410, 4);
    out << "WAVEfmt ";
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
    out << "data";
    put(4 * 4410, 4);
    out << std::string(4 * 4410, '\0');
}

class TrelvikProgram : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = folder_.Dir().parent_path() / "曲 の, フォルダ";
        fs::create_directories(work_);
        kept_ = work_ / "kept 1.wav";
        made_ = work_ / "made, 2.wav";
        WriteCdWav(kept_);
        WriteCdWav(made_);
        // The recording "Sonvale" that Trelvik starts again; only once Trelvik's lock is free
        // (neither held on nor inherited), or a write it hands over would be lost.
        MakeScript(folder_.Dir() / "Sonvale",
                   "flock -n \"$XDG_RUNTIME_DIR/DoubleWriteChk.lock\" touch '" +
                       Restarted().string() + "'");
    }
    void TearDown() override {
        for (pid_t pid : {trelvik_, other_})
            if (pid > 0) sv::e2e::KillAndReap(pid);
    }

    fs::path Restarted() const { return folder_.Dir().parent_path() / "restarted"; }
    fs::path Args() const { return folder_.Dir().parent_path() / "args"; }
    fs::path Formats() const { return folder_.Dir().parent_path() / "formats"; }
    fs::path Out() const { return folder_.Dir().parent_path() / "trelvik.out"; }

    // The program in wodim's place: records its arguments and the format of each WAV, says
    // something, then ends as `ending` says.
    std::string Recorder(const std::string& ending) {
        const fs::path path = folder_.Dir().parent_path() / "recorder";
        MakeScript(path, sv::e2e::RecorderScript(Args(), Formats()) +
                             "\necho 'recorder writing'\n" + ending);
        return path.string();
    }

    void WriteIni(const std::string& wait) {
        std::ofstream(folder_.MainIni())
            << "[MAIN]\nTITLE=Sonvale\n[MP3_CD]\nWAIT=" << wait << "\n[WORK]\n"
            << "WRITEDIR=\"\"" << (folder_.Dir() / "cdrecord").string()
            << "\" dev=1,0,0 speed=8 -v -eject -audio -pad \"" << kept_.string() << "\" \""
            << made_.string() << "\"\"\n"
            << "SIZE= \"" << kept_.string() << "\" \"" << made_.string() << "\"\n"
            << "DELDIR=\"\"" << made_.string() << "\"\"\nMODE=MP3_CD\n";
    }

    // Starts Trelvik on the display with its standard output in Out(), or with both its
    // outputs on `output`; its process id, also kept in trelvik_.
    pid_t Start(const std::string& writer, X* display, int output = -1) {
        const std::string path = (folder_.Dir() / "Trelvik").string();
        trelvik_ = fork();
        if (trelvik_ == 0) {
            setenv("XDG_RUNTIME_DIR", folder_.RuntimeDir().c_str(), 1);
            setenv("QT_QPA_PLATFORM", display ? "xcb" : "offscreen", 1);
            if (display) setenv("DISPLAY", display->Name().c_str(), 1);
            setenv("SV_WRITER_PROGRAM", writer.c_str(), 1);
            if (output < 0) {
                dup2(open(Out().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
            } else {
                dup2(output, STDOUT_FILENO);
                dup2(output, STDERR_FILENO);
            }
            int null = open("/dev/null", O_RDONLY);
            dup2(null, STDIN_FILENO);
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return trelvik_;
    }

    // Answers the result box with Return until Trelvik has ended; its exit status.
    std::optional<int> AnswerResultAndWait(X& display) {
        std::optional<int> status;
        WaitUntil(
            [&] {
                display.MovePointer(kBoxX, kBoxY);
                display.Tap(kReturn);
                display.Sync();
                status = WaitExit(trelvik_, 500ms);
                return status.has_value();
            },
            kStartTime);
        if (status) trelvik_ = -1;
        return status;
    }

    void ExpectCleanedUpAndRestarted() {
        EXPECT_TRUE(fs::exists(kept_));
        EXPECT_FALSE(fs::exists(made_));
        const std::string ini = ReadFile(folder_.MainIni());
        EXPECT_NE(ini.find("[WORK]\nWRITEDIR=\nSIZE=\nDELDIR=\nMODE=\n"), std::string::npos) << ini;
        EXPECT_TRUE(WaitUntil([&] { return fs::exists(Restarted()); }, kStartTime));
    }

    ProgramFolder folder_;
    fs::path work_, kept_, made_;
    pid_t trelvik_ = -1;
    pid_t other_ = -1; // a second Trelvik
};

bool ExitedWith(const std::optional<int>& status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

} // namespace

TEST_F(TrelvikProgram, WithoutModeItEndsAtOnceAndTouchesNothing) {
    std::ofstream(folder_.MainIni())
        << "[MAIN]\nTITLE=Sonvale\n[WORK]\nMODE=\nDELDIR=\"\"" << made_.string() << "\"\"\n";
    const std::string before = ReadFile(folder_.MainIni());
    Start(Recorder("exit 0"), nullptr);
    const auto status = WaitExit(trelvik_, kStartTime);
    if (status) trelvik_ = -1;
    EXPECT_TRUE(ExitedWith(status, 0));
    EXPECT_EQ(ReadFile(folder_.MainIni()), before);
    EXPECT_TRUE(fs::exists(made_));
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_FALSE(fs::exists(folder_.Dir() / "cdrecord.log"));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(fs::exists(Restarted()));
}

// WAIT 0 writes on the first tick; whatever becomes of the writer, the work files go, the keys
// are emptied and Sonvale is started again.
TEST_F(TrelvikProgram, WritesAtOnceAndCleansUpAfterEveryKindOfWriterEnd) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    for (const std::string ending : {"exit 0", "exit 1", "kill -9 $$"}) {
        SCOPED_TRACE(ending);
        for (const fs::path& p : {Args(), Formats(), Restarted()}) fs::remove(p);
        WriteCdWav(made_);
        WriteIni("0");
        Start(Recorder(ending), &display);
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(Args()); }, kStartTime));
        EXPECT_TRUE(ExitedWith(AnswerResultAndWait(display), 0));
        EXPECT_EQ(ReadFile(Args()), "dev=/dev/sr1\nspeed=8\n-v\n-eject\n-audio\n-pad\n" +
                                        kept_.string() + "\n" + made_.string() + "\n");
        EXPECT_EQ(ReadFile(Formats()), "44100 2 16\n44100 2 16\n");
        EXPECT_NE(ReadFile(folder_.Dir() / "cdrecord.log").find("recorder writing"),
                  std::string::npos);
        EXPECT_NE(ReadFile(Out()).find("recorder writing"), std::string::npos);
        ExpectCleanedUpAndRestarted();
    }
}

TEST_F(TrelvikProgram, Wait999WritesOnlyOnOk) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    WriteIni("999");
    Start(Recorder("exit 0"), &display);
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_TRUE(WaitUntil(
        [&] {
            display.Click(kOkX, kButtonY);
            display.Sync();
            return WaitUntil([&] { return fs::exists(Args()); }, 500ms);
        },
        kStartTime));
    EXPECT_TRUE(ExitedWith(AnswerResultAndWait(display), 0));
    ExpectCleanedUpAndRestarted();
}

// Two Trelviks started together (a launcher clicked twice): one writes, the other ends at once
// and touches nothing. Both have their outputs in a pipe that nobody reads, and the writer says
// four times what a pipe holds: neither the writer nor Trelvik may wait for it, up to Trelvik's
// end. While the writer runs, the dialog shows no countdown and no live buttons.
TEST_F(TrelvikProgram, OneWriteAtATimeAndNothingWaitsForAnUnreadOutput) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    WriteIni("0");
    const std::string before = ReadFile(folder_.MainIni());
    const fs::path runs = folder_.Dir().parent_path() / "runs";
    const fs::path said = folder_.Dir().parent_path() / "said";
    const fs::path go = folder_.Dir().parent_path() / "go";
    constexpr int kLines = 4096;
    const std::string line(63, 'p');
    const std::string writer =
        Recorder("echo run >> '" + runs.string() + "'\ni=0\nwhile [ $i -lt " +
                 std::to_string(kLines) + " ]; do echo " + line + "; i=$((i+1)); done\ntouch '" +
                 said.string() + "'\nwhile [ ! -e '" + go.string() + "' ]; do sleep 0.05; done");
    int unread[2];
    ASSERT_EQ(pipe2(unread, O_CLOEXEC), 0);
    other_ = Start(writer, &display, unread[1]);
    Start(writer, &display, unread[1]);
    close(unread[1]);

    std::optional<int> status;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if ((status = WaitExit(other_, 0ms))) {
                other_ = -1;
                return true;
            }
            if ((status = WaitExit(trelvik_, 0ms))) {
                trelvik_ = std::exchange(other_, -1); // the one that runs on
                return true;
            }
            return false;
        },
        kStartTime));
    EXPECT_TRUE(ExitedWith(status, 1));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(said); }, kStartTime));
    EXPECT_EQ(ReadFile(folder_.MainIni()), before);
    EXPECT_TRUE(fs::exists(made_));
    // The buttons have the dialog's face, and no red second is left.
    const auto face = display.Pixel(319 + 8, 317 + 80);
    ASSERT_TRUE(face);
    EXPECT_EQ(display.Pixel(319 + 92 + 8, kButtonY), face);
    EXPECT_EQ(display.Pixel(319 + 198 + 8, kButtonY), face);
    int red = 0;
    for (int y = 317 + 42; y < 317 + 58; ++y)
        for (int x = 319 + 96; x < 319 + 156; ++x) red += display.Pixel(x, y) == 0xFF0000u;
    EXPECT_EQ(red, 0);

    std::ofstream(go).close();
    EXPECT_TRUE(ExitedWith(AnswerResultAndWait(display), 0));
    close(unread[0]);
    EXPECT_EQ(ReadFile(runs), "run\n");
    EXPECT_EQ(
        ReadFile(folder_.Dir() / "cdrecord.log"), "recorder writing\n" + [&] {
            std::string all;
            for (int i = 0; i < kLines; ++i) all += line + "\n";
            return all;
        }());
    ExpectCleanedUpAndRestarted();
}

// Cancel right after Sonvale handed over: the old Sonvale may still hold its lock, and a new
// one started then would end at once. Trelvik starts it only once the lock is free.
TEST_F(TrelvikProgram, CancelCleansUpWithoutWritingAndRestartsOnceTheLockIsFree) {
    X display(1024, 768);
    ASSERT_TRUE(display.Ok()) << "Xvfb did not come up";
    setenv("XDG_RUNTIME_DIR", folder_.RuntimeDir().c_str(), 1);
    const std::string lockPath =
        sv::platform::InstanceLock::PathFor(sv::platform::kSonvaleInstanceLock);
    unsetenv("XDG_RUNTIME_DIR");
    int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);

    WriteIni("30");
    Start(Recorder("exit 0"), &display);
    // Cancel deletes the work file first of all.
    ASSERT_TRUE(WaitUntil(
        [&] {
            display.Click(kCancelX, kButtonY);
            display.Sync();
            return WaitUntil([&] { return !fs::exists(made_); }, 500ms);
        },
        kStartTime));
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(fs::exists(Restarted()));
    close(lock);
    const auto status = WaitExit(trelvik_, kStartTime);
    if (status) trelvik_ = -1;
    EXPECT_TRUE(ExitedWith(status, 0));
    EXPECT_FALSE(fs::exists(Args()));
    ExpectCleanedUpAndRestarted();
}

// Trelvik ended by force while the writer runs: the write goes on holding the lock of the one
// write, so neither a second Trelvik nor a Sonvale's disc modes start another meanwhile.
TEST_F(TrelvikProgram, KilledWhileWritingTheWriteKeepsTheLock) {
    WriteIni("0");
    const fs::path go = folder_.Dir().parent_path() / "go";
    auto held = [&] { return folder_.LockHeld("DoubleWriteChk"); };
    // (Also ending when a failed run has removed the folder.)
    Start(Recorder("while [ ! -e '" + go.string() + "' ] && [ -d '" + folder_.Dir().string() +
                   "' ]; do sleep 0.05; done"),
          nullptr);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(Args()); }, kStartTime));
    sv::e2e::KillAndReap(std::exchange(trelvik_, -1));
    EXPECT_TRUE(held());
    std::ofstream(go).close();
    EXPECT_TRUE(WaitUntil([&] { return !held(); }, kStartTime));
}
