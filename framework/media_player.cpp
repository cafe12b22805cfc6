#include "framework/media_player.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include <mpg123.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace sv {

namespace {

// Qt Multimedia behind the output seam; its signals only record state, so nothing throws
// through the event loop.
class QtMediaOutput : public TMediaOutput {
public:
    QtMediaOutput() {
        player_.setAudioOutput(&audio_);
        QObject::connect(
            &player_, &QMediaPlayer::errorOccurred,
            [this](QMediaPlayer::Error, const QString& text) { error_ = text.toStdString(); });
        QObject::connect(&player_, &QMediaPlayer::mediaStatusChanged,
                         [this](QMediaPlayer::MediaStatus status) {
                             if (status == QMediaPlayer::EndOfMedia) atEnd_ = true;
                         });
    }
    void Load(const std::string& path) override {
        error_.clear();
        atEnd_ = false;
        player_.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    void Play() override {
        atEnd_ = false;
        player_.play();
    }
    void Pause() override { player_.pause(); }
    void Seek(int64_t milliseconds) override { player_.setPosition(milliseconds); }
    void Unload() override {
        player_.stop();
        player_.setSource(QUrl());
    }
    int64_t PositionMs() const override { return player_.position(); }
    bool AtEnd() const override { return atEnd_; }
    std::string Error() const override { return error_; }

private:
    QMediaPlayer player_;
    QAudioOutput audio_;
    std::string error_;
    bool atEnd_ = false;
};

TMediaOutputFactory& OutputFactory() {
    static TMediaOutputFactory factory;
    return factory;
}

std::unique_ptr<TMediaOutput> MakeOutput() {
    if (const auto& factory = OutputFactory()) return factory();
    return std::make_unique<QtMediaOutput>();
}

uint32_t Get32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
int Get16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

// A RIFF WAVE file: the format chunk and the data chunk's size, clamped to what the file holds.
std::optional<TMediaPlayer::Media> ReadWave(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return std::nullopt;
    std::error_code error;
    const auto fileSize = static_cast<int64_t>(std::filesystem::file_size(path, error));
    if (error) return std::nullopt;
    TMediaPlayer::Media media;
    media.type = dtWaveAudio;
    int formatTag = 0;
    uint32_t byteRate = 0;
    unsigned char chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
        const uint32_t size = Get32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char fmt[16];
            if (!in.read(reinterpret_cast<char*>(fmt), sizeof fmt)) return std::nullopt;
            formatTag = Get16(fmt);
            media.channels = Get16(fmt + 2);
            byteRate = Get32(fmt + 8);
            media.rate = static_cast<int>(Get32(fmt + 4));
            media.blockAlign = Get16(fmt + 12);
            in.seekg(size - 16 + (size & 1), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (media.rate <= 0 || media.blockAlign <= 0 || media.channels <= 0)
                return std::nullopt;
            const int64_t available = fileSize - static_cast<int64_t>(in.tellg());
            const int64_t bytes = std::min<int64_t>(size, available);
            // Compressed data (not PCM, not extensible) is timed by its average byte rate.
            const bool pcm = formatTag == 1 || formatTag == 0xFFFE || byteRate == 0;
            media.samples = pcm ? bytes / media.blockAlign : bytes * media.rate / byteRate;
            return media;
        } else {
            in.seekg(size + (size & 1), std::ios::cur);
        }
    }
    return std::nullopt;
}

// An MPEG audio file, scanned frame by frame so that the length is exact also without a header.
std::optional<TMediaPlayer::Media> ReadMpeg(const std::string& path) {
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) return std::nullopt;
    std::optional<TMediaPlayer::Media> result;
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    if (mpg123_open(handle, path.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK &&
        mpg123_scan(handle) == MPG123_OK && rate > 0) {
        const off_t samples = mpg123_length(handle);
        if (samples > 0) {
            result = TMediaPlayer::Media{dtMPEGAudio, static_cast<int>(rate), channels,
                                         channels * 2, static_cast<int64_t>(samples)};
        }
    }
    mpg123_delete(handle);
    return result;
}

bool StartsAsRiff(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[4] = {};
    return in.read(head, sizeof head) && std::memcmp(head, "RIFF", 4) == 0;
}

TMediaPlayer::Media ReadMedia(const std::string& path, TMPDeviceTypes type) {
    if (path.empty()) throw Exception("ファイル名が指定されていません");
    std::error_code error;
    if (!std::filesystem::exists(path, error)) throw Exception(path + " が見つかりません");
    if (!std::filesystem::is_regular_file(path, error)) throw Exception(path + " を開けません");
    // CD tracks come through a source of their own (table of contents and sector reads).
    if (type == dtCDAudio) throw Exception("CD のトラックは再生できません");
    std::optional<TMediaPlayer::Media> media;
    const bool riff = StartsAsRiff(path);
    if (type == dtAutoSelect || type == dtWaveAudio) media = riff ? ReadWave(path) : std::nullopt;
    if (!media && !riff && (type == dtAutoSelect || type == dtMPEGAudio)) media = ReadMpeg(path);
    if (!media) throw Exception(path + " は再生できない形式です");
    return *media;
}

} // namespace

void SetMediaOutputFactory(TMediaOutputFactory factory) {
    OutputFactory() = std::move(factory);
}

TMediaPlayer::TMediaPlayer() = default;

TMediaPlayer::TMediaPlayer(std::unique_ptr<TMediaOutput> output) : output_(std::move(output)) {}

TMediaPlayer::~TMediaPlayer() {
    Close();
}

void TMediaPlayer::Open() {
    Close();
    media_ = ReadMedia(fileName_, deviceType_);
    static unsigned lastDeviceId = 0;
    deviceId_ = ++lastDeviceId == 0 ? ++lastDeviceId : lastDeviceId;
    mode_ = mpStopped;
}

void TMediaPlayer::Close() {
    if (!deviceId_) return;
    if (loaded_) output_->Unload();
    loaded_ = false;
    deviceId_ = 0;
    mode_ = mpNotReady;
    media_ = Media{};
}

void TMediaPlayer::Play() {
    if (!deviceId_) return;
    // The output is made and loaded on the first Play: opening files only for their lengths
    // touches no audio device.
    if (!loaded_) {
        if (!output_) output_ = MakeOutput();
        output_->Load(fileName_);
        loaded_ = true;
    }
    if (const std::string error = output_->Error(); !error.empty())
        throw Exception(fileName_ + " を再生できません (" + error + ")");
    if (output_->AtEnd()) output_->Seek(0);
    output_->Play();
    mode_ = mpPlaying;
}

void TMediaPlayer::Stop() {
    if (!deviceId_) return;
    if (loaded_) output_->Pause();
    mode_ = mpStopped;
}

void TMediaPlayer::Pause() {
    if (Mode() != mpPlaying) return;
    output_->Pause();
    mode_ = mpPaused;
}

void TMediaPlayer::Resume() {
    if (Mode() != mpPaused) return;
    output_->Play();
    mode_ = mpPlaying;
}

TMPModes TMediaPlayer::Mode() const {
    if (mode_ == mpPlaying && output_->AtEnd()) return mpStopped;
    return mode_;
}

int64_t TMediaPlayer::FromMilliseconds(int64_t milliseconds) const {
    const int64_t samples = milliseconds * media_.rate / 1000;
    switch (timeFormat_) {
    case tfMilliseconds:
        return milliseconds;
    case tfSamples:
        return samples;
    case tfBytes:
        return samples * media_.blockAlign;
    default:
        throw Exception("この時間形式には対応していません");
    }
}

int64_t TMediaPlayer::Length() const {
    if (!deviceId_) return 0;
    switch (timeFormat_) {
    case tfSamples:
        return media_.samples;
    case tfBytes:
        return media_.samples * media_.blockAlign;
    default:
        return FromMilliseconds(media_.samples * 1000 / media_.rate);
    }
}

int64_t TMediaPlayer::Position() const {
    if (!deviceId_) return 0;
    return FromMilliseconds(loaded_ ? output_->PositionMs() : 0);
}

} // namespace sv
