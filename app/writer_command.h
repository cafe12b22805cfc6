#pragma once
// The disc write Sonvale prepares and hands to Trelvik: the writer's command line, the lists of
// WAV files in section WORK of main.ini, the checks made before anything is handed over, and
// the start of Trelvik.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv {
class TIniFile;
}

namespace sv::app {

// The items of the speed combos of both disc-writing pages, in index order, with the value the
// writer gets for each.
struct WriterSpeedItem {
    std::string_view text;
    int value;
};
inline constexpr WriterSpeedItem kWriterSpeeds[] = {
    {"等倍速", 0},  {"2倍速", 2},   {"4倍速", 4},   {"6倍速", 6},    {"8倍速", 8},
    {"12倍速", 12}, {"16倍速", 16}, {"20倍速", 20}, {"24倍速", 24},  {"32倍速", 32},
    {"40倍速", 40}, {"48倍速", 48}, {"52倍速", 52}, {"最高速", 999},
};
// The value for any other index, no selection (-1) included.
inline constexpr int kWriterSpeedOther = 8;

int WriterSpeed(int speedIndex);

// The drive address of a drive combo text "<name> (N:0:0)": the five characters in front of its
// last one, or the whole bracketed address where it has more digits, ":" turned into ","; empty
// for a text of fewer than six characters.
std::string WriterDriveAddress(std::string_view driveText);

// The WAV file a disc-list item stands for: an ".mp3" item the WAV of the same name beside it,
// a ".wav" item itself (extensions compared in lower case); nothing for any other item.
std::optional<std::string> DiscWavOf(std::string_view item);

// The WAV files of a disc list, in list order.
std::vector<std::string> DiscWavs(const std::vector<std::string>& items);

// What the writer needs besides the files.
struct WriterChoice {
    std::string driveText;
    int speedIndex = -1;
    int burnProof = 0; // only 1 asks for burn-proof writing
};

// The writer's command line: the quoted writer command of the program folder, dev=, speed=,
// driveropts=burnproof, the fixed switches and every WAV of the list in double quotes.
std::string WriterCommandLine(std::string_view programDir, const WriterChoice& choice,
                              const std::vector<std::string>& items);

// The four WORK values as Trelvik reads them back (the settings file keeps their quotes and
// blanks: the command line and the DELDIR list begin and end with a double quote, SIZE with a
// blank).
struct HandOver {
    std::string writeDir;
    std::string size;
    std::string delDir;
    std::string mode;
};

// `createdWavs`: the WAV files this job made, deleted after the write.
HandOver BuildHandOver(std::string_view programDir, const WriterChoice& choice,
                       const std::vector<std::string>& items,
                       const std::vector<std::string>& createdWavs, std::string_view mode);

// A message when the hand-over cannot reach Trelvik whole: a value the settings reader would
// return cut (Trelvik takes a command of the reader's full length as cut), or a path holding a
// double quote or a line break, which the lists cannot carry. Nothing when it can.
std::optional<std::string> CheckHandOver(std::string_view programDir,
                                         const std::vector<std::string>& wavs,
                                         const HandOver& handOver);

// A message naming two items of a disc list that stand for one WAV file ("a.mp3" and "a.MP3",
// or "a.mp3" and "a.wav"): the disc would get one file's audio twice and never the other's.
// Nothing when each item stands for a WAV of its own.
std::optional<std::string> CheckDiscTwins(const std::vector<std::string>& items);

// A message naming the first file that cannot be read; nothing when all can.
std::optional<std::string> CheckReadable(const std::vector<std::string>& files);

// A message naming the first file that is missing or is not the 44.1 kHz, 16-bit, stereo PCM
// WAV the writer takes; nothing when all can be written.
std::optional<std::string> CheckDiscWavs(const std::vector<std::string>& wavs);

// Arms section WORK: WRITEDIR, DELDIR, SIZE, then MODE, so the section counts as armed only once
// everything else is in place. Raises the settings' write error.
void WriteHandOver(TIniFile& ini, const HandOver& handOver);

// Disarms it: WRITEDIR, DELDIR and MODE emptied in this order (SIZE keeps its value).
void DisarmHandOver(TIniFile& ini);

// A message when a disc is being written: a Trelvik holds its lock, and section WORK and the
// files it names are that write's until its clean-up. Nothing when no write runs.
std::optional<std::string> CheckNoWriteRunning();

// What showing a disc-writing page does: a hand-over that was prepared and not carried out is
// disarmed, but never the one a running Trelvik works from.
void ForgetHandOver(TIniFile& ini);

// Logs "書込み実行" and the command line, lets pending messages run once, starts
// <programDir>/Trelvik and asks the application to end. When Trelvik cannot be started the user is
// told, the section is disarmed and Sonvale goes on: false.
bool StartTrelvik(std::string_view programDir, const HandOver& handOver,
                  const std::function<void(const std::string&)>& writeLog);

} // namespace sv::app
