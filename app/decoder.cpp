#include "app/decoder.h"

#include <iterator>

namespace sv {

void DecoderLibrary::StartUp() {
    DecoderStartUp();
}
void DecoderLibrary::CloseFile() {
    DecoderCloseFile();
}
bool DecoderLibrary::OpenFile(const std::string& path, DecoderFileInfo& info) {
    return DecoderOpenFile(path.c_str(), &info) != 0;
}
bool DecoderLibrary::SetOutput(const DecoderOutputOptions& options) {
    return DecoderSetOutput(&options) != 0;
}
bool DecoderLibrary::BeginWave(const std::string& path) {
    return DecoderBeginWave(path.c_str()) != 0;
}
bool DecoderLibrary::Step(int32_t& position) {
    return DecoderStep(&position) != 0;
}
void DecoderLibrary::ShutDown() {
    DecoderShutDown();
}
int DecoderLibrary::LastError() {
    return DecoderLastError();
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
