// Trelvik's dialog in-process: the countdown, the result of each kind of writer run and the
// clean-up, with real writer processes and scripted message boxes. The whole program, the
// restart and Cancel are tested in tests/e2e.
#include "controls/vorsa_button.h"
#include "framework/extctrls.h"
#include "framework/stdctrls.h"
#include "platform/process.h"
#include "tests/framework/test_helpers.h"
#include "writer/dialog_form.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sv::writer::TFmDialog;
using Calls = std::vector<sv::test::DialogCall>;

namespace sv::writertest {

namespace {

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The WRITEDIR line of a command that writes `wavs`, as Sonvale writes it.
std::string WriteDir(const std::string& command, const std::vector<std::string>& wavs) {
    std::string line = "WRITEDIR=\"" + command + " -v -eject -audio -pad";
    for (const std::string& wav : wavs) line += " \"" + wav + "\"";
    return line + "\"\n";
}

const test::DialogCall kSuccess{"MessageBox", "正常終了しました。", "書込み処理", 0};
const test::DialogCall kFailure{"MessageBox", "異常終了しました。", "書込み処理", 0x30};

} // namespace

class TrelvikDialog : public ::testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        dir_ = fs::temp_directory_path() /
               ("sv-trelvik " + std::to_string(getpid()) + "-" + std::to_string(count++));
        fs::create_directories(dir_);
        // Sonvale's lock, which the restart waits for, is this test's own.
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        savedApp_ = Application;
        Application = &app_;
    }
    void TearDown() override {
        delete form_;
        Application = savedApp_;
        fs::remove_all(dir_);
    }

    std::string Script(const std::string& name, const std::string& body) {
        const fs::path path = dir_ / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    // Records its arguments, says something on both outputs and exits with `code`.
    std::string Writer(int code) {
        return "\"" +
               Script("writer w", "printf '%s\\n' \"$@\" > '" + Args().string() +
                                      "'\necho out\necho err >&2\nexit " + std::to_string(code)) +
               "\"";
    }
    fs::path Args() const { return dir_ / "args"; }
    fs::path Ini() const { return dir_ / "main.ini"; }
    void WriteIni(const std::string& work, const std::string& more = "") {
        std::ofstream(Ini()) << "[MAIN]\nTITLE=\n[WORK]\n" << work << more;
    }
    TFmDialog* Show() {
        delete form_;
        form_ = new TFmDialog(nullptr, dir_.string());
        app_.RegisterForm(form_);
        form_->Show();
        return form_;
    }

    fs::path dir_;
    TApplication* savedApp_ = nullptr;
    TApplication app_{nullptr};
    test::ScriptedDialogs dialogs_;
    TFmDialog* form_ = nullptr;
};

TEST_F(TrelvikDialog, CountsDownOnceASecondAndWritesOnTheTickAfterZero) {
    WriteIni("MODE=MP3_CD\nWRITEDIR=" + Writer(0) + " x\n", "[MP3_CD]\nWAIT=2\n");
    TFmDialog* d = Show();
    EXPECT_EQ(d->Timer->Interval(), 1000);
    std::vector<std::string> shown{d->lbl_sec->Caption()};
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_FALSE(fs::exists(Args()));
        d->Timer->Fire();
        shown.push_back(d->lbl_sec->Caption());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"2", "1", "0", "0"}));
    EXPECT_EQ(ReadText(Args()), "x\n");
    EXPECT_FALSE(d->Timer->Enabled());

    // A negative WAIT counts as 0; another mode text counts 60.
    WriteIni("MODE=CD_CD\n", "[CD_CD]\nWAIT=-2147483648\n");
    EXPECT_EQ(Show()->lbl_sec->Caption(), "0");
    WriteIni("MODE=anything\n");
    EXPECT_EQ(Show()->CountDown, 60);
    EXPECT_TRUE(form_->Timer->Enabled());
}

TEST_F(TrelvikDialog, Wait999WaitsForOkAndOkWithoutACommandKeepsTheDialog) {
    WriteIni("MODE=CD_CD\n"); // WAIT missing: 999
    TFmDialog* d = Show();
    EXPECT_FALSE(d->Timer->Enabled());
    EXPECT_FALSE(d->lbl_sec->Visible());
    EXPECT_FALSE(d->lbl3->Visible());
    EXPECT_EQ(d->lbl1->Caption(), "書込みを開始します。ブランクディスクを挿入してください。");
    d->btn_ok->Click();
    EXPECT_EQ(dialogs_.Calls,
              (Calls{{"ShowMessage", "コマンドがありません。中止します。", "", 0}}));
    app_.ProcessMessages();
    EXPECT_FALSE(app_.Terminated());
}

// Nor may the dialog look as if it still counted or took clicks once the write has begun.
TEST_F(TrelvikDialog, OkStopsTheCountdownBeforeTheResultCanLetATickIn) {
    WriteIni("MODE=MP3_CD\nWRITEDIR=" + Writer(0) + "\n", "[MP3_CD]\nWAIT=0\n");
    TFmDialog* d = Show();
    bool liveDuringBox = false;
    dialogs_.OnMessage = [&](const test::DialogCall&) {
        liveDuringBox |= d->Timer->Enabled() || d->lbl_sec->Visible() || d->lbl3->Visible() ||
                         d->btn_ok->Enabled() || d->btn_cancel->Enabled();
    };
    d->btn_ok->Click();
    EXPECT_FALSE(liveDuringBox);
    EXPECT_EQ(dialogs_.Calls, Calls{kSuccess});
}

// Closing the dialog is giving up the write: a tick let in by the deletion question that the
// clean-up may ask must not start it.
TEST_F(TrelvikDialog, ClosingDuringTheCountdownNeverWrites) {
    const std::string gone = (dir_ / "gone.wav").string();
    WriteIni("MODE=MP3_CD\n" + WriteDir(Writer(0), {gone}) + "DELDIR=\"\"" + gone + "\"\"\n",
             "[MP3_CD]\nWAIT=0\n");
    TFmDialog* d = Show();
    dialogs_.Answers = {IDYES};
    dialogs_.OnMessage = [&](const test::DialogCall&) {
        if (d->Timer->Enabled()) d->Timer->Fire(); // a modal box dispatches timer ticks
    };
    d->Close();
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_EQ(dialogs_.Calls.size(), 1u);
}

// Every way a writer run can end, what the user is told, and what the log holds; the work file
// goes and the keys are emptied after each.
TEST_F(TrelvikDialog, ResultFollowsTheWriterAndCleanUpAlwaysFollows) {
    struct Case {
        const char* name;
        std::function<std::string()> command;
        test::DialogCall result;
        const char* log;
    };
    const std::vector<Case> cases = {
        {"exit 0", [&] { return Writer(0) + " a"; }, kSuccess, "out\nerr\n"},
        {"exit 1", [&] { return Writer(1); }, kFailure, "out\nerr\n"},
        {"missing", [&] { return "\"" + (dir_ / "none").string() + "\""; }, kFailure, "Trelvik"},
        {"killed", [&] { return "\"" + Script("k", "kill -9 $$") + "\""; }, kFailure, "Trelvik"},
        {"blank", [] { return std::string("  "); }, kFailure, "Trelvik"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.Calls.clear();
        const fs::path made = dir_ / "made, 1.wav";
        std::ofstream(made) << "x";
        const std::string rest = "[MP3_CD]\nWAIT=0\n";
        WriteIni(WriteDir("x", {made}) + "SIZE=y\nDELDIR=\"\"" + made.string() +
                     "\"\"\nMODE=MP3_CD\n",
                 rest);
        Show()->RunWriteCommand(c.command());
        EXPECT_EQ(dialogs_.Calls, Calls{c.result});
        // Each write replaces the log of the one before.
        EXPECT_EQ(ReadText(dir_ / "cdrecord.log").rfind(c.log, 0), 0u);
        EXPECT_FALSE(fs::exists(made));
        EXPECT_EQ(ReadText(Ini()),
                  "[MAIN]\nTITLE=\n[WORK]\nWRITEDIR=\nSIZE=\nDELDIR=\nMODE=\n" + rest);
    }
}

TEST_F(TrelvikDialog, ACommandAtTheReadersLimitMayBeCutAndIsNotRun) {
    const std::string head = Writer(0) + " ";
    WriteIni("MODE=MP3_CD\n");
    TFmDialog* d = Show();
    std::string fill; // two-byte characters: the limit counts characters
    for (std::size_t i = head.size(); i < 2047; ++i) fill += "あ";
    d->RunWriteCommand(head + fill);
    EXPECT_FALSE(fs::exists(Args()));
    fill.resize(fill.size() - 3);
    d->RunWriteCommand(head + fill);
    EXPECT_EQ(ReadText(Args()), fill + "\n");
    EXPECT_EQ(dialogs_.Calls, (Calls{kFailure, kSuccess}));
}

TEST_F(TrelvikDialog, AFailedDeletionAsksAndNoKeepsTheKeys) {
    const fs::path kept = dir_ / "kept.wav";
    std::ofstream(kept) << "k";
    const std::string gone = (dir_ / "gone.wav").string();
    const std::string work = "MODE=MP3_CD\nDELDIR=\"\"" + gone + "\",\"" + kept.string() +
                             "\"\"\n" + WriteDir("x", {gone, kept.string()});
    WriteIni(work);
    dialogs_.Answers = {IDNO};
    Show()->CleanUpWork();
    EXPECT_EQ(dialogs_.Calls, (Calls{{"MessageBox", gone + "削除失敗しました。処理を続けますか？",
                                      "Error Msg", 0x34}}));
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=\n[WORK]\n" + work);

    // Keys missing from the file are appended as they are written, so their order shows.
    dialogs_.Answers = {IDYES};
    form_->CleanUpWork();
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=\n[WORK]\nMODE=\nDELDIR=\nWRITEDIR=\nSIZE=\n");
}

// Our own output may be a pipe whose reader has gone (a closed terminal's pager); the write must
// still run to its end, with its result, and not be cut off with us.
TEST_F(TrelvikDialog, AnOutputNobodyReadsDoesNotEndTheWrite) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[1]);
    WriteIni("MODE=MP3_CD\n");
    const fs::path done = dir_ / "done";
    Show()->RunWriteCommand(
        "\"" + Script("talker", "echo one; sleep 0.2; echo two; touch '" + done.string() + "'") +
        "\"");
    std::fflush(stdout);
    dup2(savedOut, STDOUT_FILENO);
    close(savedOut);
    std::clearerr(stdout);
    EXPECT_TRUE(fs::exists(done));
    EXPECT_EQ(dialogs_.Calls, Calls{kSuccess});
    EXPECT_EQ(ReadText(dir_ / "cdrecord.log"), "one\ntwo\n");
}

// A click that waited while the dialog was ending (the restart may wait seconds for the old
// Sonvale) reaches it after the end was asked for: after Cancel it must not write, and after a
// write not write again, even where the user kept the keys.
TEST_F(TrelvikDialog, AClickAfterTheDialogHasEndedDoesNothing) {
    const std::string gone = (dir_ / "gone.wav").string();
    const std::string work =
        "MODE=MP3_CD\n" + WriteDir(Writer(0), {gone}) + "DELDIR=\"\"" + gone + "\"\"\n";
    WriteIni(work);
    TFmDialog* d = Show();
    dialogs_.Answers = {IDNO};
    d->btn_cancel->Click();
    d->btn_ok->Click();
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_EQ(dialogs_.Calls.size(), 1u);

    WriteIni(work);
    d = Show();
    dialogs_.Calls.clear();
    dialogs_.Answers = {IDOK, IDNO};
    d->btn_ok->Click();
    fs::remove(Args());
    d->btn_ok->Click();
    d->btn_cancel->Click();
    EXPECT_FALSE(fs::exists(Args()));
    EXPECT_EQ(dialogs_.Calls.size(), 2u);

    // main.ini that cannot be written keeps the dialog open, and it still answers.
    WriteIni(work);
    d = Show();
    dialogs_.Answers = {IDYES, IDYES};
    fs::permissions(Ini(), fs::perms::owner_read);
    EXPECT_ANY_THROW(d->btn_cancel->Click());
    EXPECT_TRUE(d->btn_ok->Enabled() && d->btn_cancel->Enabled());
    fs::permissions(Ini(), fs::perms::owner_read | fs::perms::owner_write);
    d->btn_cancel->Click();
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=\n[WORK]\nMODE=\nWRITEDIR=\nDELDIR=\nSIZE=\n");
}

// Sonvale lists its work files by full path. A name without one (a hand-edited or mangled list:
// one pair of quotes around a path with a blank splits it) would be taken from wherever Trelvik
// was started, so it is not deleted; the user is asked as for any file that stays. A name that
// the command does not write as a WAV (a damaged main.ini), and any name of a list or command
// that may have been cut, is not the job's: it stays unasked.
TEST_F(TrelvikDialog, OnlyFullPathsOfWavsTheCommandWritesAreDeleted) {
    const fs::path here = fs::current_path();
    fs::current_path(dir_);
    std::ofstream(dir_ / "b.wav") << "b";
    const std::string work = "MODE=MP3_CD\nDELDIR=\"b.wav\"\n" + WriteDir("x", {"b.wav"});
    WriteIni(work);
    dialogs_.Answers = {IDNO};
    Show()->CleanUpWork();
    fs::current_path(here);
    EXPECT_TRUE(fs::exists(dir_ / "b.wav"));
    EXPECT_EQ(dialogs_.Calls, (Calls{{"MessageBox", "b.wav削除失敗しました。処理を続けますか？",
                                      "Error Msg", 0x34}}));
    EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=\n[WORK]\n" + work);

    const std::string doc = (dir_ / "doc.txt").string(), wav = doc + ".wav";
    std::ofstream(doc) << "d";
    std::ofstream(wav) << "w";
    const std::string list = "\"\"" + doc + "\"\"", wavList = "\"\"" + wav + "\"\"";
    // A DELDIR past the limit, and a WRITEDIR of the limit's length that ends in the WAV.
    const std::pair<std::string, std::string> cases[] = {
        {WriteDir("x", {doc, wav}), list},
        {WriteDir("x", {}), wavList},
        {WriteDir("x", {wav}), "\"\"" + wav + "\"" + std::string(2100, ' ') + "\""},
        {WriteDir(std::string(2022 - wav.size(), 'x'), {wav}), wavList},
    };
    for (const auto& [writeDir, delDir] : cases) {
        WriteIni(writeDir + "DELDIR=" + delDir + "\n");
        dialogs_.Calls.clear();
        form_->CleanUpWork();
        EXPECT_TRUE(fs::exists(doc) && fs::exists(wav) && dialogs_.Calls.empty()) << delDir;
        EXPECT_EQ(ReadText(Ini()), "[MAIN]\nTITLE=\n[WORK]\nWRITEDIR=\nDELDIR=\nSIZE=\nMODE=\n");
    }
}

// A program the writer leaves behind may keep the output open; the run ends with the writer.
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
