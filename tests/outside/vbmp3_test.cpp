// The decoder library through its C interface, against the `lame` and `mpg123` commands.
#include "outside/include/vbmp3.h"
#include "tests/outside/audio_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <complex>

namespace {

using namespace svtest;

// Counts MPEG-1 layer III frames by their headers, the way a player without a seek table must.
int CountFrames(const fs::path& path) {
    static const int kBitRates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[4] = {44100, 48000, 32000, 0};
    const auto b = ReadAll(path);
    int frames = 0;
    for (size_t at = 0; at + 4 <= b.size();) {
        if (b[at] != 0xFF || (b[at + 1] & 0xFE) != 0xFA) return -1;
        const int bitRate = kBitRates[b[at + 2] >> 4];
        const int rate = kRates[(b[at + 2] >> 2) & 3];
        if (bitRate == 0 || rate == 0) return -1;
        at += 144 * bitRate * 1000 / rate + ((b[at + 2] >> 1) & 1);
        ++frames;
    }
    return frames;
}

struct Decoded {
    int32_t total = 0;
    int64_t outputSamples = -1;
    int32_t lastPosition = -1;
    bool monotonic = true;
    int steps = 0;
    int error = -1;
};

// The program's calling sequence for one file.
Decoded Decode(const fs::path& mp3, const fs::path& wav,
               DecoderOutputOptions options = {0, 0, 44100}) {
    Decoded d;
    DecoderFileInfo info{};
    DecoderCloseFile();
    if (!DecoderOpenFile(mp3.c_str(), &info)) return d;
    DecoderSetOutput(&options);
    DecoderCloseFile();
    if (!DecoderOpenFile(mp3.c_str(), &info) || !DecoderBeginWave(wav.c_str())) return d;
    d.total = info.totalFrames;
    d.outputSamples = info.outputSamples;
    int32_t position = 0;
    while (DecoderStep(&position)) {
        d.monotonic = d.monotonic && position >= d.lastPosition && position <= d.total;
        d.lastPosition = position;
        ++d.steps;
    }
    d.lastPosition = position;
    d.error = DecoderLastError();
    return d;
}

class Vbmp3Test : public ::testing::Test {
protected:
    void SetUp() override {
        DecoderStartUp();
        const DecoderOutputOptions defaults{0, DECODER_CONVERT_STEREO, 44100};
        DecoderSetOutput(&defaults);
    }
    void TearDown() override { DecoderShutDown(); }
    fs::path Path(const std::string& name) const { return dir_.Path(name); }

    svtest::ScratchDir dir_;
};

TEST_F(Vbmp3Test, LameMp3DecodesToTheOriginalSampleCountWithPatchedHeader) {
    for (const int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        const int samples = 66150 + channels; // not a whole number of frames
        dir_.MakeMp3("in.mp3", 44100, channels, samples);

        const Decoded d = Decode(Path("in.mp3"), Path("out.wav"),
                                 {0, channels == 1 ? DECODER_CONVERT_MONO : 0, 44100});
        ASSERT_EQ(d.error, DECODER_OK);
        EXPECT_TRUE(d.monotonic);
        EXPECT_GT(d.steps, 1);
        EXPECT_EQ(d.lastPosition, d.total);

        const WavFacts out = ReadWav(Path("out.wav"));
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.dataOffset, 44u);
        EXPECT_EQ(out.rate, 44100);
        EXPECT_EQ(out.channels, channels);
        EXPECT_EQ(out.bits, 16);
        EXPECT_EQ(out.Samples(), static_cast<uint64_t>(samples));
        EXPECT_EQ(out.Samples(), dir_.ReferenceSamples("in.mp3"));
        EXPECT_EQ(out.dataSize, out.fileSize - 44);
        EXPECT_EQ(out.riffSize, out.fileSize - 8);
    }
}

TEST_F(Vbmp3Test, VbrWithoutHeaderCountsEveryFrame) {
    dir_.MakeMp3("vbr.mp3", 44100, 2, 100000, "-V 2 -t");
    const int frames = CountFrames(Path("vbr.mp3"));
    ASSERT_GT(frames, 50);

    DecoderFileInfo info{};
    ASSERT_TRUE(DecoderOpenFile(Path("vbr.mp3").c_str(), &info));
    EXPECT_EQ(info.totalFrames, frames);
    EXPECT_EQ(info.sampleRate, 44100);

    const Decoded d = Decode(Path("vbr.mp3"), Path("out.wav"));
    ASSERT_EQ(d.error, DECODER_OK);
    EXPECT_EQ(d.total, frames);
    EXPECT_EQ(ReadWav(Path("out.wav")).Samples(), dir_.ReferenceSamples("vbr.mp3"));
}

TEST_F(Vbmp3Test, OutputFollowsTheOptionsOfTheLaterOpen) {
    dir_.MakeMp3("in.mp3", 44100, 2, 88200);
    dir_.MakeMp3("mono.mp3", 48000, 1, 48000, "-b 64");

    struct Case {
        const char* file;
        DecoderOutputOptions options;
        int channels;
        int rate;
        double seconds;
    };
    const Case cases[] = {
        {"in.mp3", {0, DECODER_CONVERT_MONO, 22050}, 1, 22050, 2.0},
        {"in.mp3", {0, DECODER_CONVERT_STEREO, 30000}, 2, 30000, 2.0},
        {"in.mp3", {0, DECODER_CONVERT_MONO, DECODER_MIN_RATE}, 1, DECODER_MIN_RATE, 2.0},
        {"in.mp3", {0, DECODER_CONVERT_STEREO, DECODER_MAX_RATE}, 2, DECODER_MAX_RATE, 2.0},
        {"mono.mp3", {0, DECODER_CONVERT_STEREO, 44100}, 2, 44100, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.rate));
        const Decoded d = Decode(Path(c.file), Path("out.wav"), c.options);
        ASSERT_EQ(d.error, DECODER_OK);
        const WavFacts out = ReadWav(Path("out.wav"));
        EXPECT_EQ(out.channels, c.channels);
        EXPECT_EQ(out.rate, c.rate);
        EXPECT_NEAR(static_cast<double>(out.Samples()) / c.rate, c.seconds, 0.01);
        EXPECT_EQ(out.dataSize, out.fileSize - 44);
    }
}

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t j = 0; j < len / 2; ++j, w *= step) {
                const auto u = a[i + j], v = a[i + j + len / 2] * w;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
            }
        }
    }
}

int16_t SampleAt(const std::vector<unsigned char>& bytes, const WavFacts& wav, uint64_t frame) {
    return static_cast<int16_t>(Get16(bytes, wav.dataOffset + frame * wav.channels * 2));
}

// The share of the first channel's power above `hertz`, in dB, over 16384 frames from the middle
// (Hann window, so that the tone itself does not leak far).
double PowerAboveDb(const fs::path& path, double hertz) {
    const WavFacts wav = ReadWav(path);
    const auto bytes = ReadAll(path);
    const size_t n = 16384;
    if (!wav.ok || wav.Samples() < 2 * n) return 0;
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i)
        a[i] = SampleAt(bytes, wav, wav.Samples() / 2 - n / 2 + i) *
               (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / (n - 1)));
    Fft(a);
    double above = 0, all = 0;
    for (size_t i = 0; i < n / 2; ++i) {
        all += std::norm(a[i]);
        if (static_cast<double>(i) * wav.rate / n > hertz) above += std::norm(a[i]);
    }
    return 10 * std::log10(above / all);
}

TEST_F(Vbmp3Test, ResamplingKeepsATonePure) {
    for (const int rate : {32000, 48000}) {
        SCOPED_TRACE(rate);
        const std::string name = "tone" + std::to_string(rate) + ".mp3";
        Shell("sox -n -r " + std::to_string(rate) + " -c 2 -b 16 " + dir_.Quoted(name + ".wav") +
              " synth 3 sine 1000 vol 0.5");
        Shell("lame --quiet -b 128 " + dir_.Quoted(name + ".wav") + " " + dir_.Quoted(name));
        ASSERT_EQ(Decode(Path(name), Path("out.wav")).error, DECODER_OK);
        EXPECT_LT(PowerAboveDb(Path("out.wav"), 1500), -50);
        // Sample by sample what the mpg123 command makes of it, give or take rounding.
        Shell("mpg123 -q -r 44100 -w " + dir_.Quoted("ref.wav") + " " + dir_.Quoted(name));
        const WavFacts ours = ReadWav(Path("out.wav")), theirs = ReadWav(Path("ref.wav"));
        const auto a = ReadAll(Path("out.wav")), b = ReadAll(Path("ref.wav"));
        int worst = 0;
        for (uint64_t i = 0; i < std::min(ours.Samples(), theirs.Samples()); ++i)
            worst = std::max(worst, std::abs(SampleAt(a, ours, i) - SampleAt(b, theirs, i)));
        EXPECT_LE(worst, 1);
    }
}

TEST_F(Vbmp3Test, ResampledLengthIsExactAndWhatTheLibraryReports) {
    dir_.MakeMp3("long.mp3", 48000, 1, 48000 * 180, "-b 64");
    DecoderFileInfo info{};
    const DecoderOutputOptions options{0, DECODER_CONVERT_STEREO, 44100};
    ASSERT_TRUE(DecoderSetOutput(&options));
    ASSERT_TRUE(DecoderOpenFile(Path("long.mp3").c_str(), &info));
    EXPECT_EQ(info.outputSamples, 7938000);
    EXPECT_EQ(info.durationMs, 180000);
    const Decoded d = Decode(Path("long.mp3"), Path("long.wav"));
    ASSERT_EQ(d.error, DECODER_OK);
    EXPECT_TRUE(d.monotonic);
    EXPECT_EQ(d.lastPosition, d.total);
    EXPECT_EQ(ReadWav(Path("long.wav")).Samples(), 7938000u);

    // Up, down, to a rate of no MPEG version, both channel counts; a second WAV of the same open
    // file starts with fresh filters.
    dir_.MakeMp3("short.mp3", 44100, 2, 44100 * 2 + 1001);
    for (const int rate : {22050, 8000, 30000, 96000}) {
        for (const int convert : {DECODER_CONVERT_STEREO, DECODER_CONVERT_MONO}) {
            SCOPED_TRACE(std::to_string(rate) + " " + std::to_string(convert));
            const DecoderOutputOptions o{0, convert, rate};
            ASSERT_TRUE(DecoderSetOutput(&o));
            ASSERT_TRUE(DecoderOpenFile(Path("short.mp3").c_str(), &info));
            const int64_t length = (int64_t{44100 * 2 + 1001} * rate + 22050) / 44100;
            EXPECT_EQ(info.outputSamples, length);
            for (const char* name : {"a.wav", "b.wav"}) {
                ASSERT_TRUE(DecoderBeginWave(Path(name).c_str()));
                while (DecoderStep(nullptr)) {
                }
                ASSERT_EQ(DecoderLastError(), DECODER_OK);
            }
            EXPECT_EQ(ReadWav(Path("a.wav")).Samples(), static_cast<uint64_t>(length));
            // (libmpg123's own mono mix may differ by a rounding step after its seek.)
            if (convert == DECODER_CONVERT_STEREO) {
                EXPECT_TRUE(ReadAll(Path("a.wav")) == ReadAll(Path("b.wav")));
            }
        }
    }
}

TEST_F(Vbmp3Test, FilesThatAreNoMp3FailAtOpen) {
    std::ofstream(Path("text.mp3")) << std::string(5000, 'x') << "\nnot audio at all\n";
    std::ofstream(Path("empty.mp3")).flush();
    WriteWav(Path("wave.mp3"), 44100, 2, 44100);
    fs::create_directory(Path("folder.mp3"));
    ASSERT_EQ(mkfifo(Path("pipe.mp3").c_str(), 0600), 0);
    const std::pair<const char*, int> cases[] = {
        {"text.mp3", DECODER_ERROR_NOT_MPEG}, {"empty.mp3", DECODER_ERROR_NOT_MPEG},
        {"wave.mp3", DECODER_ERROR_NOT_MPEG}, {"missing.mp3", DECODER_ERROR_OPEN},
        {"folder.mp3", DECODER_ERROR_OPEN},   {"pipe.mp3", DECODER_ERROR_OPEN},
    };
    for (const auto& [name, error] : cases) {
        SCOPED_TRACE(name);
        DecoderFileInfo info{};
        info.totalFrames = 7;
        EXPECT_EQ(DecoderOpenFile(Path(name).c_str(), &info), 0);
        EXPECT_EQ(DecoderLastError(), error);
        EXPECT_EQ(info.totalFrames, 0);
        EXPECT_EQ(DecoderBeginWave(Path("out.wav").c_str()), 0);
        EXPECT_EQ(DecoderLastError(), DECODER_ERROR_NO_FILE);
    }
    EXPECT_FALSE(fs::exists(Path("out.wav")));
}

TEST_F(Vbmp3Test, EveryCallIsHarmlessInAnyState) {
    dir_.MakeMp3("in.mp3", 44100, 2, 20000);
    DecoderFileInfo info{};
    int32_t position = -5;

    // Nothing open.
    DecoderCloseFile();
    EXPECT_EQ(DecoderStep(&position), 0);
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_NO_WAVE);
    EXPECT_EQ(position, -5);
    EXPECT_EQ(DecoderOpenFile(nullptr, &info), 0);
    EXPECT_EQ(DecoderOpenFile(Path("in.mp3").c_str(), nullptr), 0);
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_ARGUMENT);
    EXPECT_EQ(DecoderSetOutput(nullptr), 0);

    // Refused options leave the previous ones in force.
    const DecoderOutputOptions bad[] = {{0, 2, 44100}, {0, 0, 0}, {0, 0, -44100}, {0, 1, 500000}};
    for (const auto& options : bad) {
        EXPECT_EQ(DecoderSetOutput(&options), 0);
        EXPECT_EQ(DecoderLastError(), DECODER_ERROR_ARGUMENT);
    }
    ASSERT_TRUE(DecoderOpenFile(Path("in.mp3").c_str(), &info));
    EXPECT_EQ(info.outputRate, 44100);
    EXPECT_EQ(info.outputChannels, 2);
    EXPECT_EQ(DecoderBeginWave(nullptr), 0);
    EXPECT_EQ(DecoderBeginWave(Path("no/such/folder/out.wav").c_str()), 0);
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_CREATE_WAVE);
    // Never onto the file being decoded, by whatever name.
    fs::create_symlink(Path("in.mp3"), Path("link.wav"));
    for (const char* name : {"in.mp3", "link.wav"}) {
        EXPECT_EQ(DecoderBeginWave(Path(name).c_str()), 0);
        EXPECT_EQ(DecoderLastError(), DECODER_ERROR_SAME_FILE);
    }

    // A second WAV of the same open file starts again from the beginning; null position is fine.
    for (const char* name : {"a.wav", "b.wav"}) {
        ASSERT_TRUE(DecoderBeginWave(Path(name).c_str()));
        while (DecoderStep(nullptr)) {
        }
        EXPECT_EQ(DecoderLastError(), DECODER_OK);
    }
    EXPECT_EQ(ReadWav(Path("a.wav")).Samples(), 20000u);
    EXPECT_EQ(ReadAll(Path("a.wav")), ReadAll(Path("b.wav")));
    EXPECT_EQ(DecoderStep(&position), 0); // after the end
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_NO_WAVE);

    // Start-up again without a shut-down, shut-down twice, calls after it.
    DecoderStartUp(), DecoderStartUp(), DecoderShutDown(), DecoderShutDown(), DecoderCloseFile();
    EXPECT_EQ(DecoderOpenFile(Path("in.mp3").c_str(), &info), 0);
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_NOT_STARTED);
    EXPECT_EQ(DecoderStep(&position) + DecoderBeginWave(Path("c.wav").c_str()), 0);
    DecoderStartUp();
    EXPECT_TRUE(DecoderOpenFile(Path("in.mp3").c_str(), &info));
}

TEST_F(Vbmp3Test, AShortWavIsReportedAndStillReadable) {
    dir_.MakeMp3("in.mp3", 44100, 2, 441000);
    DecoderFileInfo info{};

    // A full disk: the WAV cannot be written, and the library says so.
    ASSERT_TRUE(DecoderOpenFile(Path("in.mp3").c_str(), &info));
    ASSERT_TRUE(DecoderBeginWave("/dev/full"));
    int steps = 0;
    while (DecoderStep(nullptr)) ++steps;
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_WRITE);
    EXPECT_LT(steps, 20);

    // Closed in the middle: what was written is a valid WAV, and the decode counts as aborted.
    ASSERT_TRUE(DecoderBeginWave(Path("cut.wav").c_str()));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(DecoderStep(nullptr));
    DecoderCloseFile();
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_ABORTED);
    const WavFacts cut = ReadWav(Path("cut.wav"));
    EXPECT_GT(cut.Samples(), 0u);
    EXPECT_LT(cut.Samples(), 441000u);
    EXPECT_EQ(cut.dataSize, cut.fileSize - 44);
    EXPECT_EQ(cut.riffSize, cut.fileSize - 8);

    // The MP3 cut short while it is read: the decode ends early, and that is no success.
    ASSERT_TRUE(DecoderOpenFile(Path("in.mp3").c_str(), &info));
    ASSERT_TRUE(DecoderBeginWave(Path("short.wav").c_str()));
    ASSERT_TRUE(DecoderStep(nullptr));
    fs::resize_file(Path("in.mp3"), fs::file_size(Path("in.mp3")) / 3);
    while (DecoderStep(nullptr)) ++steps;
    EXPECT_EQ(DecoderLastError(), DECODER_ERROR_DECODE);
}

// Each decodes to the end of its audio as the mpg123 command does, and to the length the library
// reported at open.
TEST_F(Vbmp3Test, CutJoinedAndDamagedFilesDecodeToTheirEnd) {
    dir_.MakeMp3("in.mp3", 44100, 2, 441000);
    dir_.MakeMp3("a.mp3", 44100, 2, 44100 * 3);
    dir_.MakeMp3("b.mp3", 44100, 2, 44100 * 4);
    dir_.Join("joined.mp3", {"a.mp3", "b.mp3"});
    dir_.InsertJunk("junk.mp3", "in.mp3", 4096);
    auto bytes = ReadAll(Path("in.mp3"));
    // The last frame cut short, then an ID3v1 tag: libmpg123 ends with a read error.
    std::vector<unsigned char> edited(bytes.begin(), bytes.end() - 169);
    edited.insert(edited.end(), {'T', 'A', 'G'});
    edited.resize(edited.size() + 125);
    WriteAll(Path("tagged.mp3"), edited);
    // An Info header without the LAME part (no quality field), its counts off.
    edited = bytes;
    const size_t info = std::search(bytes.begin(), bytes.end(), "Info", "Info" + 4) - bytes.begin();
    edited[info + 7] &= ~8;
    edited[info + 11] += 3;
    edited[info + 13] ^= 0x40;
    WriteAll(Path("counts.mp3"), edited);
    bytes.resize(bytes.size() / 2 + 77);
    WriteAll(Path("cut.mp3"), bytes);
    const std::pair<const char*, const char*> cases[] = {
        {"cut.mp3", ""},
        {"joined.mp3", ""},
        {"tagged.mp3", ""},
        {"counts.mp3", ""},
        // The command gives up after 1 KB of junk unless told to search on.
        {"junk.mp3", "--resync-limit -1"},
    };
    for (const auto& [name, options] : cases) {
        SCOPED_TRACE(name);
        const Decoded d = Decode(Path(name), Path("out.wav"));
        EXPECT_EQ(d.error, DECODER_OK);
        EXPECT_EQ(d.lastPosition, d.total);
        const uint64_t samples = ReadWav(Path("out.wav")).Samples();
        EXPECT_EQ(samples, dir_.ReferenceSamples(name, options));
        EXPECT_EQ(static_cast<int64_t>(samples), d.outputSamples);
    }
    EXPECT_GT(ReadWav(Path("out.wav")).Samples(), 441000u - 2 * 1152);

    // Joined at another rate, which the command cannot write into one WAV: each part comes at the
    // output rate, and nothing is lost or doubled (the second file's header frame, delay and
    // padding stay, as in any joined stream).
    dir_.MakeMp3("c.mp3", 48000, 1, 48000 * 2);
    dir_.Join("rates.mp3", {"a.mp3", "c.mp3"});
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const Decoded d = Decode(Path("rates.mp3"), Path("out.wav"), {0, 0, rate});
        EXPECT_EQ(d.error, DECODER_OK);
        const uint64_t samples = ReadWav(Path("out.wav")).Samples();
        EXPECT_EQ(static_cast<int64_t>(samples), d.outputSamples);
        EXPECT_GT(static_cast<double>(samples) / rate, 5.0);
        EXPECT_LT(static_cast<double>(samples) / rate, 5.08);
    }
}

} // namespace
