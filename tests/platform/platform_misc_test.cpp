#include "platform/device_monitor.h"
#include "platform/file_ops.h"
#include "platform/instance_lock.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace sv::platform;

namespace {

TEST(ProgramFolder, CutsAfterTheLastSlash) {
    EXPECT_EQ(FolderOfProgram("/opt/sv/Sonvale"), "/opt/sv");
    EXPECT_EQ(FolderOfProgram("/Sonvale"), "/");
    EXPECT_EQ(JoinPath("/", "main.ini"), "/main.ini");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(MainIniPath(), ProgramFolder() + "/main.ini");
    EXPECT_TRUE(fs::exists(ProgramFolder() + "/sv_platform_tests"));
}

TEST(Text, Utf8ChecksAndCounts) {
    EXPECT_TRUE(IsValidUtf8("CD→MP3 なし"));
    EXPECT_FALSE(IsValidUtf8("\x95\xdb"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80")); // overlong
    EXPECT_EQ(CodePointCount("a→b"), 3u);
    EXPECT_EQ(LeadingCodePoints("a→b", 2), "a→");
    EXPECT_EQ(LeadingCodePoints("ab", 5), "ab");
    EXPECT_EQ(ToLowerAscii("A.WAV→"), "a.wav→");
}

// Sets or (with nullptr) unsets an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old;
        had_ = old != nullptr;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class LockTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sv-lock-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        runtime_.emplace("XDG_RUNTIME_DIR", dir_.c_str());
    }
    void TearDown() override {
        runtime_.reset();
        fs::remove_all(dir_);
    }
    fs::path dir_;
    std::optional<ScopedEnv> runtime_;
};

TEST_F(LockTest, SecondHolderFailsUntilTheFirstGoes) {
    EXPECT_EQ(InstanceLock::PathFor("DoubleOpenChk"), (dir_ / "DoubleOpenChk.lock").string());
    auto first = InstanceLock::Acquire("DoubleOpenChk");
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::Acquire("DoubleOpenChk"));
    first.reset();
    EXPECT_TRUE(InstanceLock::Acquire("DoubleOpenChk"));
}

TEST_F(LockTest, KilledHolderFreesTheLockAndChildrenDoNotInheritIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        auto lock = InstanceLock::Acquire("DoubleOpenChk");
        char c = lock ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_TRUE(InstanceLock::IsHeld("DoubleOpenChk"));
    EXPECT_FALSE(InstanceLock::Acquire("DoubleOpenChk"));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_FALSE(InstanceLock::IsHeld("DoubleOpenChk"));
    // Asking makes no lock file.
    EXPECT_FALSE(InstanceLock::IsHeld("DoubleWriteChk"));
    EXPECT_FALSE(fs::exists(dir_ / "DoubleWriteChk.lock"));

    auto mine = InstanceLock::Acquire("DoubleOpenChk");
    ASSERT_TRUE(mine);
    fs::path script = dir_ / "child";
    std::ofstream(script) << "#!/bin/sh\nsleep 2\n";
    fs::permissions(script, fs::perms::owner_all);
    ASSERT_TRUE(StartProgram(script.string()));
    mine.reset();
    EXPECT_TRUE(InstanceLock::Acquire("DoubleOpenChk")); // the running child holds nothing
    close(ready[0]);
    close(ready[1]);
}

// Without a runtime folder the lock lives in the user's own cache folder, never in a folder
// that others can write to; a lock file that cannot be opened says why.
TEST_F(LockTest, WithoutRuntimeFolderTheLockIsInTheUsersCache) {
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const fs::path home = dir_ / "home";
    ScopedEnv homeVar("HOME", home.c_str());
    {
        ScopedEnv cache("XDG_CACHE_HOME", (dir_ / "cache").c_str());
        EXPECT_EQ(InstanceLock::PathFor("DoubleOpenChk"),
                  (dir_ / "cache/DoubleOpenChk.lock").string());
    }
    ScopedEnv relativeCache("XDG_CACHE_HOME", "cache");
    ScopedEnv relativeRuntime("XDG_RUNTIME_DIR", "run");
    const fs::path lockFile = home / ".cache" / "DoubleOpenChk.lock";
    EXPECT_EQ(InstanceLock::PathFor("DoubleOpenChk"), lockFile.string());

    std::string error = "x";
    auto lock = InstanceLock::Acquire("DoubleOpenChk", &error); // makes the missing folders
    ASSERT_TRUE(lock) << error;
    EXPECT_EQ(error, "");
    EXPECT_TRUE(fs::exists(lockFile));
    EXPECT_EQ(fs::status(home / ".cache").permissions() & fs::perms::all, fs::perms(0700));
    EXPECT_FALSE(InstanceLock::Acquire("DoubleOpenChk", &error));
    EXPECT_EQ(error, ""); // held by another holder: nothing to tell
    lock.reset();

    fs::remove(lockFile);
    fs::create_directory(lockFile); // not a file that can be opened, not even by root
    EXPECT_FALSE(InstanceLock::Acquire("DoubleOpenChk", &error));
    EXPECT_NE(error, "");
}

TEST(Library, LoadsFromTheProgramFolderFirst) {
    LibraryHandle lib = LoadProgramLibrary("libsv_testlib.so");
    ASSERT_NE(lib, nullptr) << LastLibraryError();
    auto answer = reinterpret_cast<int (*)()>(LibrarySymbol(lib, "sv_test_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(LibrarySymbol(lib, "no_such_symbol"), nullptr);
    UnloadLibrary(lib);
    EXPECT_EQ(LoadProgramLibrary("libsv_no_such_library.so"), nullptr);
    EXPECT_EQ(LoadLibraryFile(""), nullptr);
    EXPECT_EQ(LibrarySymbol(nullptr, "x"), nullptr);
}

// A cut copy of a library fails to load with a reason instead of crashing on first touch; the
// reasons name what went wrong.
TEST(Library, ACutOrMissingLibraryFailsWithTheLoadersReason) {
    const fs::path dir = fs::temp_directory_path() / ("sv-lib-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path whole = ProgramFolder() + "/libsv_testlib.so";
    const auto size = fs::file_size(whole);
    const fs::path cut = dir / "libcut.so";
    for (std::uintmax_t length : {size / 4, size / 2}) {
        fs::copy_file(whole, cut, fs::copy_options::overwrite_existing);
        fs::resize_file(cut, length);
        EXPECT_EQ(LoadLibraryFile(cut.string()), nullptr) << length;
        EXPECT_EQ(LastLibraryError(), cut.string() + ": file too short");
    }

    std::string why;
    EXPECT_EQ(LoadProgramLibrary("libsv_no_such_library.so", &why), nullptr);
    EXPECT_NE(why.find("libsv_no_such_library.so"), std::string::npos) << why;
    fs::remove_all(dir);
}

TEST(Registry, ReadsValuesFromTheUserFile) {
    fs::path dir = fs::temp_directory_path() / ("sv-reg-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    EXPECT_EQ(ReadUserRegistryString("Software\\Pelloran\\GOGO_DLL", "INSTPATH"), std::nullopt);
    std::ofstream(dir / "hkcu.ini")
        << "[Software\\Pelloran\\GOGO_DLL]\nINSTPATH = \"/opt/gogo/libgogo.so\"\t\n";
    EXPECT_EQ(ReadUserRegistryString("software\\pelloran\\gogo_dll", "instpath"),
              "/opt/gogo/libgogo.so");
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir);
}

TEST(FileOps, SeamCanBeReplaced) {
    struct Failing : FileOps {
        bool CreateDirectory(const std::string&) override { return false; }
    } failing;
    fs::path dir = fs::temp_directory_path() / ("sv-ops-" + std::to_string(getpid()));
    SetFileOps(&failing);
    EXPECT_FALSE(Files().CreateDirectory(dir.string()));
    SetFileOps(nullptr);
    EXPECT_TRUE(Files().CreateDirectory(dir.string()));
    EXPECT_TRUE(Files().DirectoryExists(dir.string()));
    EXPECT_FALSE(Files().FileExists(dir.string()));
    std::string file = (dir / "a.wav").string();
    int fd = Files().OpenForWrite(file, true);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_LT(Files().OpenForWrite(file, true), 0);
    fd = Files().OpenForWrite(file, false);
    EXPECT_GE(fd, 0);
    close(fd);
    // A rename that must not replace leaves both files as they were.
    const std::string other = (dir / "b.wav").string();
    std::ofstream(other) << "b";
    errno = 0;
    EXPECT_FALSE(Files().RenameNoReplace(file, other));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_TRUE(Files().FileExists(file));
    EXPECT_EQ(fs::file_size(other), 1u);
    EXPECT_TRUE(Files().DeleteFile(other));
    EXPECT_TRUE(Files().RenameNoReplace(file, other));
    EXPECT_FALSE(Files().FileExists(file));
    EXPECT_TRUE(Files().DeleteFile(other));
    EXPECT_FALSE(Files().DeleteFile(file));
    fs::remove_all(dir);
}

} // namespace

namespace {

TEST(DeviceMonitor, StartsAndStopsCleanly) {
    // No drive comes or goes here; the monitor must start (or quietly not) and stop at once.
    for (int i = 0; i < 3; ++i) {
        DeviceMonitor monitor([](bool) {});
        (void)monitor.Running();
    }
}

} // namespace
