// The writer command when its output has nowhere to go: Trelvik, which carries that output, may
// have been ended (a desktop's "force quit" of its frozen window) while the disc is written.
#include "platform/process.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Cdrecord, AWriteRunsToItsEndWhenNobodyReadsItsOutputAnyMore) {
    const fs::path dir =
        fs::temp_directory_path() / ("sv-cdrecord-out " + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path done = dir / "done";
    const fs::path writer = dir / "writer";
    std::ofstream(writer) << "#!/bin/sh\necho one\nsleep 0.3\necho two\necho three >&2\ntouch '"
                          << done.string() << "'\n";
    fs::permissions(writer, fs::perms::owner_all);
    const fs::path run = dir / "run";
    std::ofstream(run) << "#!/bin/sh\n'" SV_BIN_DIR "/cdrecord' dev=1,0,0 -audio 2>&1 | true\n";
    fs::permissions(run, fs::perms::owner_all);

    setenv("SV_WRITER_PROGRAM", writer.c_str(), 1);
    sv::platform::RunAndWait("\"" + run.string() + "\"");
    unsetenv("SV_WRITER_PROGRAM");
    EXPECT_TRUE(fs::exists(done));
    fs::remove_all(dir);
}
