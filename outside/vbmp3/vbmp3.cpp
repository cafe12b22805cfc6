// The MP3 decoder library over libmpg123: one decoder per process, one file at a time.
#include "outside/include/vbmp3.h"
#include "outside/include/mp3_scan.h"

#include <mpg123.h>
#include <syn123.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#define SV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using sv::mp3::ConfigureOutput;
using sv::mp3::CutShortAtTheEnd;
using sv::mp3::Layout;
using sv::mp3::OutputLength;
using sv::mp3::Part;
using sv::mp3::ResampledLength;
using sv::mp3::Scan;
using sv::mp3::SearchOn;

// A 16-bit PCM WAV being written: a 44-byte header whose sizes are patched when it is closed.
class WaveWriter {
public:
    bool IsOpen() const { return file_ != nullptr; }

    bool Create(const char* path, long rate, int channels) {
        file_ = std::fopen(path, "wb");
        if (!file_) return false;
        rate_ = rate;
        channels_ = channels;
        dataBytes_ = 0;
        const auto header = Header();
        if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
            Close();
            return false;
        }
        return true;
    }

    bool Write(const unsigned char* data, size_t size) {
        // RIFF sizes are 32-bit: refuse what the header could not describe.
        if (dataBytes_ + size > kMaxData) return false;
        if (std::fwrite(data, 1, size, file_) != size) return false;
        dataBytes_ += size;
        return true;
    }

    // Patches the sizes to the data written and closes; false when any of it failed.
    bool Close() {
        if (!file_) return true;
        const auto header = Header();
        bool ok = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
                  std::fwrite(header.data(), 1, header.size(), file_) == header.size();
        ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        return ok;
    }

private:
    static constexpr uint64_t kMaxData = 0xFFFFFFFFull - 36;

    static void Put16(unsigned char* p, uint32_t v) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
    }
    static void Put32(unsigned char* p, uint32_t v) {
        Put16(p, v & 0xFFFF);
        Put16(p + 2, v >> 16);
    }

    std::array<unsigned char, 44> Header() const {
        std::array<unsigned char, 44> h{};
        const auto data = static_cast<uint32_t>(dataBytes_);
        const auto blockAlign = static_cast<uint32_t>(channels_ * 2);
        std::memcpy(h.data(), "RIFF", 4);
        Put32(&h[4], 36 + data);
        std::memcpy(&h[8], "WAVEfmt ", 8);
        Put32(&h[16], 16);
        Put16(&h[20], 1); // PCM
        Put16(&h[22], static_cast<uint32_t>(channels_));
        Put32(&h[24], static_cast<uint32_t>(rate_));
        Put32(&h[28], static_cast<uint32_t>(rate_) * blockAlign);
        Put16(&h[32], blockAlign);
        Put16(&h[34], 16);
        std::memcpy(&h[36], "data", 4);
        Put32(&h[40], data);
        return h;
    }

    std::FILE* file_ = nullptr;
    long rate_ = 0;
    int channels_ = 0;
    uint64_t dataBytes_ = 0;
};

// Output frames the resampler keeps back until the end, so that the WAV can be cut to the exact
// length: the resampler may give a frame more than the rounded ratio.
constexpr size_t kHeldFrames = 16;
constexpr size_t kBufferFloats = 16 * 1024;

struct DecoderState {
    std::mutex lock;
    bool started = false;
    mpg123_handle* handle = nullptr;
    syn123_handle* resampler = nullptr;
    DecoderOutputOptions options{0, DECODER_CONVERT_STEREO, 44100};
    bool fileOpen = false;
    dev_t sourceDevice = 0;
    ino_t sourceInode = 0;
    off_t sourceSize = 0;
    int32_t totalFrames = 0;
    long outputRate = 0;
    int outputChannels = 0;
    // The stream comes in parts of one rate each (a joined stream can change it). A part at
    // another rate than the output's comes as float samples and goes through the resampler.
    long partRate = 0;
    bool resampling = false;
    int64_t partStart = 0;    // output frames written before the current part
    int64_t inputFrames = 0;  // decoded at the part's rate
    int64_t outputFrames = 0; // written to the current WAV
    std::vector<float> resampled;
    std::vector<int16_t> pcm;
    WaveWriter wave;
    std::vector<float> buffer = std::vector<float>(kBufferFloats);
    int lastError = DECODER_OK;
};

DecoderState& State() {
    static DecoderState state;
    return state;
}

// Records why a call failed; 0 is the failed call's result.
int Fail(DecoderState& s, int error) {
    s.lastError = error;
    return 0;
}

// Closes the source; an unfinished WAV is kept as far as it got and marked as aborted.
void CloseSource(DecoderState& s) {
    if (s.wave.IsOpen()) {
        s.wave.Close();
        s.lastError = DECODER_ERROR_ABORTED;
    }
    if (s.fileOpen) mpg123_close(s.handle);
    s.fileOpen = false;
    s.totalFrames = 0;
}

// libmpg123 reads through leading junk and a RIFF header to MPEG frames inside; a file that
// starts as a WAV, or is empty, is not an MP3 here.
int CheckHead(const char* path, struct stat& st) {
    // Only regular files: a pipe or a device could block or never end.
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return DECODER_ERROR_OPEN;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return DECODER_ERROR_OPEN;
    char head[4] = {};
    const size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (got == 0 || (got == 4 && std::memcmp(head, "RIFF", 4) == 0)) return DECODER_ERROR_NOT_MPEG;
    return DECODER_OK;
}

int Channels(const DecoderOutputOptions& options) {
    return options.convert == DECODER_CONVERT_MONO ? MPG123_MONO : MPG123_STEREO;
}

int32_t ClampFrames(off_t frames) {
    return static_cast<int32_t>(std::clamp<off_t>(frames, 0, std::numeric_limits<int32_t>::max()));
}

void FillInfo(DecoderState& s, off_t samples, DecoderFileInfo* info) {
    std::memset(info, 0, sizeof *info);
    mpg123_frameinfo2 frame{};
    if (mpg123_info2(s.handle, &frame) == MPG123_OK) {
        info->sampleRate = static_cast<int32_t>(frame.rate);
        info->channels = frame.mode == MPG123_M_MONO ? 1 : 2;
        info->bitRate = frame.bitrate;
        info->layer = frame.layer;
        info->mpegVersion = frame.version == MPG123_1_0   ? 10
                            : frame.version == MPG123_2_0 ? 20
                                                          : 25;
        info->variable = frame.vbr != MPG123_CBR;
    }
    info->outputRate = static_cast<int32_t>(s.outputRate);
    info->outputChannels = s.outputChannels;
    info->outputSamples = samples;
    info->durationMs = static_cast<int32_t>(std::min<int64_t>(
        static_cast<int64_t>(samples) * 1000 / s.outputRate, std::numeric_limits<int32_t>::max()));
    info->totalFrames = s.totalFrames;
}

int16_t ToPcm16(float sample) {
    const float scaled = std::nearbyint(sample * 32768.0f);
    if (std::isnan(scaled)) return 0;
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// Runs `frames` source frames through the resampler, appending to what is held back.
bool Resample(DecoderState& s, float* input, size_t frames) {
    if (frames == 0) return true;
    const auto channels = static_cast<size_t>(s.outputChannels);
    const size_t room = syn123_resample_count(s.partRate, s.outputRate, frames);
    const size_t held = s.resampled.size();
    s.resampled.resize(held + room * channels);
    const size_t made = syn123_resample(s.resampler, s.resampled.data() + held, input, frames);
    s.resampled.resize(held + std::min(made, room) * channels);
    return made <= room;
}

// Writes what the resampler made, all but the last `keep` frames.
bool WriteResampled(DecoderState& s, size_t keep) {
    const auto channels = static_cast<size_t>(s.outputChannels);
    const size_t frames = s.resampled.size() / channels;
    if (frames <= keep) return true;
    const size_t count = (frames - keep) * channels;
    s.pcm.resize(count);
    std::transform(s.resampled.begin(), s.resampled.begin() + static_cast<ptrdiff_t>(count),
                   s.pcm.begin(), ToPcm16);
    s.resampled.erase(s.resampled.begin(), s.resampled.begin() + static_cast<ptrdiff_t>(count));
    s.outputFrames += static_cast<int64_t>(frames - keep);
    return s.wave.Write(reinterpret_cast<const unsigned char*>(s.pcm.data()),
                        count * sizeof(int16_t));
}

// Brings the WAV to its exact length at the end of a resampled part: the filters' tail comes
// out on silence fed after the input, and whatever the resampler made beyond it is dropped.
bool FinishResampled(DecoderState& s) {
    const int64_t length = s.partStart + ResampledLength(s.inputFrames, s.partRate, s.outputRate);
    const auto channels = static_cast<size_t>(s.outputChannels);
    std::vector<float> silence(64 * channels, 0.0f);
    auto made = [&] {
        return s.outputFrames + static_cast<int64_t>(s.resampled.size() / channels);
    };
    for (int rounds = 0; made() < length && rounds < 64; ++rounds)
        if (!Resample(s, silence.data(), 64)) return false;
    if (made() < length) return false;
    return WriteResampled(s, static_cast<size_t>(made() - length)) && s.outputFrames == length;
}

// Writes what one read gave, in the current part's format.
bool WriteDecoded(DecoderState& s, size_t bytes, bool last) {
    if (!s.resampling) {
        s.outputFrames += static_cast<int64_t>(bytes / (2 * static_cast<size_t>(s.outputChannels)));
        return bytes == 0 ||
               s.wave.Write(reinterpret_cast<const unsigned char*>(s.buffer.data()), bytes);
    }
    const size_t frames = bytes / (sizeof(float) * static_cast<size_t>(s.outputChannels));
    s.inputFrames += static_cast<int64_t>(frames);
    return Resample(s, s.buffer.data(), frames) &&
           (last ? FinishResampled(s) : WriteResampled(s, kHeldFrames));
}

// Starts a part at the decoder's current rate; the resampler starts with fresh filters.
int StartPart(DecoderState& s) {
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(s.handle, &rate, &channels, &encoding) != MPG123_OK ||
        channels != s.outputChannels)
        return DECODER_ERROR_DECODE;
    s.partRate = rate;
    s.resampling = rate != s.outputRate;
    s.partStart = s.outputFrames;
    s.inputFrames = 0;
    s.resampled.clear();
    if (encoding != (s.resampling ? MPG123_ENC_FLOAT_32 : MPG123_ENC_SIGNED_16))
        return DECODER_ERROR_DECODE;
    if (!s.resampling) return DECODER_OK;
    // Only a change beyond the rates clears the filters' history: clear it by a refused setup.
    syn123_setup_resample(s.resampler, 0, 0, 0, 0, 0);
    return syn123_setup_resample(s.resampler, rate, s.outputRate, s.outputChannels, 0, 0) ==
                   SYN123_OK
               ? DECODER_OK
               : DECODER_ERROR_OUTPUT;
}

} // namespace

SV_EXPORT void DecoderStartUp(void) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (s.started) {
        CloseSource(s);
        return;
    }
    int error = MPG123_OK;
    s.handle = mpg123_new(nullptr, &error);
    s.resampler = syn123_new(44100, 1, MPG123_ENC_FLOAT_32, 0, &error);
    s.started = s.handle && s.resampler;
    if (!s.started) {
        if (s.handle) mpg123_delete(s.handle);
        if (s.resampler) syn123_del(s.resampler);
        s.handle = nullptr;
        s.resampler = nullptr;
    }
}

SV_EXPORT void DecoderCloseFile(void) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (s.started) CloseSource(s);
}

SV_EXPORT int DecoderOpenFile(const char* path, DecoderFileInfo* info) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (!s.started) return Fail(s, DECODER_ERROR_NOT_STARTED);
    if (!path || !info) return Fail(s, DECODER_ERROR_ARGUMENT);
    CloseSource(s);
    std::memset(info, 0, sizeof *info);
    struct stat source {};
    if (const int head = CheckHead(path, source); head != DECODER_OK) return Fail(s, head);
    const int channels = Channels(s.options);
    const long outputRate = s.options.sampleRate;
    Layout layout;
    if (!Scan(path, channels, outputRate, layout)) return Fail(s, DECODER_ERROR_NOT_MPEG);
    for (const Part& part : layout.parts)
        if (part.rate != outputRate && syn123_resample_count(part.rate, outputRate, 1) == 0)
            return Fail(s, DECODER_ERROR_OUTPUT);
    if (!ConfigureOutput(s.handle, channels, outputRate)) return Fail(s, DECODER_ERROR_OUTPUT);
    if (mpg123_open(s.handle, path) != MPG123_OK) return Fail(s, DECODER_ERROR_OPEN);
    s.fileOpen = true;
    s.sourceDevice = source.st_dev;
    s.sourceInode = source.st_ino;
    s.sourceSize = source.st_size;
    s.outputRate = outputRate;
    s.outputChannels = channels;
    if (StartPart(s) != DECODER_OK || s.partRate != layout.parts.front().rate ||
        !SearchOn(s.handle)) {
        CloseSource(s);
        return Fail(s, DECODER_ERROR_NOT_MPEG);
    }
    s.totalFrames = ClampFrames(layout.frames);
    FillInfo(s, OutputLength(layout, outputRate), info);
    s.lastError = DECODER_OK;
    return 1;
}

SV_EXPORT int DecoderSetOutput(const DecoderOutputOptions* options) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (!options ||
        (options->convert != DECODER_CONVERT_STEREO && options->convert != DECODER_CONVERT_MONO) ||
        options->sampleRate < DECODER_MIN_RATE || options->sampleRate > DECODER_MAX_RATE)
        return Fail(s, DECODER_ERROR_ARGUMENT);
    s.options = *options;
    s.lastError = DECODER_OK;
    return 1;
}

SV_EXPORT int DecoderBeginWave(const char* path) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (!s.started) return Fail(s, DECODER_ERROR_NOT_STARTED);
    if (!path) return Fail(s, DECODER_ERROR_ARGUMENT);
    if (!s.fileOpen) return Fail(s, DECODER_ERROR_NO_FILE);
    // Creating the WAV would truncate the MP3 being read.
    if (struct stat target{}; stat(path, &target) == 0 && target.st_dev == s.sourceDevice &&
                              target.st_ino == s.sourceInode)
        return Fail(s, DECODER_ERROR_SAME_FILE);
    if (s.wave.IsOpen()) s.wave.Close();
    // A second WAV of the same file starts from its beginning again.
    if (mpg123_seek(s.handle, 0, SEEK_SET) < 0) return Fail(s, DECODER_ERROR_DECODE);
    s.outputFrames = 0;
    if (const int part = StartPart(s); part != DECODER_OK) return Fail(s, part);
    if (!s.wave.Create(path, s.outputRate, s.outputChannels))
        return Fail(s, DECODER_ERROR_CREATE_WAVE);
    s.lastError = DECODER_OK;
    return 1;
}

SV_EXPORT int DecoderStep(int32_t* position) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (!s.started) return Fail(s, DECODER_ERROR_NOT_STARTED);
    if (!s.wave.IsOpen()) return Fail(s, DECODER_ERROR_NO_WAVE);
    size_t done = 0;
    const int result =
        mpg123_read(s.handle, s.buffer.data(), s.buffer.size() * sizeof(float), &done);
    const bool ends = result != MPG123_OK && result != MPG123_NEW_FORMAT;
    // The decoder searches on to the end of the file: an end before it is a file that shrank
    // while it was read, or audio it could not reach, and the WAV lacks it.
    const bool complete = result == MPG123_DONE ? mpg123_tell_stream(s.handle) >= s.sourceSize
                                                : CutShortAtTheEnd(s.handle, result, s.sourceSize);
    // A new rate or the end can come with the last samples of the part before: write them first.
    long rate = s.partRate;
    if (result == MPG123_NEW_FORMAT) mpg123_getformat2(s.handle, &rate, nullptr, nullptr, 0);
    const bool partEnds = complete || rate != s.partRate;
    if (!WriteDecoded(s, done, partEnds)) {
        s.wave.Close();
        return Fail(s, DECODER_ERROR_WRITE);
    }
    if (ends) {
        const bool closed = s.wave.Close();
        if (!complete) return Fail(s, DECODER_ERROR_DECODE);
        if (position) *position = s.totalFrames;
        s.lastError = closed ? DECODER_OK : DECODER_ERROR_WRITE;
        return 0;
    }
    if (partEnds) {
        if (const int part = StartPart(s); part != DECODER_OK) {
            s.wave.Close();
            return Fail(s, part);
        }
    }
    if (position) *position = std::min(ClampFrames(mpg123_tellframe(s.handle)), s.totalFrames);
    s.lastError = DECODER_OK;
    return 1;
}

SV_EXPORT void DecoderShutDown(void) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    if (!s.started) return;
    CloseSource(s);
    mpg123_delete(s.handle);
    syn123_del(s.resampler);
    s.handle = nullptr;
    s.resampler = nullptr;
    s.started = false;
}

SV_EXPORT int DecoderLastError(void) {
    auto& s = State();
    std::lock_guard guard(s.lock);
    return s.lastError;
}
