// The encoder library over libmp3lame: one job per process, refused at detect time when it
// cannot succeed, so that the frame loop only fails on real input/output errors.
#include "outside/include/gogo.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Both version gates of the component open from 2.48 on.
constexpr uint32_t kVersionCode = 0x0239;

using Bytes = std::vector<unsigned char>;

struct Config {
    int inputKind = -1; // MPGE_INPUT_FILE, MPGE_INPUT_MEMORY; anything else is refused
    std::string source;
    MPGE_MEMORY_INPUT memory{};
    bool haveOutput = false;
    std::string destination;
    uintptr_t channelMode = 2;
    uintptr_t bitrate = 128;
    bool psychoacoustics = false;
    bool lowpass16k = false;
    uintptr_t emphasis = 0;
    bool vbr = false;
    uintptr_t vbrLevel = 5;
    uintptr_t vbrLow = 0, vbrHigh = 0;
    uintptr_t container = 0;
    bool rangesValid = true;
    Bytes id3;
    std::vector<Bytes> riffTags;
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct LameCloser {
    void operator()(lame_global_flags* g) const {
        if (g) lame_close(g);
    }
};
using Lame = std::unique_ptr<lame_global_flags, LameCloser>;

enum class State { Idle, Configuring, Ready, Finished, Closed };

// The sample layouts of a source: integers of 8 (unsigned), 16, 24 or 32 bits, or 32-bit float.
enum class SampleFormat { UInt8, Int16, Int24, Int32, Float32 };

struct Job {
    Lame lame;
    File in;
    File out;
    std::string destination;
    bool memoryInput = false;
    MPGE_READ_CALLBACK read = nullptr;
    int channels = 2;
    SampleFormat format = SampleFormat::Int16;
    int blockAlign = 4;
    int frameSize = 1152;
    uint64_t samplesLeft = 0;
    int32_t totalFrames = 0;
    int32_t framesDone = 0;
    long audioStart = 0; // where the first MP3 frame (the Info tag frame) begins
    Bytes id3Tail;       // an ID3v1 block goes after the audio
    // Our own tag frame where libmp3lame writes none, and the MP3 data written after it.
    Bytes tag;
    uint64_t audioBytes = 0;
    uint16_t audioCrc = 0;
    Bytes pcm;
    std::vector<short> samples;
    std::vector<float> left, right; // every format but 16-bit, at the scale of 16-bit samples
    Bytes mp3;
};

std::mutex g_mutex;
State g_state = State::Idle;
uint64_t g_generation = 0; // changes whenever a job is discarded
Config g_config;
std::unique_ptr<Job> g_job;

void DiscardJob() {
    g_job.reset();
    g_config = Config{};
    ++g_generation;
}

Bytes CopyBlock(MPGE_VALUE length, MPGE_VALUE address) {
    if (length == 0 || address == 0 || length > (uintptr_t{1} << 30)) return {};
    auto* p = reinterpret_cast<const unsigned char*>(address);
    return Bytes(p, p + length);
}

bool SupportedRate(long rate) {
    static constexpr std::array<long, 9> rates{8000,  11025, 12000, 16000, 22050,
                                               24000, 32000, 44100, 48000};
    return std::find(rates.begin(), rates.end(), rate) != rates.end();
}

// The bit rates of the MPEG version that a rate belongs to, as libmp3lame has them: MPEG-2.5
// (8 to 12 kHz) stops at 64 kbit/s.
std::vector<uintptr_t> Bitrates(long rate) {
    if (rate >= 32000) return {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    if (rate >= 16000) return {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    return {8, 16, 24, 32, 40, 48, 56, 64};
}

bool BitrateFits(uintptr_t kbps, long rate) {
    const auto table = Bitrates(rate);
    return std::find(table.begin(), table.end(), kbps) != table.end();
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

struct WavInfo {
    int channels = 0;
    long rate = 0;
    SampleFormat format = SampleFormat::Int16;
    int blockAlign = 0;
    long dataStart = 0;
    uint64_t samples = 0;
};

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// Reads the sample layout from a "fmt " chunk of `size` bytes; false for any other layout.
// An extensible chunk counts by its sub-format, whose GUID must be the standard one.
bool ParseFormat(const unsigned char* fmt, uint64_t size, WavInfo& info) {
    static constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    uint16_t tag = Le16(fmt);
    const int bits = Le16(fmt + 14);
    if (tag == kFormatExtensible) {
        if (size < 40 || Le16(fmt + 16) < 22) return false;
        const int validBits = Le16(fmt + 18);
        if (validBits > bits || std::memcmp(fmt + 26, kGuidTail, sizeof kGuidTail) != 0)
            return false;
        tag = Le16(fmt + 24);
    }
    info.channels = Le16(fmt + 2);
    info.rate = static_cast<long>(Le32(fmt + 4));
    info.blockAlign = Le16(fmt + 12);
    if (tag == kFormatPcm && bits == 8)
        info.format = SampleFormat::UInt8;
    else if (tag == kFormatPcm && bits == 16)
        info.format = SampleFormat::Int16;
    else if (tag == kFormatPcm && bits == 24)
        info.format = SampleFormat::Int24;
    else if (tag == kFormatPcm && bits == 32)
        info.format = SampleFormat::Int32;
    else if (tag == kFormatFloat && bits == 32)
        info.format = SampleFormat::Float32;
    else
        return false;
    return (info.channels == 1 || info.channels == 2) &&
           info.blockAlign == info.channels * bits / 8 && SupportedRate(info.rate);
}

// A PCM RIFF WAVE: chunks are walked with their pad bytes, unknown ones (LIST ...) skipped; a
// data size beyond the end of the file is cut to what is there.
MPGE_RESULT OpenWav(const std::string& path, File& file, WavInfo& info) {
    if (path.empty()) return MPGE_ERR_BAD_SOURCE;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return MPGE_ERR_BAD_SOURCE;
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) return MPGE_ERR_BAD_SOURCE;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    unsigned char head[12];
    if (std::fread(head, 1, 12, file.get()) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return MPGE_ERR_BAD_SOURCE;
    bool haveFormat = false;
    uint64_t pos = 12;
    for (;;) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, 8, file.get()) != 8) return MPGE_ERR_BAD_SOURCE;
        pos += 8;
        const uint64_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) return MPGE_ERR_BAD_SOURCE;
            unsigned char fmt[40] = {};
            const size_t want = static_cast<size_t>(std::min<uint64_t>(size, sizeof fmt));
            if (std::fread(fmt, 1, want, file.get()) != want) return MPGE_ERR_BAD_SOURCE;
            if (!ParseFormat(fmt, want, info)) return MPGE_ERR_BAD_SOURCE;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return MPGE_ERR_BAD_SOURCE;
            const uint64_t present = fileSize > pos ? fileSize - pos : 0;
            info.dataStart = static_cast<long>(pos);
            info.samples = std::min(size, present) / static_cast<uint64_t>(info.blockAlign);
            // Nothing to encode would give a file with no audio frame at all.
            return info.samples > 0 ? MPGE_OK : MPGE_ERR_BAD_SOURCE;
        }
        pos += size + (size & 1);
        if (pos > fileSize || std::fseek(file.get(), static_cast<long>(pos), SEEK_SET) != 0)
            return MPGE_ERR_BAD_SOURCE;
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool WriteAll(FILE* f, const unsigned char* data, size_t size) {
    return size == 0 || std::fwrite(data, 1, size, f) == size;
}

// The CRC-16 of the LAME tag (polynomial 0x8005, bits reflected, starting from 0).
uint16_t Crc16(uint16_t crc, const unsigned char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

void PutBe(unsigned char* p, uint32_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k, value >>= 8) p[k] = static_cast<unsigned char>(value);
}

// Writes MP3 data; our own tag counts its length and CRC.
bool WriteAudio(Job& job, const unsigned char* data, size_t size) {
    if (!job.tag.empty()) {
        job.audioCrc = Crc16(job.audioCrc, data, size);
        job.audioBytes += size;
    }
    return WriteAll(job.out.get(), data, size);
}

MPGE_RESULT ConfigureLame(const Config& c, int channels, long rate, Lame& lame) {
    if (c.channelMode > 4 || c.vbrLevel > 9 || !c.rangesValid) return MPGE_ERR_BAD_SETTING;
    if (c.emphasis != 0 && c.emphasis != 1 && c.emphasis != 3) return MPGE_ERR_BAD_SETTING;
    if (c.container == 1 || c.container == 2) return MPGE_ERR_UNSUPPORTED_FORMAT;
    if (c.container != 0) return MPGE_ERR_BAD_SETTING;
    if (!BitrateFits(c.bitrate, rate)) return MPGE_ERR_BAD_BITRATE;

    lame.reset(lame_init());
    lame_global_flags* g = lame.get();
    if (!g) return MPGE_ERR_ENCODER;
    lame_set_num_channels(g, channels);
    lame_set_in_samplerate(g, static_cast<int>(rate));
    lame_set_out_samplerate(g, static_cast<int>(rate));
    static constexpr MPEG_mode modes[] = {MONO, STEREO, JOINT_STEREO, JOINT_STEREO, DUAL_CHANNEL};
    lame_set_mode(g, channels == 1 ? MONO : modes[c.channelMode]);
    if (channels == 2 && c.channelMode == 3) lame_set_force_ms(g, 1);
    lame_set_quality(g, c.psychoacoustics ? 2 : 5);
    if (c.lowpass16k) lame_set_lowpassfreq(g, 16000);
    lame_set_emphasis(g, static_cast<int>(c.emphasis));
    if (c.vbr) {
        lame_set_VBR(g, vbr_default);
        lame_set_VBR_q(g, static_cast<int>(c.vbrLevel));
        if (c.vbrLow > 0) lame_set_VBR_min_bitrate_kbps(g, static_cast<int>(c.vbrLow));
        if (c.vbrHigh > 0) lame_set_VBR_max_bitrate_kbps(g, static_cast<int>(c.vbrHigh));
    } else {
        lame_set_VBR(g, vbr_off);
        lame_set_brate(g, static_cast<int>(c.bitrate));
    }
    lame_set_bWriteVbrTag(g, 1);
    lame_set_write_id3tag_automatic(g, 0);
    if (lame_init_params(g) < 0) return MPGE_ERR_ENCODER;
    // libmp3lame quietly picks another rate or bit rate where it dislikes ours.
    if (lame_get_out_samplerate(g) != rate) return MPGE_ERR_BAD_SOURCE;
    if (!c.vbr && static_cast<uintptr_t>(lame_get_brate(g)) != c.bitrate)
        return MPGE_ERR_BAD_BITRATE;
    return MPGE_OK;
}

// The LAME/Info tag frame that libmp3lame makes for these settings at `bitrate` (after a frame
// of silence); empty where a frame of that bit rate cannot hold it.
Bytes ProbeTag(Config c, int channels, long rate, uintptr_t bitrate) {
    c.bitrate = bitrate;
    Lame lame;
    if (ConfigureLame(c, channels, rate, lame) != MPGE_OK) return {};
    lame_global_flags* g = lame.get();
    std::vector<short> silence(static_cast<size_t>(lame_get_framesize(g)));
    Bytes mp3(16384);
    const int size = static_cast<int>(mp3.size());
    if (lame_encode_buffer(g, silence.data(), silence.data(), static_cast<int>(silence.size()),
                           mp3.data(), size) < 0 ||
        lame_encode_flush(g, mp3.data(), size) < 0)
        return {};
    Bytes tag(2880);
    const size_t made = lame_get_lametag_frame(g, tag.data(), tag.size());
    tag.resize(made <= tag.size() ? made : 0);
    return tag;
}

// Puts the stream's figures into a tag frame that libmp3lame made at another bit rate: frame
// count, sizes, table of contents, lowpass, bit rate, delay and padding, and both CRCs.
void FillTag(Job& job) {
    Bytes& tag = job.tag;
    static constexpr unsigned char kInfo[] = {'I', 'n', 'f', 'o'};
    const auto found = std::search(tag.begin(), tag.end(), std::begin(kInfo), std::end(kInfo));
    const auto info = static_cast<size_t>(found - tag.begin());
    const size_t lame = info + 120; // after the counts, the table and the quality
    if (found == tag.end() || lame + 36 > tag.size()) return;
    lame_global_flags* g = job.lame.get();
    const uint64_t bytes = tag.size() + job.audioBytes;
    const auto total = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
    PutBe(&tag[info + 8], static_cast<uint32_t>(lame_get_frameNum(g)), 4);
    PutBe(&tag[info + 12], total, 4);
    // At a constant bit rate every hundredth of the frames is as far into the audio.
    for (uint64_t i = 1; i < 100; ++i)
        tag[info + 16 + i] = static_cast<unsigned char>(
            std::min<uint64_t>(255, 256 * (tag.size() + job.audioBytes * i / 100) / bytes));
    const int bitrate = std::min(255, lame_get_brate(g));
    tag[lame + 10] =
        static_cast<unsigned char>(std::min(255, (lame_get_lowpassfreq(g) + 50) / 100));
    tag[lame + 20] = static_cast<unsigned char>(bitrate);
    PutBe(&tag[lame + 21],
          static_cast<uint32_t>(lame_get_encoder_delay(g) << 12 | lame_get_encoder_padding(g)), 3);
    // The preset of a constant bit rate is the bit rate, below the surround bits.
    PutBe(&tag[lame + 26], static_cast<uint32_t>((tag[lame + 26] & 0xF8) << 8 | bitrate), 2);
    PutBe(&tag[lame + 28], total, 4);
    PutBe(&tag[lame + 32], job.audioCrc, 2);
    PutBe(&tag[lame + 34], Crc16(0, tag.data(), lame + 34), 2);
}

MPGE_RESULT Detect() {
    const Config& c = g_config;
    auto job = std::make_unique<Job>();
    long rate = 0;
    uint64_t samples = 0;
    bool samplesKnown = true;
    if (c.inputKind == MPGE_INPUT_FILE) {
        WavInfo info;
        if (MPGE_RESULT r = OpenWav(c.source, job->in, info)) return r;
        if (std::fseek(job->in.get(), info.dataStart, SEEK_SET) != 0) return MPGE_ERR_BAD_SOURCE;
        job->channels = info.channels;
        job->format = info.format;
        job->blockAlign = info.blockAlign;
        rate = info.rate;
        samples = info.samples;
    } else if (c.inputKind == MPGE_INPUT_MEMORY) {
        const MPGE_MEMORY_INPUT& m = c.memory;
        if (!m.read || m.bits_per_sample != 16 || (m.channels != 1 && m.channels != 2) ||
            !SupportedRate(m.sample_rate))
            return MPGE_ERR_BAD_SOURCE;
        job->memoryInput = true;
        job->read = m.read;
        job->channels = m.channels;
        job->blockAlign = 2 * m.channels;
        rate = m.sample_rate;
        samplesKnown = m.total_size >= 0;
        samples = samplesKnown ? static_cast<uint64_t>(m.total_size) / (2u * m.channels) : 0;
    } else {
        return MPGE_ERR_BAD_SOURCE;
    }

    if (MPGE_RESULT r = ConfigureLame(c, job->channels, rate, job->lame)) return r;
    // Where a frame of the job's bit rate cannot hold the LAME/Info tag, libmp3lame writes none
    // and decoders keep the encoder's delay and padding. The job then gets the tag libmp3lame
    // makes at the lowest bit rate that holds it, as VBR streams carry theirs.
    if (!c.vbr && ProbeTag(c, job->channels, rate, c.bitrate).empty())
        for (const uintptr_t bitrate : Bitrates(rate))
            if (bitrate > c.bitrate &&
                !(job->tag = ProbeTag(c, job->channels, rate, bitrate)).empty())
                break;
    job->frameSize = lame_get_framesize(job->lame.get());
    const uint64_t frames = (samples + job->frameSize - 1) / job->frameSize;
    if (frames > INT32_MAX) return MPGE_ERR_BAD_SOURCE;
    job->totalFrames = samplesKnown ? static_cast<int32_t>(frames) : 0;
    job->samplesLeft = samples;

    // The destination is opened last, so that a refused job never truncates a file.
    if (!c.haveOutput || c.destination.empty()) return MPGE_ERR_BAD_DESTINATION;
    if (c.inputKind == MPGE_INPUT_FILE && SameFile(c.source, c.destination))
        return MPGE_ERR_BAD_DESTINATION;
    struct stat st {};
    if (stat(c.destination.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return MPGE_ERR_BAD_DESTINATION;
    job->out.reset(std::fopen(c.destination.c_str(), "wb"));
    if (!job->out) return MPGE_ERR_BAD_DESTINATION;
    job->destination = c.destination;

    const bool id3v1 = c.id3.size() == 128 && std::memcmp(c.id3.data(), "TAG", 3) == 0;
    if (id3v1)
        job->id3Tail = c.id3;
    else if (!WriteAll(job->out.get(), c.id3.data(), c.id3.size()))
        return MPGE_ERR_WRITE;
    job->audioStart = id3v1 ? 0 : static_cast<long>(c.id3.size());
    if (!WriteAll(job->out.get(), job->tag.data(), job->tag.size())) return MPGE_ERR_WRITE;
    job->pcm.resize(static_cast<size_t>(job->frameSize) * job->blockAlign);
    job->mp3.resize(static_cast<size_t>(job->frameSize) * 5 / 4 + 7200);
    g_job = std::move(job);
    return MPGE_OK;
}

// One sample of a wider or narrower format at the scale of a 16-bit one, as the encoder takes
// floats. Float samples outside full scale are clipped, and a NaN is silence.
float ToSample16(SampleFormat format, const unsigned char* p) {
    switch (format) {
    case SampleFormat::UInt8:
        return static_cast<float>(int{p[0]} - 128) * 256.0f;
    case SampleFormat::Int24: {
        const auto v =
            static_cast<int32_t>(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
        return static_cast<float>(v) * (1.0f / 65536.0f);
    }
    case SampleFormat::Int32:
        return static_cast<float>(static_cast<int32_t>(Le32(p))) * (1.0f / 65536.0f);
    case SampleFormat::Float32: {
        float f;
        std::memcpy(&f, p, sizeof f);
        if (std::isnan(f)) return 0.0f;
        return std::clamp(f, -1.0f, 1.0f) * 32768.0f;
    }
    case SampleFormat::Int16:
        break;
    }
    return static_cast<float>(static_cast<int16_t>(Le16(p)));
}

// Encodes the PCM in job.pcm (`samples` per channel) and writes what the encoder gives back.
MPGE_RESULT EncodePcm(Job& job, int samples) {
    const int mp3Size = static_cast<int>(job.mp3.size());
    int n = 0;
    if (job.format == SampleFormat::Int16) {
        std::vector<short>& pcm = job.samples;
        pcm.resize(static_cast<size_t>(samples) * job.channels);
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<short>(Le16(job.pcm.data() + 2 * i));
        n = job.channels == 2 ? lame_encode_buffer_interleaved(job.lame.get(), pcm.data(), samples,
                                                               job.mp3.data(), mp3Size)
                              : lame_encode_buffer(job.lame.get(), pcm.data(), nullptr, samples,
                                                   job.mp3.data(), mp3Size);
    } else {
        const auto count = static_cast<size_t>(samples);
        const size_t width = static_cast<size_t>(job.blockAlign / job.channels);
        job.left.resize(count);
        job.right.resize(count);
        const unsigned char* p = job.pcm.data();
        for (size_t i = 0; i < count; ++i, p += job.blockAlign) {
            job.left[i] = ToSample16(job.format, p);
            job.right[i] = job.channels == 2 ? ToSample16(job.format, p + width) : job.left[i];
        }
        n = lame_encode_buffer_float(job.lame.get(), job.left.data(), job.right.data(), samples,
                                     job.mp3.data(), mp3Size);
    }
    if (n < 0) return MPGE_ERR_ENCODER;
    return WriteAudio(job, job.mp3.data(), static_cast<size_t>(n)) ? MPGE_OK : MPGE_ERR_WRITE;
}

// Flushes, puts the final Info tag over its placeholder (so decoders drop the padding) and
// closes the destination.
MPGE_RESULT FinishJob(Job& job) {
    int n = lame_encode_flush(job.lame.get(), job.mp3.data(), static_cast<int>(job.mp3.size()));
    if (n < 0) return MPGE_ERR_ENCODER;
    FILE* out = job.out.get();
    if (!WriteAudio(job, job.mp3.data(), static_cast<size_t>(n))) return MPGE_ERR_WRITE;
    if (!WriteAll(out, job.id3Tail.data(), job.id3Tail.size())) return MPGE_ERR_WRITE;
    Bytes tag(2880);
    const size_t tagSize = lame_get_lametag_frame(job.lame.get(), tag.data(), tag.size());
    tag.resize(tagSize <= tag.size() ? tagSize : 0);
    if (tag.empty() && !job.tag.empty()) {
        FillTag(job);
        tag = job.tag;
    }
    if (!tag.empty() &&
        (std::fseek(out, job.audioStart, SEEK_SET) != 0 || !WriteAll(out, tag.data(), tag.size())))
        return MPGE_ERR_WRITE;
    FILE* f = job.out.release();
    return std::fclose(f) == 0 ? MPGE_OK : MPGE_ERR_WRITE;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) MPGE_RESULT MPGE_initializeWork(void) {
    std::lock_guard lock(g_mutex);
    DiscardJob();
    g_state = State::Configuring;
    return MPGE_OK;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_setConfigure(uint32_t id, MPGE_VALUE value1,
                                                                     MPGE_VALUE value2) {
    std::lock_guard lock(g_mutex);
    if (g_state != State::Configuring) return MPGE_ERR_NO_JOB;
    Config& c = g_config;
    switch (id) {
    case MPGE_CFG_INPUT:
        c.inputKind = value1 <= MPGE_INPUT_MEMORY ? static_cast<int>(value1) : -1;
        if (value1 == MPGE_INPUT_FILE && value2)
            c.source = reinterpret_cast<const char*>(value2);
        else if (value1 == MPGE_INPUT_MEMORY && value2)
            c.memory = *reinterpret_cast<const MPGE_MEMORY_INPUT*>(value2);
        else
            c.inputKind = -1;
        break;
    case MPGE_CFG_OUTPUT:
        c.haveOutput = value2 != 0;
        c.destination = value2 ? reinterpret_cast<const char*>(value2) : "";
        break;
    case MPGE_CFG_CHANNEL_MODE:
        c.channelMode = value1;
        break;
    case MPGE_CFG_BITRATE:
        c.bitrate = value1;
        break;
    case MPGE_CFG_PSYCHOACOUSTICS:
        c.psychoacoustics = value1 != 0;
        break;
    case MPGE_CFG_LOWPASS_16K:
        c.lowpass16k = value1 != 0;
        break;
    case MPGE_CFG_USE_MMX:
    case MPGE_CFG_USE_3DNOW:
    case MPGE_CFG_USE_KNI:
    case MPGE_CFG_USE_EX_3DNOW:
    case MPGE_CFG_USE_SPC1:
    case MPGE_CFG_USE_SPC2:
    case MPGE_CFG_PROCESSORS:
        break; // accepted; the engine picks its own code paths
    case MPGE_CFG_ID3_BLOCK:
        c.id3 = CopyBlock(value1, value2);
        break;
    case MPGE_CFG_EMPHASIS:
        c.emphasis = value1;
        break;
    case MPGE_CFG_VBR_LEVEL:
        c.vbr = true;
        c.vbrLevel = value1;
        break;
    case MPGE_CFG_CONTAINER:
        c.container = value1;
        break;
    case MPGE_CFG_RIFF_TAG:
        c.riffTags.push_back(CopyBlock(value1, value2));
        break;
    case MPGE_CFG_VBR_RANGE:
        c.vbrLow = value1;
        c.vbrHigh = value2;
        if (value1 > 320 || value2 > 320 || (value2 != 0 && value1 > value2)) c.rangesValid = false;
        break;
    case MPGE_CFG_EXT_FILTER:
    case MPGE_CFG_MS_SETTING:
        if (value1 > 100 || value2 > 100) c.rangesValid = false;
        break;
    default:
        return MPGE_ERR_BAD_CONFIG_ID;
    }
    return MPGE_OK;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_getConfigure(uint32_t id, void* result) {
    std::lock_guard lock(g_mutex);
    if (!result) return MPGE_ERR_BAD_SETTING;
    if (id != MPGE_CFG_FRAME_COUNT) return MPGE_ERR_BAD_CONFIG_ID;
    if (!g_job) return MPGE_ERR_NO_JOB;
    const int32_t frames = g_job->totalFrames;
    std::memcpy(result, &frames, sizeof frames);
    return MPGE_OK;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_detectConfigure(void) {
    std::lock_guard lock(g_mutex);
    if (g_state != State::Configuring) return MPGE_ERR_NO_JOB;
    g_job.reset();
    MPGE_RESULT r = MPGE_ERR_ENCODER;
    try {
        r = Detect();
    } catch (const std::exception&) {
        r = MPGE_ERR_ENCODER;
    }
    if (r == MPGE_OK)
        g_state = State::Ready;
    else
        g_job.reset();
    return r;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_processFrame(void) {
    std::unique_lock lock(g_mutex);
    if (g_state == State::Finished) return MPGE_END_OF_STREAM;
    if (g_state != State::Ready || !g_job) return MPGE_ERR_NO_JOB;
    Job& job = *g_job;
    int samples = 0;
    if (job.memoryInput) {
        // The caller may take a while to deliver; it must be able to use the library meanwhile.
        const uint64_t generation = g_generation;
        MPGE_READ_CALLBACK read = job.read;
        Bytes buffer(job.pcm.size());
        lock.unlock();
        const int32_t got =
            read(reinterpret_cast<char*>(buffer.data()), static_cast<int32_t>(buffer.size()));
        lock.lock();
        if (generation != g_generation || !g_job || g_state != State::Ready) return MPGE_ERR_NO_JOB;
        if (got == 0) {
            g_job->pcm = std::move(buffer);
            samples = g_job->frameSize;
        }
    } else if (job.samplesLeft > 0) {
        samples = static_cast<int>(std::min<uint64_t>(job.samplesLeft, job.frameSize));
        const size_t bytes = static_cast<size_t>(samples) * job.blockAlign;
        if (std::fread(job.pcm.data(), 1, bytes, job.in.get()) != bytes) return MPGE_ERR_READ;
        job.samplesLeft -= static_cast<uint64_t>(samples);
    }
    Job& current = *g_job;
    if (samples > 0) {
        if (MPGE_RESULT r = EncodePcm(current, samples)) return r;
        ++current.framesDone;
        return MPGE_OK;
    }
    if (MPGE_RESULT r = FinishJob(current)) return r;
    g_state = State::Finished;
    return MPGE_END_OF_STREAM;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_closeCoder(void) {
    std::lock_guard lock(g_mutex);
    if (!g_job) return MPGE_ERR_NO_JOB;
    g_job.reset(); // an unfinished destination stays as far as it was written
    g_state = State::Closed;
    return MPGE_OK;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_endCoder(void) {
    std::lock_guard lock(g_mutex);
    const bool hadWork = g_state != State::Idle || g_job;
    DiscardJob();
    g_state = State::Idle;
    return hadWork ? MPGE_OK : MPGE_ERR_NO_JOB;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_getUnitStates(uint32_t* unit) {
    if (!unit) return MPGE_ERR_BAD_SETTING;
    uint32_t states = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("mmx")) states |= MPGE_UNIT_MMX;
    if (__builtin_cpu_supports("sse")) states |= MPGE_UNIT_KNI;
#endif
    *unit = states;
    return MPGE_OK;
}

__attribute__((visibility("default"))) MPGE_RESULT MPGE_getVersion(uint32_t* code, char* text) {
    if (!code || !text) return MPGE_ERR_BAD_SETTING;
    *code = kVersionCode;
    std::snprintf(text, MPGE_VERSION_TEXT_SIZE, "libgogo %u.%02u (LAME %s)", kVersionCode >> 8,
                  kVersionCode & 0xFF, get_lame_version());
    return MPGE_OK;
}

} // extern "C"
