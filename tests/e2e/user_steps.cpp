#include "tests/e2e/user_steps.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>

using namespace std::chrono_literals;

namespace sv::e2e {

void ChooseMode(XDisplay& display, int modeButtonX) {
    // The menu bar takes 20 rows of the client area, the mode buttons the next 33. The pauses
    // are long enough for a sanitized build on a busy machine.
    display.MovePointer(modeButtonX, 136);
    display.Sync();
    std::this_thread::sleep_for(500ms);
    display.Click(modeButtonX, 136);
    display.Sync();
    std::this_thread::sleep_for(1s);
}

void AddThroughDialog(XDisplay& display, int x, int y, const std::filesystem::path& path) {
    display.Click(x, y);
    display.Sync();
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(display.Type(path.string())) << "no keys for " << path;
    display.Tap(XDisplay::kReturn);
    display.Sync();
    std::this_thread::sleep_for(1s);
}

void StartConversion(XDisplay& display, int modeButtonX, const std::filesystem::path& source) {
    ChooseMode(display, modeButtonX);
    AddThroughDialog(display, 619, 234, source); // 追加
    display.Click(185, 485);                     // 実　行
    display.Sync();
}

void StartRip(XDisplay& display, const std::string& base, int modeButtonX) {
    ChooseMode(display, modeButtonX);
    display.Click(718, 261); // ベース名
    display.Sync();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(display.Type(base)) << "no keys for " << base;
    display.Click(592, 444); // 実　行
    display.Sync();
}

void StartDiscCopy(XDisplay& display, int item, int up) {
    ChooseMode(display, kCdCdModeX);
    display.Click(200, 275 + 14 * item); // the list's rows are 14 pixels high
    display.Sync();
    std::this_thread::sleep_for(300ms);
    for (int k = 0; k < up; ++k) {
        display.Click(122, 325); // ▲
        display.Sync();
        std::this_thread::sleep_for(300ms);
    }
    display.Click(592, 292); // 実　行
    display.Sync();
}

HandOverRun FollowHandOver(XDisplay& display, ProgramFolder& folder, pid_t sonvale,
                           const std::filesystem::path& args,
                           const std::filesystem::path& restarted) {
    HandOverRun run;
    run.sonvaleStatus = WaitExit(sonvale, 60s);
    if (!run.sonvaleStatus) {
        KillAndReap(sonvale);
        return run;
    }
    std::filesystem::remove(folder.Dir() / "Sonvale");
    MakeScript(folder.Dir() / "Sonvale", "touch '" + restarted.string() + "'");
    // WAIT 0: the write starts on the first tick. The result box is centred on the 1024 x 768
    // screen.
    run.written = WaitUntil([&] { return std::filesystem::exists(args); }, 30s);
    run.restarted = WaitUntil(
        [&] {
            display.MovePointer(502, 344);
            display.Tap(XDisplay::kReturn);
            display.Sync();
            return WaitUntil([&] { return std::filesystem::exists(restarted); }, 500ms);
        },
        30s);
    EndProgramsOf(folder.Dir());
    return run;
}

void WriteStereoWav(const std::filesystem::path& path, int samples) {
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) out.put(static_cast<char>(v >> 8 * k));
    };
    const uint32_t data = static_cast<uint32_t>(samples) * 4;
    out << "RIFF";
    put(36 + data, 4);
    out << "WAVEfmt ";
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
    out << "data";
    put(data, 4);
    for (int i = 0; i < samples; ++i) put((i * 37) & 0x3FFF, 2), put((i * 53) & 0x3FFF, 2);
}

} // namespace sv::e2e
