// Trelvik's dialog in-process: the countdown, the result of each kind of writer run, the
// clean-up and the restart, with real writer processes and scripted message boxes.
#include "controls/vorsa_button.h"
#include "framework/extctrls.h"
#include "framework/stdctrls.h"
#include "platform/instance_lock.h"
#include "platform/lock_wait.h"
#include "platform/process.h"
#include "tests/framework/test_helpers.h"
#include "writer/dialog_form.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sv::writer::TFmDialog;

namespace sv::writertest {

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

template <class F> bool Eventually(F condition, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Holds a single-instance lock in a child process until killed. The child makes only
// async-signal-safe calls: this process has other threads.
pid_t HoldLock(const std::string& name) {
    const std::string path = platform::InstanceLock::PathFor(name);
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
        const bool held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        (void)!write(ready[1], held ? "1" : "0", 1);
        while (true) pause();
    }
    char c = 0;
    (void)!read(ready[0], &c, 1);
    close(ready[0]);
    close(ready[1]);
    if (c != '1' && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

} // namespace

class TrelvikDialog : public ::testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        dir_ = fs::temp_directory_path() /
               ("sv-trelvik " + std::to_string(getpid()) + "-" + std::to_string(count++));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "run");
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        savedRuntime_ = runtime ? std::optional<std::string>(runtime) : std::nullopt;
        setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
        savedApp_ = Application;
        Application = &app_;
        Script("Sonvale", "echo started >> \"" + (dir_ / "restarted").string() + "\"");
    }
    void TearDown() override {
        delete form_;
        Application = savedApp_;
        if (savedRuntime_)
            setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string Script(const std::string& name, const std::string& body) {
        const fs::path path = dir_ / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    // A writer that records its arguments, says something on both outputs and exits with `code`.
    std::string Writer(int code) {
        return Script("writer w", "printf '%s\\n' \"$@\" > \"" + Args().string() +
                                      "\"\necho \"to stdout\"\necho \"to stderr\" >&2\nexit " +
                                      std::to_string(code));
    }
    fs::path Args() const { return dir_ / "args"; }
    fs::path Restarted() const { return dir_ / "restarted"; }
    fs::path Ini() const { return dir_ / "main.ini"; }

    // main.ini with TITLE, the given WORK keys and more sections.
    void WriteIni(const std::string& work, const std::string& more = "") {
        std::ofstream(Ini()) << "[MAIN]\nTITLE=Sonvale\n[WORK]\n" << work << more;
    }
    TFmDialog* Show() {
        form_ = new TFmDialog(nullptr, dir_.string());
        app_.RegisterForm(form_);
        form_->Show();
        return form_;
    }
    std::vector<test::DialogCall> Boxes() const {
        std::vector<test::DialogCall> boxes;
        for (const auto& c : dialogs_.Calls)
            if (c.Kind == "MessageBox" || c.Kind == "ShowMessage") boxes.push_back(c);
        return boxes;
    }
    bool Terminated() {
        app_.ProcessMessages();
        return app_.Terminated();
    }

    fs::path dir_;
    std::optional<std::string> savedRuntime_;
    TApplication* savedApp_ = nullptr;
    TApplication app_{nullptr};
    test::ScriptedDialogs dialogs_;
    TFmDialog* form_ = nullptr;
};

const test::DialogCall kSuccess{"MessageBox", "正常終了しました。", "書込み処理", 0};
const test::DialogCall kFailure{"MessageBox", "異常終了しました。", "書込み処理", 0x30};

TEST_F(TrelvikDialog, WithoutModeItEndsAtOnceAndTouchesNothing) {
    WriteIni("MODE=\nWRITEDIR=\"" + Writer(0) + "\"\n");
    const std::string before = ReadText(Ini());
    TFmDialog* d = Show();
    EXPECT_TRUE(Terminated());
    EXPECT_FALSE(d->Timer->Enabled());
    EXPECT_TRUE(dialogs_.Calls.empty());
    EXPECT_EQ(ReadText(Ini()), before);
    EXPECT_FALSE(fs::exists(Args()));
}

TEST_F(TrelvikDialog, CountdownShowsEverySecondAndWritesOnTheTickAfterZero) {
    WriteIni("MODE=MP3_CD\nWRITEDIR=\"" + Writer(0) + "\" x\n", "[MP3_CD]\nWAIT=3\n");
    TFmDialog* d = Show();
    EXPECT_TRUE(d->Timer->Enabled());
    EXPECT_EQ(d->Timer->Interval(), 1000);
    std::vector<std::string> shown{d->lbl_sec->Caption()};
    for (int tick = 0; tick < 3; ++tick) {
        d->Timer->Fire();
        shown.push_back(d->lbl_sec->Caption());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"3", "2", "1", "0"}));
    EXPECT_FALSE(fs::exists(Args()));
    d->Timer->Fire();
    EXPECT_EQ(ReadText(Args()), "x\n");
    EXPECT_EQ(d->lbl_sec->Caption(), "0");
    EXPECT_FALSE(d->Timer->Enabled());
    EXPECT_EQ(Boxes(), std::vector<test::DialogCall>{kSuccess});
    EXPECT_TRUE(Terminated());
}

TEST_F(TrelvikDialog, WaitZeroOrNegativeWritesOnTheFirstTickAndOtherModesCountSixty) {
    for (const char* wait : {"0", "-5", "-2147483648"}) {
        SCOPED_TRACE(wait);
        fs::remove(Args());
        WriteIni("MODE=CD_CD\nWRITEDIR=\"" + Writer(0) + "\"\n",
                 std::string("[CD_CD]\nWAIT=") + wait + "\n");
        TFmDialog* d = Show();
        EXPECT_EQ(d->lbl_sec->Caption(), "0");
        d->Timer->Fire();
        EXPECT_TRUE(fs::exists(Args()));
        delete form_;
        form_ = nullptr;
    }
    WriteIni("MODE=anything\n", "[MP3_CD]\nWAIT=5\n");
    TFmDialog* d = Show();
    EXPECT_EQ(d->CountDown, 60);
    EXPECT_TRUE(d->Timer->Enabled());
    EXPECT_TRUE(d->lbl_sec->Visible());
}

TEST_F(TrelvikDialog, Wait999OrMissingWaitsForOk) {
    const fs::path big = dir_ / "big b.wav";
    std::ofstream(big) << std::string(2'500'000, 'x');
    WriteIni("MODE=CD_CD\nWRITEDIR=\n" + std::string("SIZE= \"") + big.string() + "\" \"" +
             (dir_ / "gone.wav").string() + "\"\n");
    TFmDialog* d = Show();
    EXPECT_FALSE(d->Timer->Enabled());
    EXPECT_FALSE(d->lbl_sec->Visible());
    EXPECT_FALSE(d->lbl3->Visible());
    EXPECT_EQ(d->lbl1->Caption(), "書込みを開始します。ブランクディスクを挿入してください。");
    EXPECT_EQ(d->lbl_size->Caption(), "2"); // the file found, in whole megabytes
    EXPECT_FALSE(d->Panel2->Visible());
    EXPECT_EQ(d->Left(), 1024 / 2 - 386 / 2);
    EXPECT_EQ(d->Top(), 768 / 2 - 134 / 2);

    // OK without a command: a message, and the dialog stays with the countdown stopped.
    d->btn_ok->Click();
    EXPECT_EQ(dialogs_.Texts("ShowMessage"),
              std::vector<std::string>{"コマンドがありません。中止します。"});
    EXPECT_FALSE(Terminated());
    EXPECT_FALSE(fs::exists(Restarted()));
}

TEST_F(TrelvikDialog, OkStopsTheCountdownSoOnlyOneWriteRuns) {
    WriteIni("MODE=MP3_CD\nWRITEDIR=\"" + Writer(0) + "\"\n", "[MP3_CD]\nWAIT=0\n");
    TFmDialog* d = Show();
    // Message boxes keep dispatching ticks: the countdown must be off before the first one.
    bool tickWhileUp = false;
    dialogs_.OnMessage = [&](const test::DialogCall&) { tickWhileUp |= d->Timer->Enabled(); };
    d->btn_ok->Click();
    EXPECT_FALSE(tickWhileUp);
    EXPECT_EQ(Boxes(), std::vector<test::DialogCall>{kSuccess});
}

// Every way a writer can end, and what the user is told; clean-up and restart follow each.
TEST_F(TrelvikDialog, ResultFollowsTheWriterAndCleanUpAndRestartAlwaysFollow) {
    struct Case {
        const char* name;
        std::function<std::string()> command;
        test::DialogCall result;
    };
    const std::vector<Case> cases = {
        {"exit 0", [&] { return "\"" + Writer(0) + "\" a"; }, kSuccess},
        {"exit 1", [&] { return "\"" + Writer(1) + "\" a"; }, kFailure},
        {"missing", [&] { return "\"" + (dir_ / "no writer").string() + "\" a"; }, kFailure},
        {"not executable",
         [&] {
             const std::string w = Writer(0);
             fs::permissions(w, fs::perms::owner_read | fs::perms::owner_write);
             return "\"" + w + "\"";
         },
         kFailure},
        {"killed", [&] { return "\"" + Script("killed", "kill -9 $$") + "\""; }, kFailure},
        {"blank", [] { return std::string("   "); }, kFailure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.Calls.clear();
        fs::remove(Restarted());
        const fs::path made = dir_ / "made, 1.wav";
        std::ofstream(made) << "x";
        WriteIni("WRITEDIR=x\nSIZE=y\nDELDIR=\"\"" + made.string() + "\"\"\nMODE=MP3_CD\n",
                 "[MP3_CD]\nWAIT=0\n");
        TFmDialog* d = Show();
        d->RunWriteCommand(c.command());
        EXPECT_EQ(Boxes(), std::vector<test::DialogCall>{c.result});
        EXPECT_FALSE(fs::exists(made));
        EXPECT_EQ(
            ReadText(Ini()),
            "[MAIN]\nTITLE=Sonvale\n[WORK]\nWRITEDIR=\nSIZE=\nDELDIR=\nMODE=\n[MP3_CD]\nWAIT=0\n");
        EXPECT_TRUE(Eventually([&] { return fs::exists(Restarted()); }));
        delete form_;
        form_ = nullptr;
    }
}

TEST_F(TrelvikDialog, TheWritersOutputGoesToTheLogWhichEachWriteReplaces) {
    WriteIni("MODE=MP3_CD\n");
    TFmDialog* d = Show();
    d->RunWriteCommand("\"" + Writer(0) + "\"");
    EXPECT_EQ(ReadText(d->WriterLogPath()), "to stdout\nto stderr\n");
    d->RunWriteCommand("\"" + Script("quiet", "echo once") + "\"");
    EXPECT_EQ(ReadText(d->WriterLogPath()), "once\n");
}

TEST_F(TrelvikDialog, ACommandAtTheReadersLimitMayBeCutAndIsNotRun) {
    const std::string head = "\"" + Writer(0) + "\" ";
    WriteIni("MODE=MP3_CD\n");
    TFmDialog* d = Show();
    // Filled with two-byte characters: the limit counts characters, not bytes.
    std::string fill;
    for (std::size_t i = head.size(); i < 2047; ++i) fill += "あ";
    d->RunWriteCommand(head + fill);
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_EQ(Boxes(), std::vector<test::DialogCall>{kFailure});

    dialogs_.Calls.clear();
    fill.resize(fill.size() - 3);
    d->RunWriteCommand(head + fill);
    EXPECT_EQ(ReadText(Args()), fill + "\n");
    EXPECT_EQ(Boxes(), std::vector<test::DialogCall>{kSuccess});
}

TEST_F(TrelvikDialog, CancelCleansUpAndRestartsWithoutWriting) {
    const fs::path a = dir_ / "a.wav", b = dir_ / "b.wav";
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    WriteIni("WRITEDIR=\"" + Writer(0) + "\"\nDELDIR=\"\"" + a.string() + "\",\"" + b.string() +
                 "\"\"\nMODE=MP3_CD\n",
             "[MP3_CD]\nWAIT=30\n");
    TFmDialog* d = Show();
    d->btn_cancel->Click();
    EXPECT_FALSE(d->Timer->Enabled());
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
    EXPECT_EQ(
        ReadText(Ini()),
        "[MAIN]\nTITLE=Sonvale\n[WORK]\nWRITEDIR=\nDELDIR=\nMODE=\nSIZE=\n[MP3_CD]\nWAIT=30\n");
    EXPECT_TRUE(dialogs_.Calls.empty());
    EXPECT_TRUE(Terminated());
    EXPECT_TRUE(Eventually([&] { return fs::exists(Restarted()); }));
    EXPECT_FALSE(fs::exists(Args()));
}

TEST_F(TrelvikDialog, TheKeysAreEmptiedInOrder) {
    // Keys missing from the file are appended as they are written, so their order shows.
    WriteIni("MODE=MP3_CD\n", "[MP3_CD]\nWAIT=30\n");
    Show()->CleanUpWork();
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=Sonvale\n[WORK]\nMODE=\nWRITEDIR=\nDELDIR=\n"
                               "SIZE=\n[MP3_CD]\nWAIT=30\n");
}

TEST_F(TrelvikDialog, AFailedDeletionAsksAndNoKeepsTheKeys) {
    const fs::path kept = dir_ / "kept.wav";
    std::ofstream(kept) << "k";
    const std::string work = "WRITEDIR=w\nSIZE=s\nDELDIR=\"\"" + (dir_ / "gone.wav").string() +
                             "\",\"" + kept.string() + "\"\"\nMODE=MP3_CD\n";
    WriteIni(work);
    TFmDialog* d = Show();
    dialogs_.Answers = {IDNO};
    d->CleanUpWork();
    EXPECT_EQ(
        dialogs_.Calls,
        (std::vector<test::DialogCall>{
            {"MessageBox", (dir_ / "gone.wav").string() + "削除失敗しました。処理を続けますか？",
             "Error Msg", 0x34}}));
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=Sonvale\n[WORK]\n" + work);

    dialogs_.Answers = {IDYES};
    d->CleanUpWork();
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=Sonvale\n[WORK]\nWRITEDIR=\nSIZE=\nDELDIR=\nMODE=\n");
}

TEST_F(TrelvikDialog, ClosingTheWindowCleansUpButDoesNotRestart) {
    const fs::path made = dir_ / "made.wav";
    std::ofstream(made) << "x";
    WriteIni("DELDIR=\"\"" + made.string() + "\"\"\nMODE=MP3_CD\n", "[MP3_CD]\nWAIT=30\n");
    TFmDialog* d = Show();
    d->Close();
    EXPECT_FALSE(fs::exists(made));
    EXPECT_EQ(ReadText(Ini()).find("MODE=MP3_CD"), std::string::npos);
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(Restarted()));
}

TEST_F(TrelvikDialog, TheRestartWaitsUntilTheOldSonvaleHasLetGoOfItsLock) {
    WriteIni("MODE=MP3_CD\n", "[MP3_CD]\nWAIT=30\n");
    TFmDialog* d = Show();
    const pid_t holder = HoldLock(platform::kSonvaleInstanceLock);
    ASSERT_GT(holder, 0);
    std::thread release([holder] {
        std::this_thread::sleep_for(600ms);
        kill(holder, SIGKILL);
    });
    const auto start = std::chrono::steady_clock::now();
    d->btn_cancel->Click();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    release.join();
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(Eventually([&] { return fs::exists(Restarted()); }));
}

TEST(LockWait, GivesUpAfterItsTimeAndReportsAFreeLockAtOnce) {
    const fs::path run = fs::temp_directory_path() / ("sv-lockwait-" + std::to_string(getpid()));
    fs::create_directories(run);
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedText = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    EXPECT_TRUE(platform::WaitUntilLockFree("Never", 0ms)); // no lock file at all
    const pid_t holder = HoldLock("Held");
    ASSERT_GT(holder, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::WaitUntilLockFree("Held", 300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(platform::WaitUntilLockFree("Held", 0ms));
    if (saved)
        setenv("XDG_RUNTIME_DIR", savedText.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    fs::remove_all(run);
}

// A program the writer leaves behind may keep the output open; the run still ends with the writer.
TEST(RunWithOutput, EndsWithTheProgramEvenWhenItsChildKeepsTheOutputOpen) {
    std::string seen;
    const auto start = std::chrono::steady_clock::now();
    const auto code =
        platform::RunAndWait("/bin/sh -c \"echo before; (sleep 5 &) ; echo after; exit 4\"",
                             [&](std::string_view text) { seen += text; });
    EXPECT_EQ(code, 4);
    EXPECT_EQ(seen, "before\nafter\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

} // namespace sv::writertest
