#include "tests/e2e/user_steps.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>

using namespace std::chrono_literals;

namespace sv::e2e {

namespace {

constexpr int kShiftKey = 50;
constexpr int kReturnKey = 36;

// Evdev key code and whether Shift is needed; 0 for a character without a key here.
std::pair<int, bool> KeyFor(char c) {
    static const char* const rows[] = {"1234567890-", "qwertyuiop", "asdfghjkl", "zxcvbnm,./"};
    static const int firstCodes[] = {10, 24, 38, 52};
    if (c == '_') return {20, true};
    if (c == '\0') return {0, false};
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int r = 0; r < 4; ++r)
        if (const char* at = std::strchr(rows[r], lower); at)
            return {firstCodes[r] + static_cast<int>(at - rows[r]), lower != c};
    return {0, false};
}

} // namespace

void TypeText(XDisplay& display, const std::string& text) {
    for (char c : text) {
        const auto [key, shift] = KeyFor(c);
        ASSERT_NE(key, 0) << "no key for " << c;
        if (shift) display.Key(kShiftKey, true);
        display.Tap(key);
        if (shift) display.Key(kShiftKey, false);
    }
    display.Sync();
}

namespace {

// The menu bar takes 20 rows of the client area, the mode buttons the next 33. The pauses are
// long enough for a sanitized build on a busy machine.
void ChooseMode(XDisplay& display, int modeButtonX) {
    display.MovePointer(modeButtonX, 136);
    display.Sync();
    std::this_thread::sleep_for(500ms);
    display.Click(modeButtonX, 136);
    display.Sync();
    std::this_thread::sleep_for(1s);
}

} // namespace

void StartConversion(XDisplay& display, int modeButtonX, const std::filesystem::path& source) {
    ChooseMode(display, modeButtonX);
    display.Click(619, 234); // 追加
    display.Sync();
    std::this_thread::sleep_for(4s);
    TypeText(display, source.string());
    display.Tap(kReturnKey);
    display.Sync();
    std::this_thread::sleep_for(1s);
    display.Click(185, 485); // 実　行
    display.Sync();
}

void StartRip(XDisplay& display, const std::string& base) {
    ChooseMode(display, kCdWavModeX);
    display.Click(718, 261); // ベース名
    display.Sync();
    std::this_thread::sleep_for(300ms);
    TypeText(display, base);
    display.Click(592, 444); // 実　行
    display.Sync();
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
