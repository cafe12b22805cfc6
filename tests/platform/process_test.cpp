#include "platform/process.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace sv::platform;

namespace {

using Args = std::vector<std::string>;

TEST(SplitArguments, FollowsTheWindowsQuotingRules) {
    EXPECT_EQ(SplitArguments(R"(a b  c)"), (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitArguments(R"("a b" c)"), (Args{"a b", "c"}));
    EXPECT_EQ(SplitArguments(R"(a"b c"d)"), (Args{"ab cd"}));
    EXPECT_EQ(SplitArguments(R"(a\\b)"), (Args{R"(a\\b)"}));
    EXPECT_EQ(SplitArguments(R"(a\"b)"), (Args{R"(a"b)"}));
    EXPECT_EQ(SplitArguments(R"(a\\"b c")"), (Args{R"(a\b c)"}));
    EXPECT_EQ(SplitArguments(R"(a\\\"b)"), (Args{R"(a\"b)"}));
    EXPECT_EQ(SplitArguments(R"("a""b")"), (Args{R"(a"b)"}));
    EXPECT_EQ(SplitArguments(R"("")"), (Args{""}));
    EXPECT_EQ(SplitArguments(R"( "C:\x y\a.wav" "b.wav")"), (Args{R"(C:\x y\a.wav)", "b.wav"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
}

TEST(SplitCommandLine, QuotedProgramAndUnquotedPrefixes) {
    auto none = [](const std::string&) { return false; };
    auto quoted = SplitCommandLine(R"("/opt/my dir/cdrecord" dev=1,0,0 -v "a b.wav")", none);
    EXPECT_EQ(quoted.program, "/opt/my dir/cdrecord");
    EXPECT_EQ(quoted.arguments, (Args{"dev=1,0,0", "-v", "a b.wav"}));

    std::set<std::string> programs{"/opt/my dir/cdrecord"};
    auto known = [&](const std::string& p) { return programs.count(p) > 0; };
    auto unquoted = SplitCommandLine("/opt/my dir/cdrecord speed=4 -pad", known);
    EXPECT_EQ(unquoted.program, "/opt/my dir/cdrecord");
    EXPECT_EQ(unquoted.arguments, (Args{"speed=4", "-pad"}));

    programs = {"/opt/my"};
    EXPECT_EQ(SplitCommandLine("/opt/my dir/cdrecord x", known).program, "/opt/my");
    auto unknown = SplitCommandLine("/opt/other dir/x y", none);
    EXPECT_EQ(unknown.program, "/opt/other");
    EXPECT_EQ(unknown.arguments, (Args{"dir/x", "y"}));
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sv-run " + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Script(const std::string& name, const std::string& body) {
        fs::path p = dir_ / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
    fs::path dir_;
};

TEST_F(RunTest, ReturnsExitCodesAndFailsForUnstartableOrKilled) {
    std::string out = (dir_ / "args.txt").string();
    std::string script = Script("write args", "printf '%s|' \"$@\" > \"" + out + "\"; exit 3");
    // an unquoted program path with a blank is found prefix by prefix
    EXPECT_EQ(RunAndWait(script + " one \"two three\""), 3);
    std::ifstream in(out);
    std::string args((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(args, "one|two three|");

    EXPECT_EQ(RunAndWait("\"" + Script("ok", "exit 0") + "\""), 0);
    EXPECT_EQ(RunAndWait((dir_ / "missing").string()), std::nullopt);
    EXPECT_EQ(RunAndWait(Script("killed", "kill -9 $$")), std::nullopt);
    EXPECT_EQ(RunAndWait(""), std::nullopt);
}

TEST_F(RunTest, StartProgramReportsWhetherItStarted) {
    fs::path marker = dir_ / "started";
    EXPECT_TRUE(StartProgram(Script("starter", "touch \"" + marker.string() + "\"")));
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_FALSE(StartProgram((dir_ / "nothing").string()));
    EXPECT_FALSE(StartProgram(dir_.string())); // a folder is no program
}

// What we have open is not the started program's: a writer would otherwise keep our log open,
// a restarted program our files.
TEST_F(RunTest, ProgramsInheritNoneOfOurFiles) {
    const int fd = open((dir_ / "ours").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::string open = "[ -e /proc/$$/fd/" + std::to_string(fd) + " ]";
    EXPECT_EQ(RunAndWait(Script("check", open + " && exit 1; exit 0")), 0);
    EXPECT_EQ(RunAndWait(Script("check", open + " && exit 1; exit 0"), [](std::string_view) {}), 0);
    const fs::path marker = dir_ / "closed";
    EXPECT_TRUE(StartProgram(Script("starter", open + " || touch \"" + marker.string() + "\"")));
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(marker));
    close(fd);
}

// Whatever our output is, a copy to it returns at once: a pipe, terminal or socket that nobody
// reads takes what fits, a reader that has gone does not end us, a file takes everything.
TEST_F(RunTest, AnOutputCopyNeverWaits) {
    const std::string big(1 << 20, 'x');
    int unread[2];
    ASSERT_EQ(pipe2(unread, O_CLOEXEC), 0);
    OutputCopy(unread[1]).Write(big);
    close(unread[0]);
    OutputCopy(unread[1]).Write("gone"); // SIGPIPE would end the test
    close(unread[1]);

    const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal) | unlockpt(terminal), 0);
    const int onHold = open(ptsname(terminal), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(onHold, 0);
    OutputCopy(onHold).Write(big);
    close(onHold);
    close(terminal);

    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    OutputCopy(sockets[1]).Write(big);
    close(sockets[0]);
    OutputCopy(sockets[1]).Write("gone");
    close(sockets[1]);

    const fs::path file = dir_ / "out";
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    OutputCopy(fd).Write(big);
    close(fd);
    EXPECT_EQ(fs::file_size(file), big.size());
}

} // namespace
