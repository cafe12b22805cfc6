#include "app/decoder.h"

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
    switch (code) {
    case DECODER_OK:
        return "正常終了";
    case DECODER_ERROR_NOT_STARTED:
        return "デコーダが初期化されていません";
    case DECODER_ERROR_ARGUMENT:
        return "デコーダへの指定が不正です";
    case DECODER_ERROR_NO_FILE:
        return "MP3ファイルが開かれていません";
    case DECODER_ERROR_OPEN:
        return "ファイルを読み込めません";
    case DECODER_ERROR_NOT_MPEG:
        return "MP3ファイルではありません";
    case DECODER_ERROR_OUTPUT:
        return "指定のサンプリングレートに変換できません";
    case DECODER_ERROR_CREATE_WAVE:
        return "WAVファイルを作成できません";
    case DECODER_ERROR_WRITE:
        return "WAVファイルに書き込めません";
    case DECODER_ERROR_DECODE:
        return "デコードが途中で失敗しました";
    case DECODER_ERROR_ABORTED:
        return "デコードが中断されました";
    case DECODER_ERROR_NO_WAVE:
        return "WAVファイルが開かれていません";
    default:
        return "デコーダのエラー " + std::to_string(code);
    }
}

} // namespace sv
