#include "app/conv_jobs.h"

#include "app/conv_paths.h"
#include "app/decoder.h"
#include "encoder/gogo_tea.h"
#include "framework/forms.h"
#include "framework/messages.h"
#include "platform/file_ops.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace sv::app {

TeaEncoder::TeaEncoder(TGogoTea& tea) : tea_(tea) {
    tea_.OnError = [this](TObject*, int code) { errorCode_ = code; };
    tea_.OnFinish = [this](TObject*, bool aborted) {
        aborted_ = aborted;
        running_ = false;
    };
}

TeaEncoder::~TeaEncoder() {
    tea_.OnError = nullptr;
    tea_.OnFinish = nullptr;
}

void TeaEncoder::Configure(int bitRate, int encodeType) {
    tea_.SetBitrate(bitRate);
    tea_.SetEncodeType(static_cast<TEncodeType>(encodeType));
}

void TeaEncoder::Start(const std::string& source, const std::string& destination) {
    tea_.SetSourceFile(source);
    tea_.SetDestFile(destination);
    errorCode_ = 0;
    aborted_ = false;
    tea_.Execute();
    running_ = true;
}

EncodeOutcome TeaEncoder::WaitForFinish() {
    // IsEncoding turns false with an error already; the finish event comes after it.
    while (running_) Application->HandleMessage();
    return {!aborted_ && errorCode_ == 0, errorCode_};
}

std::string EncodeTypeText(int encodeType) {
    static const std::array<const char*, 5> texts = {"モノラル", "ステレオ", "ジョイントステレオ",
                                                     "MSステレオ", "デュアルチャンネル"};
    if (encodeType < 0 || encodeType >= static_cast<int>(texts.size())) return {};
    return texts[static_cast<std::size_t>(encodeType)];
}

namespace {

enum class ItemStart { Convert, Skip, Stop };

// Whether an item goes ahead: never onto itself, and an existing destination only when the
// user lets it be replaced.
ItemStart PrepareDestination(const std::string& source, const std::string& destination,
                             JobView& view) {
    if (SameFile(source, destination)) {
        view.WriteLog("■■■■■" + source + "変換先が元のファイルと同じため処理しません");
        return ItemStart::Skip;
    }
    if (!platform::Files().FileExists(destination)) return ItemStart::Convert;
    switch (AskOverwrite(destination)) {
    case OverwriteAnswer::Convert:
        return ItemStart::Convert;
    case OverwriteAnswer::Skip:
        return ItemStart::Skip;
    case OverwriteAnswer::Stop:
        break;
    }
    return ItemStart::Stop;
}

// Runs `convert`(source, destination) for every item that goes ahead; false when the job
// ended early.
template <class Convert>
bool ForEachItem(const std::vector<std::string>& items, std::string_view extension,
                 const ConvSettings& settings, JobView& view, Convert convert) {
    const int count = static_cast<int>(items.size());
    for (int k = 0; k < count; ++k) {
        const std::string& source = items[static_cast<std::size_t>(k)];
        view.ShowItem(k + 1, count, PathFileName(source));
        const std::string destination =
            ConvertedPath(source, extension, settings.sameFolder, settings.saveFolder);
        const ItemStart start = PrepareDestination(source, destination, view);
        if (start == ItemStart::Stop) return false;
        if (start == ItemStart::Convert && !convert(source, destination)) return false;
    }
    return true;
}

} // namespace

void EncodeList(const std::vector<std::string>& items, const ConvSettings& settings,
                ItemEncoder& encoder, JobView& view) {
    view.ShowInfo("BitRate:", std::to_string(settings.bitRate) + "Kbps", "EncodeType:");
    const std::string typeText = EncodeTypeText(settings.encodeType);
    if (typeText.empty()) {
        Application->MessageBox("EncodeType Load Error", "Error Msg", MB_OK);
        return;
    }
    view.SetInfoValue2(typeText);
    encoder.Configure(settings.bitRate, settings.encodeType);

    auto encodeOne = [&](const std::string& source, const std::string& destination) {
        encoder.Start(source, destination);
        view.WriteLog(source + "エンコード開始");
        const EncodeOutcome outcome = encoder.WaitForFinish();
        if (!outcome.ok) {
            // The source stays: there is no MP3 to replace it.
            view.WriteLog("■■■■■" + source + "エンコード失敗(エラーコード " +
                          std::to_string(outcome.errorCode) + ")");
            return true;
        }
        if (view.DeleteSourceDown() && !DeleteSourceStep(source, view)) return false;
        view.WriteLog(source + "エンコード成功");
        return true;
    };
    if (!ForEachItem(items, ".mp3", settings, view, encodeOne)) return;
    view.HideInfo();
}

namespace {

std::string SamplingRateText(int freqLimit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<unsigned>(freqLimit) * 0.001);
    return std::string(text) + "kHz";
}

std::string ConvertText(int convert) {
    if (convert == 0) return "ステレオ";
    if (convert == 1) return "モノラル";
    return "???";
}

bool OpenSource(DecoderLibrary& decoder, const std::string& source, DecoderFileInfo& info) {
    decoder.CloseFile();
    if (decoder.OpenFile(source, info)) return true;
    Application->MessageBox(source + " File Open Error!!", "ErrorMessage", MB_ICONEXCLAMATION);
    return false;
}

} // namespace

void DecodeList(const std::vector<std::string>& items, const ConvSettings& settings,
                JobView& view) {
    DecoderLibrary& decoder = Decoder();
    decoder.StartUp();
    view.ShowInfo("SamplingRate:", SamplingRateText(settings.freqLimit), "Convert:");
    view.SetInfoValue2(ConvertText(settings.convert));
    view.SetProgress(0);

    auto decodeOne = [&](const std::string& source, const std::string& destination) {
        DecoderFileInfo info{};
        if (!OpenSource(decoder, source, info)) return false;
        if (!decoder.SetOutput({0, settings.convert, settings.freqLimit})) {
            // The decoder would go on with its earlier output settings: a WAV other than the
            // one asked for, and no reason to let the source go.
            const int error = decoder.LastError();
            decoder.CloseFile();
            view.WriteLog("■■■■■" + source + "デコード失敗(" + DecoderErrorText(error) + ")");
            return true;
        }
        // Opened again: the output settings apply to files opened after them.
        if (!OpenSource(decoder, source, info)) return false;
        view.WriteLog(source + "デコード開始");
        view.PumpMessages();
        if (!decoder.BeginWave(destination)) {
            Application->MessageBox(source + " Decode Error!!", "ErrorMessage", MB_ICONEXCLAMATION);
            return false;
        }
        bool more = true;
        while (more) {
            int32_t position = 0;
            more = decoder.Step(position);
            if (info.totalFrames > 0)
                view.SetProgress(static_cast<int>(int64_t{position} * 100 / info.totalFrames));
            view.PumpMessages();
        }
        const int result = decoder.LastError();
        view.PumpMessages();
        view.Pause(std::max(settings.decWait, 0));
        if (result != DECODER_OK) {
            // A short WAV is no replacement for its source.
            decoder.CloseFile();
            view.WriteLog("■■■■■" + source + "デコード失敗(" + DecoderErrorText(result) + ")");
            return true;
        }
        if (view.DeleteSourceDown()) {
            decoder.CloseFile();
            if (!DeleteSourceStep(source, view)) return false;
        }
        view.WriteLog(source + "デコード成功");
        return true;
    };
    if (!ForEachItem(items, ".wav", settings, view, decodeOne)) return;
    view.HideInfo();
    decoder.ShutDown();
}

} // namespace sv::app
