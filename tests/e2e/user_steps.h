#pragma once
// What a user does in Sonvale's window on a private X display, for whole-program tests:
// starting a conversion job through the mode button, the add dialog and the run button,
// starting a rip, and starting a disc copy. The window is expected at (100, 100) (main.ini LEFT and
// TOP; there is no window manager).
#include "tests/e2e/program_folder.h"
#include "tests/e2e/x_display.h"

#include <filesystem>
#include <optional>
#include <string>

namespace sv::e2e {

// X of the mode buttons on the window's button row.
inline constexpr int kWavMp3ModeX = 396;
inline constexpr int kMp3WavModeX = 480;
inline constexpr int kCdWavModeX = 563;
inline constexpr int kCdMp3ModeX = 144;
inline constexpr int kCdCdModeX = 647;

// Moves to the mode button and clicks it.
void ChooseMode(XDisplay& display, int modeButtonX);
// Clicks the add button at (x, y) and types `path` into the file dialog.
void AddThroughDialog(XDisplay& display, int x, int y, const std::filesystem::path& path);

// Chooses the mode, adds `source` through the add dialog and presses the run button.
void StartConversion(XDisplay& display, int modeButtonX, const std::filesystem::path& source);

// Chooses "CD→WAV" (or "CD→MP3"), types `base` as the base name and presses the run button;
// the tracks of the first drive are ripped into the save folder of main.ini.
void StartRip(XDisplay& display, const std::string& base, int modeButtonX = kCdWavModeX);

// Chooses "CD→CD", moves list item `item` (from 0) up `up` times with ▲ and presses the run
// button.
void StartDiscCopy(XDisplay& display, int item, int up);

// What came of a hand-over to Trelvik.
struct HandOverRun {
    std::optional<int> sonvaleStatus; // Sonvale's exit status, once it ended
    bool written = false;             // the writer left its record
    bool restarted = false;           // Trelvik started Sonvale again
};
// After the run button of a disc write, with WAIT 0: waits until Sonvale (`sonvale`) has handed
// over and ended, puts a recording Sonvale that touches `restarted` in its place, waits until the
// writer has written `args`, and answers Trelvik's result box until Sonvale is started again.
HandOverRun FollowHandOver(XDisplay& display, ProgramFolder& folder, pid_t sonvale,
                           const std::filesystem::path& args,
                           const std::filesystem::path& restarted);

// A 16-bit stereo 44.1 kHz WAV of `samples` sample frames.
void WriteStereoWav(const std::filesystem::path& path, int samples);

} // namespace sv::e2e
