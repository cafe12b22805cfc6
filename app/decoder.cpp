#include "app/decoder.h"

#include "platform/library.h"

#include <iterator>

namespace sv {

namespace {

// The library's entry points, typed by its header.
struct Entries {
    decltype(&::DecoderStartUp) startUp = nullptr;
    decltype(&::DecoderCloseFile) closeFile = nullptr;
    decltype(&::DecoderOpenFile) openFile = nullptr;
    decltype(&::DecoderSetOutput) setOutput = nullptr;
    decltype(&::DecoderBeginWave) beginWave = nullptr;
    decltype(&::DecoderStep) step = nullptr;
    decltype(&::DecoderShutDown) shutDown = nullptr;
    decltype(&::DecoderLastError) lastError = nullptr;
    std::string error; // empty once every entry point is there
};

template <class F>
bool Resolve(platform::LibraryHandle library, const char* name, F& entry, std::string& error) {
    entry = reinterpret_cast<F>(platform::LibrarySymbol(library, name));
    if (!entry && error.empty()) error = platform::LastLibraryError();
    return entry != nullptr;
}

Entries Load() {
    Entries e;
    platform::LibraryHandle library = platform::LoadProgramLibrary(kDecoderLibraryFile, &e.error);
    if (!library) {
        if (e.error.empty()) e.error = std::string(kDecoderLibraryFile) + ": not found";
        return e;
    }
    const bool all = Resolve(library, "DecoderStartUp", e.startUp, e.error) &&
                     Resolve(library, "DecoderCloseFile", e.closeFile, e.error) &&
                     Resolve(library, "DecoderOpenFile", e.openFile, e.error) &&
                     Resolve(library, "DecoderSetOutput", e.setOutput, e.error) &&
                     Resolve(library, "DecoderBeginWave", e.beginWave, e.error) &&
                     Resolve(library, "DecoderStep", e.step, e.error) &&
                     Resolve(library, "DecoderShutDown", e.shutDown, e.error) &&
                     Resolve(library, "DecoderLastError", e.lastError, e.error);
    if (!all) {
        // A library without all its entry points is not used at all.
        platform::UnloadLibrary(library);
        Entries none;
        none.error =
            e.error.empty() ? std::string(kDecoderLibraryFile) + ": entry point missing" : e.error;
        return none;
    }
    return e;
}

const Entries& Library() {
    static const Entries entries = Load();
    return entries;
}

} // namespace

std::string BindDecoderLibrary() {
    return Library().error;
}

void DecoderLibrary::StartUp() {
    if (Library().startUp) Library().startUp();
}
void DecoderLibrary::CloseFile() {
    if (Library().closeFile) Library().closeFile();
}
bool DecoderLibrary::OpenFile(const std::string& path, DecoderFileInfo& info) {
    return Library().openFile && Library().openFile(path.c_str(), &info) != 0;
}
bool DecoderLibrary::SetOutput(const DecoderOutputOptions& options) {
    return Library().setOutput && Library().setOutput(&options) != 0;
}
bool DecoderLibrary::BeginWave(const std::string& path) {
    return Library().beginWave && Library().beginWave(path.c_str()) != 0;
}
bool DecoderLibrary::Step(int32_t& position) {
    return Library().step && Library().step(&position) != 0;
}
void DecoderLibrary::ShutDown() {
    if (Library().shutDown) Library().shutDown();
}
int DecoderLibrary::LastError() {
    return Library().lastError ? Library().lastError() : DECODER_ERROR_NOT_STARTED;
}

namespace {
DecoderLibrary* replacement = nullptr;
}

DecoderLibrary& Decoder() {
    static DecoderLibrary library;
    return replacement ? *replacement : library;
}

void SetDecoder(DecoderLibrary* decoder) {
    replacement = decoder;
}

std::string DecoderErrorText(int code) {
    // By code, from DECODER_OK up.
    static const char* const texts[] = {
        "正常終了",
        "デコーダが初期化されていません",
        "デコーダへの指定が不正です",
        "MP3ファイルが開かれていません",
        "ファイルを読み込めません",
        "MP3ファイルではありません",
        "指定のサンプリングレートに変換できません",
        "WAVファイルを作成できません",
        "WAVファイルに書き込めません",
        "デコードが途中で失敗しました",
        "デコードが中断されました",
        "WAVファイルが開かれていません",
        "出力先がデコード中のMP3ファイルと同じです",
    };
    static_assert(std::size(texts) == DECODER_ERROR_SAME_FILE + 1);
    if (code >= 0 && code < static_cast<int>(std::size(texts))) return texts[code];
    return "デコーダのエラー " + std::to_string(code);
}

} // namespace sv
