#pragma once
// Sonvale's seven forms made as the start makes them, on a program folder of the test's own,
// with the scripted dialogs in place.
#include "app/forms.h"
#include "app/program_paths.h"
#include "tests/framework/test_helpers.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace sv::apptest {

using namespace sv::app;

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names in a folder, sorted.
inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SonvaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("sv-app-" + std::to_string(getpid()) + "-" + std::to_string(count++));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        SetProgramDirForTests(dir_.string());
        // The locks are the test's own: a Trelvik of the user's writing a disc meanwhile would
        // otherwise refuse the disc-write jobs.
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) savedRuntime_ = old;
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        FreeSonvaleForms();
        SetProgramDirForTests("");
        if (savedRuntime_)
            setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void WriteIni(const std::string& text) { std::ofstream(IniFile()) << text; }
    std::string ReadIni() const { return ReadFileText(IniFile()); }
    std::filesystem::path IniFile() const { return dir_ / "main.ini"; }

    std::filesystem::path dir_;
    sv::test::ScriptedDialogs dialogs_;
    std::optional<std::string> savedRuntime_;
};

} // namespace sv::apptest
