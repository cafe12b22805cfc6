// The writer command line and the WORK values, each case written to main.ini, read back as
// Trelvik reads it and split into the exact argv the writer gets; the checks made before a
// hand-over.
#include "app/writer_command.h"
#include "framework/forms.h"
#include "framework/ini_file.h"
#include "framework/strings.h"
#include "platform/process.h"
#include "platform/settings_keys.h"
#include "platform/text.h"
#include "tests/framework/test_helpers.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace sv;
using namespace sv::app;
using Strings = std::vector<std::string>;

namespace {

class WriterCommand : public ::testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        dir_ = fs::temp_directory_path() /
               ("sv-writer-command-" + std::to_string(getpid()) + "-" + std::to_string(count++));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Ini() const { return (dir_ / "main.ini").string(); }

    // What Trelvik gets back: the writer's argv, the SIZE names and the DELDIR names.
    struct Received {
        Strings argv, size, delDir;
        std::string mode;
    };
    Received RoundTrip(const HandOver& h, const std::string& writer) {
        TIniFile ini(Ini());
        WriteHandOver(ini, h);
        Received r;
        auto cmd =
            platform::SplitCommandLine(ini.ReadString(settings::kWork, settings::kWriteDir, ""),
                                       [&](const std::string& p) { return p == writer; });
        r.argv = {cmd.program};
        r.argv.insert(r.argv.end(), cmd.arguments.begin(), cmd.arguments.end());
        r.size = Split(ini.ReadString(settings::kWork, settings::kSize, ""));
        r.delDir = Split(ini.ReadString(settings::kWork, settings::kDelDir, ""));
        r.mode = ini.ReadString(settings::kWork, settings::kMode, "");
        return r;
    }
    static Strings Split(const std::string& commaText) {
        TStringList list;
        list.SetCommaText(commaText);
        Strings out;
        for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
        return out;
    }

    fs::path dir_;
};

Strings Concat(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Strings kSwitches = {"-v", "-eject", "-audio", "-pad"};

} // namespace

TEST_F(WriterCommand, EveryChoiceReachesTheWriterAsExactArguments) {
    struct Case {
        const char* name;
        std::string folder;
        WriterChoice choice;
        Strings items;
        Strings created;
        Strings head; // the writer's arguments before the switches
        Strings wavs;
    };
    const std::string jp = "/tmp/プログラム フォルダ,1";
    const std::vector<Case> cases = {
        {"the usual example",
         "/opt/Tools",
         {"Pelnor DVD-RW PX-1 (1:0:0)", 4, 1},
         {"/m/a.mp3", "/m/b.wav"},
         {"/m/a.wav"},
         {"dev=1,0,0", "speed=8", "driveropts=burnproof"},
         {"/m/a.wav", "/m/b.wav"}},
        {"drive text of five characters",
         "/opt/Tools",
         {"(1:0)", 0, 0},
         {"/m/b.wav"},
         {},
         {"dev=", "speed=0"},
         {"/m/b.wav"}},
        {"no speed chosen, burn-proof 2",
         "/opt/Tools",
         {"X (0:0:0)", -1, 2},
         {"/m/b.wav"},
         {},
         {"dev=0,0,0", "speed=8"},
         {"/m/b.wav"}},
        {"fastest",
         "/opt/Tools",
         {"X (0:0:0)", 13, 0},
         {"/m/b.wav"},
         {},
         {"dev=0,0,0", "speed=999"},
         {"/m/b.wav"}},
        {"a drive number of two digits is not cut to another drive's",
         "/opt/Tools",
         {"X (10:0:0)", 0, 0},
         {"/m/b.wav"},
         {},
         {"dev=10,0,0", "speed=0"},
         {"/m/b.wav"}},
        {"index past the list",
         "/opt/Tools",
         {"X (0:0:0)", 14, 0},
         {"/m/b.wav"},
         {},
         {"dev=0,0,0", "speed=8"},
         {"/m/b.wav"}},
        {"upper-case .MP3 and a .txt",
         "/opt/Tools",
         {"X (2:0:0)", 1, 1},
         {"/m/Song.MP3", "/m/notes.txt"},
         {"/m/Song.wav"},
         {"dev=2,0,0", "speed=2", "driveropts=burnproof"},
         {"/m/Song.wav"}},
        {"blanks, commas and Japanese everywhere",
         jp,
         {"ドライブ (1:0:0)", 2, 0},
         {"/tmp/曲 集/一, 二.mp3", "/tmp/曲 集/三 .wav", "/tmp/曲 集/四,.mp3"},
         {"/tmp/曲 集/一, 二.wav", "/tmp/曲 集/四,.wav"},
         {"dev=1,0,0", "speed=4"},
         {"/tmp/曲 集/一, 二.wav", "/tmp/曲 集/三 .wav", "/tmp/曲 集/四,.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HandOver h = BuildHandOver(c.folder, c.choice, c.items, c.created, "MP3_CD");
        const Received r = RoundTrip(h, c.folder + "/cdrecord");
        EXPECT_EQ(r.argv,
                  Concat(Concat(Concat({c.folder + "/cdrecord"}, c.head), kSwitches), c.wavs));
        EXPECT_EQ(r.size, c.wavs);
        EXPECT_EQ(r.delDir, c.created);
        EXPECT_EQ(r.mode, "MP3_CD");
    }
}

// The reader returns at most 2047 characters and Trelvik refuses a command of exactly that
// length as possibly cut, so a hand-over stops one character earlier.
TEST_F(WriterCommand, AHandOverTheReaderWouldCutIsRefused) {
    const std::string folder = "/p";
    const WriterChoice choice{"X (1:0:0)", 0, 0};
    auto commandLength = [&](const Strings& items) {
        return BuildHandOver(folder, choice, items, {}, "MP3_CD").writeDir.size();
    };
    const std::size_t fixed = commandLength({"/a.wav"}) - 1; // all but the name's one letter
    auto withCommandOf = [&](std::size_t length) {
        // Three-byte characters: the limit counts characters.
        std::string name;
        for (std::size_t i = fixed; i < length; ++i) name += "曲";
        return Strings{"/" + name + ".wav"};
    };
    for (std::size_t length : {2046u, 2047u, 3000u}) {
        const Strings items = withCommandOf(length);
        const HandOver h = BuildHandOver(folder, choice, items, DiscWavs(items), "MP3_CD");
        const auto message = CheckHandOver(folder, DiscWavs(items), h);
        EXPECT_EQ(message.has_value(), length >= 2047) << length;
        if (message) {
            EXPECT_NE(message->find("2046"), std::string::npos) << *message;
        }
        // Written and read back as Trelvik reads it: whole up to the limit, cut after it.
        TIniFile ini(Ini());
        WriteHandOver(ini, h);
        const std::string read = ini.ReadString(settings::kWork, settings::kWriteDir, "");
        EXPECT_EQ(platform::CodePointCount(read), std::min<std::size_t>(length, 2047)) << length;
        EXPECT_EQ(h.writeDir.rfind(read, 0), 0u);
    }
}

TEST_F(WriterCommand, PathsTheListsCannotCarryAreRefusedByName) {
    const WriterChoice choice{"X (1:0:0)", 0, 0};
    for (const std::string bad : {"/m/say \"hi\".wav", "/m/two\nlines.wav"}) {
        const Strings items{"/m/ok.wav", bad};
        const auto message =
            CheckHandOver("/p", items, BuildHandOver("/p", choice, items, {}, "MP3_CD"));
        ASSERT_TRUE(message);
        EXPECT_EQ(message->rfind(bad, 0), 0u) << *message;
    }
    const auto folder =
        CheckHandOver("/a\"b", {}, BuildHandOver("/a\"b", choice, {}, {}, "MP3_CD"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->rfind("/a\"b", 0), 0u);
    EXPECT_FALSE(CheckHandOver("/p", {"/m/ok.wav"},
                               BuildHandOver("/p", choice, {"/m/ok.wav"}, {}, "MP3_CD")));
}

TEST_F(WriterCommand, StartingTrelvikLogsTheCommandStartsItAndEndsSonvale) {
    const fs::path started = dir_ / "started";
    std::ofstream(dir_ / "Trelvik") << "#!/bin/sh\ntouch '" << started.string() << "'\n";
    fs::permissions(dir_ / "Trelvik", fs::perms::owner_all);
    TApplication* saved = Application;
    TApplication app(nullptr);
    Application = &app;
    Strings log;
    const HandOver h = BuildHandOver(dir_.string(), {}, {"/m/a.wav"}, {}, "MP3_CD");
    StartTrelvik(dir_.string(), h, [&](const std::string& line) { log.push_back(line); });
    app.ProcessMessages();
    EXPECT_TRUE(app.Terminated());
    Application = saved;
    EXPECT_EQ(log, (Strings{"書込み実行", h.writeDir}));
    for (int i = 0; i < 500 && !fs::exists(started); ++i) usleep(10000);
    EXPECT_TRUE(fs::exists(started));
}

TEST_F(WriterCommand, ATrelvikThatCannotStartIsToldAndSonvaleGoesOn) {
    TApplication* saved = Application;
    TApplication app(nullptr);
    Application = &app;
    test::ScriptedDialogs dialogs;
    const HandOver h = BuildHandOver(dir_.string(), {}, {"/m/a.wav"}, {}, "MP3_CD");
    {
        TIniFile ini((dir_ / "main.ini").string());
        WriteHandOver(ini, h);
    }
    Strings log;
    EXPECT_FALSE(
        StartTrelvik(dir_.string(), h, [&](const std::string& line) { log.push_back(line); }));
    app.ProcessMessages();
    EXPECT_FALSE(app.Terminated());
    Application = saved;
    const std::string why = (dir_ / "Trelvik").string() + "を起動できませんでした。";
    EXPECT_EQ(dialogs.Calls, (std::vector<test::DialogCall>{
                                 {"MessageBox", why, "Error Msg", MB_OK | MB_ICONERROR}}));
    EXPECT_EQ(TIniFile((dir_ / "main.ini").string()).ReadString("WORK", "MODE", "?"), "");
    EXPECT_EQ(log.back(), "■■■■■" + why);
}

namespace {

struct Fmt {
    std::uint16_t tag = 1, channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    bool extensible = false, listFirst = false, data = true;
};

void WriteWav(const fs::path& path, const Fmt& f) {
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) out.put(static_cast<char>(v >> 8 * k));
    };
    out << "RIFF" << std::string(4, '\0') << "WAVE";
    if (f.listFirst) out << "LIST" << '\3' << std::string(3, '\0') << "abc" << '\0';
    out << "fmt ";
    put(f.extensible ? 40 : 16, 4);
    put(f.extensible ? 0xFFFE : f.tag, 2), put(f.channels, 2), put(f.rate, 4);
    put(f.rate * f.channels * f.bits / 8, 4), put(f.channels * f.bits / 8, 2), put(f.bits, 2);
    if (f.extensible) {
        put(22, 2), put(f.bits, 2), put(3, 4), put(f.tag, 2);
        out << std::string(14, '\0');
    }
    if (f.data) out << "data" << std::string(8, '\0');
}

} // namespace

TEST_F(WriterCommand, OnlyCdAudioWavsPassAndTheFirstOtherIsNamed) {
    struct Case {
        const char* name;
        Fmt fmt;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"cd audio", {}, true},
        {"extensible pcm", {.extensible = true}, true},
        {"odd chunk first", {.listFirst = true}, true},
        {"mono", {.channels = 1}, false},
        {"48 kHz", {.rate = 48000}, false},
        {"8-bit", {.bits = 8}, false},
        {"float", {.tag = 3, .bits = 32}, false},
        {"extensible float", {.tag = 3, .bits = 32, .extensible = true}, false},
        {"no data", {.data = false}, false},
    };
    const fs::path good = dir_ / "good.wav";
    WriteWav(good, {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path wav = dir_ / ("曲 " + std::string(c.name) + ".wav");
        WriteWav(wav, c.fmt);
        const auto message = CheckDiscWavs({good.string(), wav.string(), good.string()});
        EXPECT_EQ(!message, c.ok);
        if (message) {
            EXPECT_EQ(message->rfind(wav.string() + " は", 0), 0u) << *message;
        }
    }
    std::ofstream(dir_ / "text.wav") << "not a wave file at all";
    for (const fs::path& bad : {dir_ / "missing.wav", dir_ / "text.wav"}) {
        const auto message = CheckDiscWavs({bad.string()});
        ASSERT_TRUE(message);
        EXPECT_EQ(message->rfind(bad.string(), 0), 0u) << *message;
    }
}
