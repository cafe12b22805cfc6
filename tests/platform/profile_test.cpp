#include "framework/exception.h"
#include "framework/ini_file.h"
#include "platform/profile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace sv::platform;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("sv-profile-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "main.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Write(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
    std::string Content() {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Read(std::string_view key, std::string_view def = "DEF") {
        return ReadProfileString(path_, "S", key, def);
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(Read("A"), "DEF");
    Write("[S]\nA=1\n");
    EXPECT_EQ(ReadProfileString(path_, "T", "A", "x"), "x");
    EXPECT_EQ(Read("B"), "DEF");
    Write("[S]\nA=\n");
    EXPECT_EQ(Read("A"), "");
}

TEST_F(ProfileTest, OneEnclosingPairOfQuotesIsDropped) {
    Write("[S]\nq1=\"\nq2=\"\"\nq3=\"a\" \"b\"\nq4=\"\"a\",\"b\"\"\nq5= \"a.wav\"\nq6=\"a\n");
    EXPECT_EQ(Read("q1"), "\"");
    EXPECT_EQ(Read("q2"), "");
    EXPECT_EQ(Read("q3"), "a\" \"b");
    EXPECT_EQ(Read("q4"), "\"a\",\"b\"");
    EXPECT_EQ(Read("q5"), "a.wav"); // the blank before the pair goes first
    EXPECT_EQ(Read("q6"), "\"a");
}

TEST_F(ProfileTest, LongValueIsCutAtTheLimitWithoutSplittingACharacter) {
    std::string value;
    for (int i = 0; i < 1000; ++i) value += "ab";
    for (int i = 0; i < 1000; ++i) value += "音";
    Write("[S]\nK=" + value + "\n");
    std::string read = Read("K");
    std::string expected = value.substr(0, 2000);
    for (int i = 0; i < 47; ++i) expected += "音";
    EXPECT_EQ(read, expected);
}

// A hand-edited file: blanks and tabs around a value are no part of it; inside quotes they are.
TEST_F(ProfileTest, BlanksAroundAValueAreDroppedBeforeTheQuotesAndTheCut) {
    const std::string longValue(kProfileValueLimit + 5, 'x');
    const std::string rest =
        "WAIT\t=\t25\t\r\nblank=  \t\r\nquoted = \" a b \" \r\nlong=  " + longValue + "\r\n";
    Write("[S]\r\nBITRATE = 192 \r\n" + rest);
    EXPECT_EQ(Read("BITRATE"), "192");
    EXPECT_EQ(sv::TIniFile(path_).ReadInteger("S", "WAIT", 999), 25);
    EXPECT_EQ(Read("blank"), "");
    EXPECT_EQ(Read("quoted"), " a b ");
    EXPECT_EQ(Read("long"), longValue.substr(0, kProfileValueLimit));

    // A write makes its own line plain and keeps every other line as it was.
    ASSERT_TRUE(WriteProfileString(path_, "S", "BITRATE", "192"));
    EXPECT_EQ(Content(), "[S]\r\nBITRATE=192\r\n" + rest);
}

TEST_F(ProfileTest, SectionsAndKeysIgnoreCaseAndFirstDuplicateWins) {
    Write("[s]\r\n  key  =one\r\nKEY=two\r\n[S]\r\nkey=three\r\n");
    EXPECT_EQ(Read("Key"), "one");
}

TEST(ProfileInteger, ConvertsDecimalAndPrefixedHexOnly) {
    EXPECT_EQ(ParseProfileInteger("0x80", 7), 128);
    EXPECT_EQ(ParseProfileInteger("0X1f", 7), 31);
    EXPECT_EQ(ParseProfileInteger("0x", 7), 7);
    EXPECT_EQ(ParseProfileInteger("0xg", 7), 7);
    EXPECT_EQ(ParseProfileInteger("0xFFFFFFFF", 7), -1);
    EXPECT_EQ(ParseProfileInteger("0x100000000", 7), 7);
    EXPECT_EQ(ParseProfileInteger("12abc", 7), 7);
    EXPECT_EQ(ParseProfileInteger("-20", 7), -20);
    EXPECT_EQ(ParseProfileInteger("+5", 7), 5);
    EXPECT_EQ(ParseProfileInteger(" 12", 7), 12);
    EXPECT_EQ(ParseProfileInteger("12 ", 7), 7);
    EXPECT_EQ(ParseProfileInteger("", 7), 7);
    EXPECT_EQ(ParseProfileInteger("-", 7), 7);
    EXPECT_EQ(ParseProfileInteger("2147483647", 7), 2147483647);
    EXPECT_EQ(ParseProfileInteger("-2147483648", 7), -2147483647 - 1);
    EXPECT_EQ(ParseProfileInteger("2147483648", 7), 7);
    EXPECT_EQ(ParseProfileInteger("$10", 7), 7);
}

TEST_F(ProfileTest, WriteKeepsOtherLinesAndReplacesInPlace) {
    Write("; comment\r\n[MAIN]\r\nTitle=Sonvale\r\nodd line\r\n\r\n[WORK]\r\nMODE=x\r\n");
    ASSERT_TRUE(WriteProfileString(path_, "main", "TITLE", "New"));
    ASSERT_TRUE(WriteProfileString(path_, "MAIN", "LEFT", "10"));
    ASSERT_TRUE(WriteProfileString(path_, "CD_CD", "WAIT", "30"));
    EXPECT_EQ(Content(), "; comment\r\n[MAIN]\r\nTitle=New\r\nodd line\r\nLEFT=10\r\n\r\n"
                         "[WORK]\r\nMODE=x\r\n\r\n[CD_CD]\r\nWAIT=30\r\n");
}

// A value the read would trim or unquote is written in quotes and reads back as it was.
TEST_F(ProfileTest, WriteCreatesTheFileKeepsTheValueAndRefusesLineBreaks) {
    ASSERT_TRUE(WriteProfileString(path_, "S", "A", " \"x\""));
    EXPECT_EQ(Content(), "[S]\nA=\" \"x\"\"\n");
    EXPECT_EQ(Read("A"), " \"x\"");
    EXPECT_FALSE(WriteProfileString(path_, "S", "A", "a\nB=evil"));
    EXPECT_FALSE(WriteProfileString(path_, "S", "A", "a\rb"));
    EXPECT_EQ(Content(), "[S]\nA=\" \"x\"\"\n");
    ASSERT_TRUE(WriteProfileString(path_, "S", "WAIT", "30 ")); // a number still
    EXPECT_EQ(sv::TIniFile(path_).ReadInteger("S", "WAIT", 999), 30);
}

TEST_F(ProfileTest, EachLineIsDecodedOnItsOwnAndUnchangedLinesKeepTheirBytes) {
    // "保存" in Shift-JIS on one line of a UTF-8 file; the last line has no line end.
    const std::string cp932 = "DIR=\x95\xdb\x91\xb6\r\n";
    Write("[MAIN]\r\nTITLE=音楽\r\n[S]\r\n" + cp932 + "SAVEDIR=/home/ユーザー/\r\nX=1");
    EXPECT_EQ(Read("DIR"), "保存");
    EXPECT_EQ(Read("SAVEDIR"), "/home/ユーザー/");
    EXPECT_EQ(ReadProfileString(path_, "MAIN", "TITLE", ""), "音楽");

    ASSERT_TRUE(WriteProfileString(path_, "S", "X", "2"));
    ASSERT_TRUE(WriteProfileString(path_, "S", "Y", "新"));
    ASSERT_TRUE(WriteProfileString(path_, "S", "DIR", "保存")); // same text: same bytes
    EXPECT_EQ(Content(), "[MAIN]\r\nTITLE=音楽\r\n[S]\r\n" + cp932 +
                             "SAVEDIR=/home/ユーザー/\r\nX=2\r\nY=新\r\n");

    // A changed line is written as UTF-8 and still reads back beside the CP932 ones.
    ASSERT_TRUE(WriteProfileString(path_, "S", "DIR", "別"));
    EXPECT_EQ(Read("DIR"), "別");
    EXPECT_EQ(ReadProfileString(path_, "MAIN", "TITLE", ""), "音楽");
}

TEST_F(ProfileTest, ReadOnlyFileOrFolderRefusesTheWriteAndStaysUntouched) {
    const std::string before = "[MAIN]\nLEFT=1\n";
    Write(before);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(WriteProfileString(path_, "MAIN", "LEFT", "2"));
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all, fs::perms(0444));

    fs::permissions(path_, fs::perms(0644));
    fs::permissions(dir_, fs::perms(0555));
    EXPECT_FALSE(WriteProfileString(path_, "MAIN", "LEFT", "2"));
    fs::permissions(dir_, fs::perms(0755));
    EXPECT_EQ(Content(), before);
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++files;
    EXPECT_EQ(files, 1); // no temporary file left behind
}

// The same for an ordinary user, whose folder would let the rename replace the file.
TEST_F(ProfileTest, ReadOnlyFileRefusesAnOrdinaryUserToo) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    const fs::path folder = dir_ / "user";
    fs::create_directories(folder);
    const std::string readOnly = (folder / "ro.ini").string();
    const std::string writable = (folder / "rw.ini").string();
    std::ofstream(readOnly) << "[S]\nK=1\n";
    std::ofstream(writable) << "[S]\nK=1\n";
    for (const std::string& p : {folder.string(), readOnly, writable})
        ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
    fs::permissions(readOnly, fs::perms(0444));

    auto writeAsUser = [](const std::string& path) {
        pid_t child = fork();
        if (child == 0) {
            bool ok =
                setgid(65534) == 0 && setuid(65534) == 0 && WriteProfileString(path, "S", "K", "2");
            _exit(ok ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(writeAsUser(readOnly));
    EXPECT_EQ(ReadProfileString(readOnly, "S", "K", ""), "1");
    EXPECT_TRUE(writeAsUser(writable));
    EXPECT_EQ(ReadProfileString(writable, "S", "K", ""), "2");
}

TEST_F(ProfileTest, WriteKeepsTheModeAndGoesThroughALinkToItsTarget) {
    fs::create_directories(dir_ / "shared");
    const fs::path target = dir_ / "shared" / "real.ini";
    std::ofstream(target) << "[MAIN]\nLEFT=1\n";
    fs::permissions(target, fs::perms(0640));
    // Root writing a user's file gives it back to the user.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    fs::remove(path_);
    fs::create_symlink("shared/real.ini", path_);

    ASSERT_TRUE(WriteProfileString(path_, "MAIN", "LEFT", "2"));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Content(), "[MAIN]\nLEFT=2\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }

    // A link to a file that is not there yet makes the target.
    fs::remove(target);
    ASSERT_TRUE(WriteProfileString(path_, "MAIN", "TOP", "3"));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Content(), "[MAIN]\nTOP=3\n");

    // A read-only target refuses through the link too.
    fs::permissions(target, fs::perms(0444));
    EXPECT_FALSE(WriteProfileString(path_, "MAIN", "TOP", "4"));
    EXPECT_EQ(Content(), "[MAIN]\nTOP=3\n");

    // A link loop is refused, not followed for ever.
    fs::remove(target);
    fs::create_symlink("../main.ini", target);
    EXPECT_FALSE(WriteProfileString(path_, "MAIN", "TOP", "5"));
}

TEST_F(ProfileTest, IniFileRaisesTheWriteMessageAndKeepsEarlierKeys) {
    sv::TIniFile ok(path_);
    ok.WriteString("MAIN", "LEFT", "1");
    ok.WriteInteger("MAIN", "TOP", -20);
    EXPECT_EQ(ok.ReadInteger("MAIN", "TOP", 0), -20);
    EXPECT_EQ(ok.ReadInteger("MAIN", "LEFT", 0), 1);

    std::string folder = (dir_ / "folder.ini").string();
    fs::create_directories(folder);
    sv::TIniFile bad(folder);
    try {
        bad.WriteString("MAIN", "LEFT", "1");
        FAIL() << "no exception";
    } catch (const sv::Exception& e) {
        EXPECT_EQ(e.Message(), folder + " に書き込めません");
    }
    EXPECT_EQ(bad.ReadString("MAIN", "LEFT", "d"), "d");
    EXPECT_THROW(ok.WriteString("MAIN", "X", "a\r\nb"), sv::Exception);
    EXPECT_EQ(ok.ReadInteger("MAIN", "LEFT", 0), 1);
}

TEST_F(ProfileTest, WriteLeavesNoTemporaryFiles) {
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteProfileString(path_, "S", "K", std::to_string(i)));
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++files;
    EXPECT_EQ(files, 1);
}

} // namespace
