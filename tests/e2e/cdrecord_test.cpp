// The writer command of the program folder, run as Trelvik runs it, with a recording program in
// wodim's place.
#include "platform/process.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

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
