#include "framework/media_player.h"
#include "outside/include/cdio_log.h"
#include "outside/include/cue_image.h"
#include "outside/include/mp3_scan.h"

#include <QAudioFormat>
#include <QAudioOutput>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

#include <cdio/cdio.h>
#include <mpg123.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace sv {

namespace {

// A PCM stream as Qt's audio sink pulls it.
class PcmDevice : public QIODevice {
public:
    explicit PcmDevice(std::unique_ptr<TPcmSource> source) : source_(std::move(source)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool Ended() const { return ended_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (ended_ || maxSize <= 0) return 0;
        const int64_t n = source_->Read(reinterpret_cast<uint8_t*>(data), maxSize);
        if (n <= 0) ended_ = true;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<TPcmSource> source_;
    bool ended_ = false;
};

// Qt Multimedia behind the output seam: files through a media player, CD audio through an audio
// sink; the signals only record state, so nothing throws through the event loop.
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
    ~QtMediaOutput() override { UnloadPcm(); }
    void Load(const std::string& path) override {
        UnloadPcm();
        error_.clear();
        atEnd_ = false;
        player_.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    void LoadPcm(std::unique_ptr<TPcmSource> source) override {
        Unload();
        error_.clear();
        atEnd_ = false;
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        device_ = std::make_unique<PcmDevice>(std::move(source));
        sink_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, [this](QAudio::State state) {
            if (!sink_) return;
            if (state == QAudio::IdleState && device_->Ended()) atEnd_ = true;
            if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError &&
                sink_->error() != QAudio::UnderrunError)
                error_ = "audio output error " + std::to_string(sink_->error());
        });
        started_ = false;
    }
    void Play() override {
        atEnd_ = false;
        if (!sink_) {
            player_.play();
        } else if (!started_) {
            started_ = true;
            sink_->start(device_.get());
        } else {
            sink_->resume();
        }
    }
    void Pause() override {
        if (sink_)
            sink_->suspend();
        else
            player_.pause();
    }
    void Seek(int64_t milliseconds) override {
        if (!sink_) player_.setPosition(milliseconds);
    }
    void Unload() override {
        UnloadPcm();
        player_.stop();
        player_.setSource(QUrl());
    }
    int64_t PositionMs() const override {
        return sink_ ? sink_->processedUSecs() / 1000 : player_.position();
    }
    bool AtEnd() const override { return atEnd_; }
    std::string Error() const override { return error_; }
    // Qt Multimedia plays on without an output device, silently.
    bool HasDevice() const override { return !QMediaDevices::audioOutputs().isEmpty(); }

private:
    void UnloadPcm() {
        if (!sink_) return;
        sink_->disconnect();
        sink_->stop();
        sink_.reset();
        device_.reset();
    }

    QMediaPlayer player_;
    QAudioOutput audio_;
    std::unique_ptr<PcmDevice> device_;
    std::unique_ptr<QAudioSink> sink_;
    bool started_ = false;
    std::string error_;
    bool atEnd_ = false;
};

constexpr int kCdSectorBytes = 2352;
constexpr int kCdSectorsPerSecond = 75;

int64_t SectorToMs(int64_t sector) {
    return sector * 1000 / kCdSectorsPerSecond;
}
// The inverse of SectorToMs for the positions it gives.
int64_t MsToSector(int64_t milliseconds) {
    return (milliseconds * kCdSectorsPerSecond + 999) / 1000;
}

// The drive a CD-DA reader name stands for: "(N:0:0)" is /dev/srN, "(I:0:0)" the first image of
// CDDA_EX_IMAGES whose file name the name begins with (the reader cuts long names); any other
// text is taken as a path, of a device if it is one, else of a cue.
struct CdDrive {
    std::string path; // empty: no such drive
    bool image = false;
};

CdDrive CdDriveOf(const std::string& name) {
    const auto open = name.rfind(" (");
    const std::string address = open == std::string::npos || !name.ends_with(":0:0)")
                                    ? std::string()
                                    : name.substr(open + 2, name.size() - open - 2 - 5);
    if (address == "I") {
        const std::string front = name.substr(0, open);
        for (const std::string& path : sv::cue::ListedImages())
            if (std::filesystem::path(path).filename().string().starts_with(front))
                return {path, true};
        return {};
    }
    if (!address.empty() && address.find_first_not_of("0123456789") == std::string::npos)
        return {"/dev/sr" + address, false};
    struct stat st {};
    const bool device =
        stat(name.c_str(), &st) == 0 && (S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode));
    return {name, !device};
}

// Reads a run of audio sectors straight from the disc.
class CdSectorSource : public TPcmSource {
public:
    CdSectorSource(std::shared_ptr<TMediaPlayer::CdDisc> disc, lsn_t first, lsn_t end)
        : disc_(std::move(disc)), next_(first), end_(end) {}
    int64_t Read(uint8_t* buffer, int64_t bytes) override;

private:
    std::shared_ptr<TMediaPlayer::CdDisc> disc_;
    lsn_t next_;
    lsn_t end_;
    std::vector<uint8_t> pending_;
    std::size_t taken_ = 0;
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

// An MPEG audio file, timed as the decoder library decodes it whole: every frame is counted, so
// the length is exact also without a header, for joined streams and past junk between frames.
// Parts at another rate than the first count at their length in the first's.
std::optional<TMediaPlayer::Media> ReadMpeg(const std::string& path) {
    mp3::Layout layout;
    // Set up as the decoder is by default; what is counted does not depend on it.
    if (!mp3::Scan(path.c_str(), MPG123_STEREO, 44100, layout)) return std::nullopt;
    const long rate = layout.parts.front().rate;
    const int64_t samples = mp3::OutputLength(layout, rate);
    if (rate <= 0 || samples <= 0) return std::nullopt;
    return TMediaPlayer::Media{dtMPEGAudio, static_cast<int>(rate), layout.channels,
                               layout.channels * 2, samples};
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
    std::optional<TMediaPlayer::Media> media;
    const bool riff = StartsAsRiff(path);
    if (type == dtAutoSelect || type == dtWaveAudio) media = riff ? ReadWave(path) : std::nullopt;
    if (!media && !riff && (type == dtAutoSelect || type == dtMPEGAudio)) media = ReadMpeg(path);
    if (!media) throw Exception(path + " は再生できない形式です");
    return *media;
}

} // namespace

struct TMediaPlayer::CdDisc {
    using Track = sv::cue::TocTrack;
    CdIo_t* cdio = nullptr;
    std::unique_ptr<sv::cue::Image> image;
    int firstTrack = 1;
    std::vector<Track> tracks;
    lsn_t leadOut = 0;

    ~CdDisc() {
        if (cdio) cdio_destroy(cdio);
    }
    // Audio sectors, from the image's file or from the drive.
    bool Read(lsn_t first, lsn_t count, uint8_t* out) const {
        return image ? image->Read(first, count, out)
                     : cdio_read_audio_sectors(cdio, out, first, count) == DRIVER_OP_SUCCESS;
    }
    // The sector after the run of audio tracks that holds `sector`; the start of the next audio
    // track when `sector` lies in a data track (then `sector` moves there).
    lsn_t RunEnd(lsn_t& sector) const {
        std::size_t i = 0;
        while (i + 1 < tracks.size() && tracks[i + 1].start <= sector) ++i;
        while (i < tracks.size() && !tracks[i].audio) ++i;
        if (i == tracks.size()) return sector;
        sector = std::max(sector, tracks[i].start);
        while (i < tracks.size() && tracks[i].audio) ++i;
        return i < tracks.size() ? tracks[i].start : leadOut;
    }
};

namespace {

int64_t CdSectorSource::Read(uint8_t* buffer, int64_t bytes) {
    int64_t given = 0;
    while (given < bytes) {
        if (taken_ == pending_.size()) {
            if (next_ >= end_) break;
            const lsn_t count = std::min<lsn_t>(end_ - next_, 8);
            pending_.resize(static_cast<std::size_t>(count) * kCdSectorBytes);
            if (!disc_->Read(next_, count, pending_.data())) {
                next_ = end_;
                pending_.clear();
                taken_ = 0;
                break;
            }
            next_ += count;
            taken_ = 0;
        }
        const auto n = std::min<int64_t>(bytes - given, pending_.size() - taken_);
        std::memcpy(buffer + given, pending_.data() + taken_, static_cast<std::size_t>(n));
        taken_ += static_cast<std::size_t>(n);
        given += n;
    }
    return given;
}

std::shared_ptr<TMediaPlayer::CdDisc> OpenCd(const std::string& name) {
    if (name.empty()) throw Exception("CDドライブが指定されていません");
    const CdDrive drive = CdDriveOf(name);
    // Once for the program: libcdio's own handler would end it on a drive's error.
    static const bool logHandled = (sv::cdio_log::Install(), true);
    (void)logHandled;
    auto disc = std::make_shared<TMediaPlayer::CdDisc>();
    const auto cannot = [&name](const std::string& reason) {
        return Exception(name + " のCDを開けません" + (reason.empty() ? "" : " (" + reason + ")"));
    };
    // An image opens as the reader opens it, so the preview plays what the reader lists.
    std::string reason;
    if (drive.image) {
        disc->image = sv::cue::Image::Open(drive.path, reason);
        if (!disc->image) throw cannot(reason);
        disc->tracks = disc->image->tracks;
        disc->leadOut = disc->image->leadOut;
        return disc;
    }
    sv::cdio_log::Said().clear();
    if (!drive.path.empty()) disc->cdio = cdio_open(drive.path.c_str(), DRIVER_DEVICE);
    if (!disc->cdio) throw cannot(sv::cdio_log::Said());
    const track_t first = cdio_get_first_track_num(disc->cdio);
    const track_t count = cdio_get_num_tracks(disc->cdio);
    disc->leadOut = cdio_get_track_lsn(disc->cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        disc->leadOut == CDIO_INVALID_LSN)
        throw Exception(name + " のCDを読めません");
    disc->firstTrack = first;
    for (track_t i = 0; i < count; ++i) {
        const auto track = static_cast<track_t>(first + i);
        disc->tracks.push_back({cdio_get_track_lsn(disc->cdio, track),
                                cdio_get_track_format(disc->cdio, track) == TRACK_FORMAT_AUDIO});
    }
    return disc;
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
    if (deviceType_ == dtCDAudio) {
        disc_ = OpenCd(fileName_);
        media_ = Media{dtCDAudio, 44100, 2, 4, int64_t{disc_->leadOut} * kCdSectorBytes / 4};
    } else {
        media_ = ReadMedia(fileName_, deviceType_);
    }
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
    disc_.reset();
    baseMs_ = 0;
    startMs_.reset();
}

void TMediaPlayer::Play() {
    if (!deviceId_) return;
    // The output is made on the first Play: opening files only for their lengths touches no
    // audio device.
    OutputNeeded();
    if (disc_) {
        PlayCd();
        return;
    }
    if (!loaded_) {
        output_->Load(fileName_);
        loaded_ = true;
    }
    if (const std::string error = output_->Error(); !error.empty())
        throw Exception(fileName_ + " を再生できません (" + error + ")");
    if (output_->AtEnd()) output_->Seek(0);
    output_->Play();
    mode_ = mpPlaying;
}

void TMediaPlayer::OutputNeeded() {
    if (!output_) output_ = MakeOutput();
    if (!output_->HasDevice()) throw Exception(kNoAudioOutput);
}

void TMediaPlayer::PlayCd() {
    // A stream is made afresh from where the play starts: the position asked for, else where
    // the last one stopped, else (played to the end) where it began.
    int64_t startMs = baseMs_;
    if (startMs_)
        startMs = *startMs_;
    else if (loaded_ && !output_->AtEnd())
        startMs = baseMs_ + output_->PositionMs();
    startMs_.reset();
    lsn_t first = static_cast<lsn_t>(MsToSector(startMs));
    const lsn_t end = disc_->RunEnd(first);
    output_->LoadPcm(std::make_unique<CdSectorSource>(disc_, first, end));
    loaded_ = true;
    baseMs_ = SectorToMs(first);
    if (const std::string error = output_->Error(); !error.empty())
        throw Exception(fileName_ + " を再生できません (" + error + ")");
    output_->Play();
    mode_ = mpPlaying;
}

int64_t TMediaPlayer::TrackPosition(int track) const {
    const int index = disc_ ? track - disc_->firstTrack : -1;
    if (index < 0 || index >= static_cast<int>(disc_->tracks.size()))
        throw Exception("トラック " + std::to_string(track) + " がありません");
    return FromMilliseconds(SectorToMs(disc_->tracks[index].start));
}

void TMediaPlayer::SetStartPos(int64_t position) {
    if (deviceId_) startMs_ = ToMilliseconds(position);
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

int64_t TMediaPlayer::ToMilliseconds(int64_t position) const {
    switch (timeFormat_) {
    case tfMilliseconds:
        return position;
    case tfSamples:
        return position * 1000 / media_.rate;
    case tfBytes:
        return position / media_.blockAlign * 1000 / media_.rate;
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
    return FromMilliseconds(loaded_ ? baseMs_ + output_->PositionMs() : baseMs_);
}

} // namespace sv
