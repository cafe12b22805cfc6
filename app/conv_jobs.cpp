#include "app/conv_jobs.h"

#include "app/conv_paths.h"
#include "app/decoder.h"
#include "encoder/gogo_tea.h"
#include "framework/comctrls.h"
#include "framework/extctrls.h"
#include "framework/forms.h"
#include "framework/messages.h"
#include "framework/stdctrls.h"
#include "outside/include/gogo.h"
#include "platform/file_ops.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

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
    try {
        tea_.Execute();
    } catch (const EGogoTeaError&) {
        // The settings are sound, this one file is not: the rest of the list can still be done.
        const int code = tea_.EncodeResult();
        if (code == MPGE_ERR_BAD_SOURCE || code == MPGE_ERR_BAD_DESTINATION)
            throw ItemRefused{code};
        throw;
    }
    running_ = true;
}

EncodeOutcome TeaEncoder::WaitForFinish() {
    // IsEncoding turns false with an error already; the finish event comes after it.
    while (running_) Application->HandleMessage();
    return {!aborted_ && errorCode_ == 0, errorCode_};
}

void ConvJobView::Pause(int milliseconds) {
    if (milliseconds <= 0) return;
    bool elapsed = false;
    TTimer timer(nullptr);
    timer.SetInterval(milliseconds);
    timer.OnTimer = [&elapsed](TObject*) { elapsed = true; };
    timer.SetEnabled(true);
    while (!elapsed) Application->HandleMessage();
}

void ConvJobView::SetProgress(int position) {
    c_.prog_main->SetPosition(position);
}

void ConvJobView::ShowItem(int number, int count, const std::string& fileName) {
    c_.lbl_track->SetCaption(std::to_string(number) + " / " + std::to_string(count));
    c_.lbl_filename2->SetCaption(fileName);
}

void ConvJobView::SetInfoVisible(bool visible) {
    for (TLabel* label : {c_.lbl_filename1, c_.lbl_bitrate1, c_.lbl_enctype1, c_.lbl_filename2,
                          c_.lbl_bitrate2, c_.lbl_enctype2})
        label->SetVisible(visible);
}

void ConvJobView::ShowInfo(const std::string& label1, const std::string& value1,
                           const std::string& label2) {
    SetInfoVisible(true);
    c_.lbl_bitrate1->SetCaption(label1);
    c_.lbl_enctype1->SetCaption(label2);
    c_.lbl_bitrate2->SetCaption(value1);
}

void ConvJobView::SetInfoValue2(const std::string& value) {
    c_.lbl_enctype2->SetCaption(value);
}

void ConvJobView::HideInfo() {
    SetInfoVisible(false);
}

std::string EncodeTypeText(int encodeType) {
    static const std::array<const char*, 5> texts = {"モノラル", "ステレオ", "ジョイントステレオ",
                                                     "MSステレオ", "デュアルチャンネル"};
    if (encodeType < 0 || encodeType >= static_cast<int>(texts.size())) return {};
    return texts[static_cast<std::size_t>(encodeType)];
}

namespace {

constexpr const char* kEncodeFailed = "エンコード失敗";
constexpr const char* kDecodeFailed = "デコード失敗";

// A pause after each decoded file longer than this only keeps the window locked.
constexpr int kMaxDecodeWait = 60000;

// What went wrong, with the library's code where it gave one.
std::string EncodeErrorText(int code) {
    const std::string number = "エラーコード " + std::to_string(code);
    switch (code) {
    case 0:
        return "エンコードが中断されました";
    case MPGE_ERR_BAD_SOURCE:
    case MPGE_ERR_READ:
        return "WAVファイルを読み込めません、" + number;
    case MPGE_ERR_BAD_DESTINATION:
        return "MP3ファイルを作成できません、" + number;
    case MPGE_ERR_WRITE:
        return "MP3ファイルに書き込めません、" + number;
    default:
        return number;
    }
}

enum class ItemStart { Convert, Skip, Stop };

// Whether an item goes ahead: never onto itself, and an existing destination only when the
// user lets it be replaced.
ItemStart PrepareDestination(const std::string& source, const std::string& destination,
                             JobView& view) {
    if (SameFile(source, destination)) {
        view.WriteFailureLog("■■■■■" + source + "変換先が元のファイルと同じため処理しません");
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

CommitOutcome EncodeItem(ItemEncoder& encoder, const std::string& source,
                         const std::string& destination, BasicJobView& view) {
    JobOutput output(destination);
    if (!output.Create()) {
        LogItemFailure(view, source, kEncodeFailed, EncodeErrorText(MPGE_ERR_BAD_DESTINATION));
        return CommitOutcome::Failed;
    }
    try {
        encoder.Start(source, output.Path());
    } catch (const ItemRefused& refused) {
        LogItemFailure(view, source, kEncodeFailed, EncodeErrorText(refused.errorCode));
        return CommitOutcome::Failed;
    }
    view.WriteLog(source + "エンコード開始");
    const EncodeOutcome outcome = encoder.WaitForFinish();
    // A failed item keeps its source: there is no MP3 to replace it.
    if (!outcome.ok) {
        LogItemFailure(view, source, kEncodeFailed, EncodeErrorText(outcome.errorCode));
        return CommitOutcome::Failed;
    }
    return CommitJobOutput(output, source, kEncodeFailed, "MP3", view);
}

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
        const CommitOutcome placed = EncodeItem(encoder, source, destination, view);
        if (placed != CommitOutcome::Done) return placed == CommitOutcome::Failed;
        if (view.DeleteSourceDown() && !DeleteSourceStep(source, view)) return false;
        view.WriteLog(source + "エンコード成功");
        return true;
    };
    if (!ForEachItem(items, ".mp3", settings, view, encodeOne)) return;
    view.HideInfo();
}

void EncodeRippedTracks(TrackTableRef table, const std::vector<int>& ripped, int bitRate,
                        int encodeType, ItemEncoder& encoder, RipView& view) {
    encoder.Configure(bitRate, encodeType);
    for (const int index : ripped) {
        const TrackRecord& r = table[static_cast<std::size_t>(index)];
        // The files as the rip made them (a save folder typed without its full path counts from
        // the working folder): nothing but this job's own WAV is ever deleted.
        std::error_code wavError, mp3Error;
        const std::string wav = std::filesystem::absolute(r.FileName, wavError).string();
        const std::string mp3 = std::filesystem::absolute(r.Mp3Path, mp3Error).string();
        if (wavError || mp3Error) {
            LogItemFailure(view, r.FileName, kEncodeFailed, "作業フォルダが見つかりません");
            continue;
        }
        const CommitOutcome placed = EncodeItem(encoder, wav, mp3, view);
        view.ShowTrack(r.TrackNo);
        if (placed == CommitOutcome::Stop) return;
        if (placed == CommitOutcome::Failed) continue;
        if (!DeleteSourceStep(wav, view)) return;
        view.WriteLog(wav + "エンコード成功");
    }
}

namespace {

std::string SamplingRateText(int freqLimit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", freqLimit / 1000.0);
    return std::string(text) + "kHz";
}

std::string ConvertText(int convert) {
    if (convert == 0) return "ステレオ";
    if (convert == 1) return "モノラル";
    return "???";
}

bool OpenSource(DecoderLibrary& decoder, const std::string& source, DecoderFileInfo& info,
                JobView& view) {
    decoder.CloseFile();
    if (decoder.OpenFile(source, info)) return true;
    LogItemFailure(view, source, kDecodeFailed, DecoderErrorText(decoder.LastError()));
    Application->MessageBox(source + " File Open Error!!", "ErrorMessage", MB_ICONEXCLAMATION);
    return false;
}

} // namespace

void ShowDecodeInfo(const ConvSettings& settings, JobView& view) {
    view.ShowInfo("SamplingRate:", SamplingRateText(settings.freqLimit), "Convert:");
    view.SetInfoValue2(ConvertText(settings.convert));
}

DecodeOutcome DecodeItem(DecoderLibrary& decoder, const std::string& source,
                         const std::string& destination, const ConvSettings& settings,
                         JobView& view, bool replace) {
    DecoderFileInfo info{};
    if (!OpenSource(decoder, source, info, view)) return DecodeOutcome::Stop;
    if (!decoder.SetOutput({0, settings.convert, settings.freqLimit})) {
        // The decoder would go on with its earlier output settings: a WAV other than the
        // one asked for, and no reason to let the source go.
        const int error = decoder.LastError();
        decoder.CloseFile();
        LogItemFailure(view, source, kDecodeFailed, DecoderErrorText(error));
        return DecodeOutcome::Failed;
    }
    // Opened again: the output settings apply to files opened after them.
    if (!OpenSource(decoder, source, info, view)) return DecodeOutcome::Stop;
    view.WriteLog(source + "デコード開始");
    view.PumpMessages();
    JobOutput output(destination);
    const bool created = output.Create();
    if (!created || !decoder.BeginWave(output.Path())) {
        LogItemFailure(view, source, kDecodeFailed,
                       created ? DecoderErrorText(decoder.LastError())
                               : DecoderErrorText(DECODER_ERROR_CREATE_WAVE));
        Application->MessageBox(source + " Decode Error!!", "ErrorMessage", MB_ICONEXCLAMATION);
        return DecodeOutcome::Stop;
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
    view.Pause(std::clamp(settings.decWait, 0, kMaxDecodeWait));
    if (result != DECODER_OK) {
        // A short WAV is no replacement for its source.
        decoder.CloseFile();
        LogItemFailure(view, source, kDecodeFailed, DecoderErrorText(result));
        return DecodeOutcome::Failed;
    }
    switch (CommitJobOutput(output, source, kDecodeFailed, "WAV", view, replace)) {
    case CommitOutcome::Done:
        return DecodeOutcome::Done;
    case CommitOutcome::Failed:
        return DecodeOutcome::Failed;
    case CommitOutcome::Stop:
        break;
    }
    return DecodeOutcome::Stop;
}

void DecodeList(const std::vector<std::string>& items, const ConvSettings& settings,
                JobView& view) {
    DecoderLibrary& decoder = Decoder();
    decoder.StartUp();
    ShowDecodeInfo(settings, view);
    view.SetProgress(0);

    auto decodeOne = [&](const std::string& source, const std::string& destination) {
        // An old WAV is replaced only as the user answered.
        const DecodeOutcome outcome =
            DecodeItem(decoder, source, destination, settings, view, /*replace=*/true);
        if (outcome != DecodeOutcome::Done) return outcome == DecodeOutcome::Failed;
        if (view.DeleteSourceDown()) {
            // The decoder lets go of the source before it is deleted.
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
