#include "app/writer_command.h"

#include "app/conv_paths.h"
#include "framework/forms.h"
#include "framework/ini_file.h"
#include "outside/include/wav_audio.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/settings_keys.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace sv::app {

namespace {

constexpr std::string_view kWriterProgram = "cdrecord";
constexpr std::string_view kTrelvikProgram = "Trelvik";

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    out += text;
    out += '"';
    return out;
}

// " \"a\" \"b\"": the WAV part of the command line, and the SIZE value.
std::string WavOperands(const std::vector<std::string>& wavs) {
    std::string out;
    for (const std::string& wav : wavs) out += " " + Quoted(wav);
    return out;
}

std::string UnreadableMessage(const std::string& path) {
    return path + " が読み込めません。中止します。";
}

enum class WavCheck { ok, unreadable, wrongFormat };

// Only 44.1 kHz, 16-bit, stereo PCM goes on an audio disc as it is. The chunks are walked by
// RIFF's rule; the writer command hands wodim a file that it would walk otherwise.
WavCheck CheckWav(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) return WavCheck::unreadable;
    const wav::Audio audio = wav::FindAudio(file.get(), wav::ChunkWalk::Riff);
    if (!audio.readable) return WavCheck::unreadable;
    return audio.IsCdAudio() ? WavCheck::ok : WavCheck::wrongFormat;
}

// "N:N:N" of any digit counts.
bool IsDriveAddress(std::string_view text) {
    int parts = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == ':' && digits > 0 && parts < 2) {
            ++parts;
            digits = 0;
        } else {
            return false;
        }
    }
    return parts == 2 && digits > 0;
}

} // namespace

int WriterSpeed(int speedIndex) {
    if (speedIndex < 0 || speedIndex >= static_cast<int>(std::size(kWriterSpeeds)))
        return kWriterSpeedOther;
    return kWriterSpeeds[speedIndex].value;
}

std::string WriterDriveAddress(std::string_view driveText) {
    if (driveText.size() < 6) return {};
    // Five characters would cut "(10:0:0)" to drive 0's address: take a bracketed address whole.
    std::string_view inBrackets;
    if (const auto open = driveText.rfind('('); open != std::string_view::npos)
        inBrackets = driveText.substr(open + 1, driveText.size() - open - 2);
    std::string address(driveText.back() == ')' && IsDriveAddress(inBrackets)
                            ? inBrackets
                            : driveText.substr(driveText.size() - 6, 5));
    for (char& c : address)
        if (c == ':') c = ',';
    return address;
}

std::optional<std::string> DiscWavOf(std::string_view item) {
    const std::string extension = platform::ToLowerAscii(PathExtension(item));
    if (extension == ".mp3") return ChangePathExtension(item, ".wav");
    if (extension == ".wav") return std::string(item);
    return std::nullopt;
}

std::vector<std::string> DiscWavs(const std::vector<std::string>& items) {
    std::vector<std::string> wavs;
    for (const std::string& item : items)
        if (auto wav = DiscWavOf(item)) wavs.push_back(std::move(*wav));
    return wavs;
}

std::string WriterCommandLine(std::string_view programDir, const WriterChoice& choice,
                              const std::vector<std::string>& items) {
    std::string line = Quoted(platform::JoinPath(programDir, kWriterProgram));
    line += " dev=" + WriterDriveAddress(choice.driveText);
    line += " speed=" + std::to_string(WriterSpeed(choice.speedIndex));
    if (choice.burnProof == 1) line += " driveropts=burnproof";
    line += settings::kWriterSwitches;
    line += WavOperands(DiscWavs(items));
    return line;
}

HandOver BuildHandOver(std::string_view programDir, const WriterChoice& choice,
                       const std::vector<std::string>& items,
                       const std::vector<std::string>& createdWavs, std::string_view mode) {
    HandOver h;
    h.writeDir = WriterCommandLine(programDir, choice, items);
    h.size = WavOperands(DiscWavs(items));
    for (const std::string& wav : createdWavs)
        h.delDir += (h.delDir.empty() ? "" : ",") + Quoted(wav);
    h.mode = std::string(mode);
    return h;
}

std::optional<std::string> CheckHandOver(std::string_view programDir,
                                         const std::vector<std::string>& wavs,
                                         const HandOver& handOver) {
    std::vector<std::string_view> paths{programDir};
    paths.insert(paths.end(), wavs.begin(), wavs.end());
    for (std::string_view path : paths)
        if (path.find_first_of("\"\r\n") != std::string_view::npos)
            return std::string(path) +
                   " は名前に使えない文字（\"や改行）を含むため書き込めません。中止します。";
    // The quotes the settings file may put around a value are taken off before the reader's cut.
    for (std::string_view value : {handOver.writeDir, handOver.size, handOver.delDir})
        if (platform::CodePointCount(value) >= platform::kProfileValueLimit)
            return "書込みデータが多すぎるか、ファイルの場所が長すぎます（書込みコマンドは" +
                   std::to_string(platform::kProfileValueLimit - 1) +
                   "文字まで）。曲数を減らすか、短い名前のフォルダに移して下さい。中止します。";
    return std::nullopt;
}

std::optional<std::string> CheckDiscTwins(const std::vector<std::string>& items) {
    std::vector<std::pair<std::string, std::string>> seen; // WAV, item
    for (const std::string& item : items) {
        const std::optional<std::string> wav = DiscWavOf(item);
        if (!wav) continue;
        for (const auto& [otherWav, other] : seen)
            if (otherWav == *wav)
                return other + " と " + item + " はどちらも " + *wav +
                       " として書き込まれるため、一緒には書き込めません。"
                       "どちらかをリストから外して下さい。中止します。";
        seen.emplace_back(*wav, item);
    }
    return std::nullopt;
}

std::optional<std::string> CheckReadable(const std::vector<std::string>& files) {
    for (const std::string& path : files) {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
        // A folder opens, and fails at the first read.
        if (!file || (std::fgetc(file.get()) == EOF && std::ferror(file.get())))
            return UnreadableMessage(path);
    }
    return std::nullopt;
}

std::optional<std::string> CheckDiscWavs(const std::vector<std::string>& wavs) {
    for (const std::string& wav : wavs) {
        switch (CheckWav(wav)) {
        case WavCheck::ok:
            break;
        case WavCheck::unreadable:
            return UnreadableMessage(wav);
        case WavCheck::wrongFormat:
            return wav + " はCDに書き込めない形式です（44."
                         "1kHz・16ビット・ステレオのWAVだけが書き込めます）。"
                         "中止します。";
        }
    }
    return std::nullopt;
}

void WriteHandOver(TIniFile& ini, const HandOver& handOver) {
    ini.WriteString(settings::kWork, settings::kWriteDir, handOver.writeDir);
    ini.WriteString(settings::kWork, settings::kDelDir, handOver.delDir);
    ini.WriteString(settings::kWork, settings::kSize, handOver.size);
    ini.WriteString(settings::kWork, settings::kMode, handOver.mode);
}

void DisarmHandOver(TIniFile& ini) {
    ini.WriteString(settings::kWork, settings::kWriteDir, "");
    ini.WriteString(settings::kWork, settings::kDelDir, "");
    ini.WriteString(settings::kWork, settings::kMode, "");
}

std::optional<std::string> CheckNoWriteRunning() {
    if (!platform::InstanceLock::IsHeld(platform::kTrelvikInstanceLock)) return std::nullopt;
    // Not "the dialog is open": a writer whose Trelvik was ended by force holds the lock alone.
    return "CDの書込み中です。書込みが終わってから、もう一度実行して下さい。中止します。";
}

void ForgetHandOver(TIniFile& ini) {
    if (!CheckNoWriteRunning()) DisarmHandOver(ini);
}

bool StartTrelvik(std::string_view programDir, const HandOver& handOver,
                  const std::function<void(const std::string&)>& writeLog) {
    writeLog("書込み実行");
    writeLog(handOver.writeDir);
    Application->ProcessMessages();
    const std::string trelvik = platform::JoinPath(programDir, kTrelvikProgram);
    if (platform::StartProgram(trelvik)) {
        Application->Terminate();
        return true;
    }
    // Ending now would leave the user with nothing written and no word why; the armed section
    // would only be run by a later start of Trelvik.
    TIniFile ini(platform::JoinPath(programDir, "main.ini"));
    DisarmHandOver(ini);
    writeLog("■■■■■" + trelvik + "を起動できませんでした。");
    Application->MessageBox(trelvik + "を起動できませんでした。", "Error Msg",
                            MB_OK | MB_ICONERROR);
    return false;
}

} // namespace sv::app
