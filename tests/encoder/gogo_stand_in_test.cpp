// The real encoder library stand-in, through the component and directly.
#include "encoder/gogo_defs.h"
#include "encoder/gogo_tea.h"
#include "tests/encoder/encoder_test_support.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sv {
namespace {

using test::MakeWav;
using test::WavSpec;

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The sample frames that mpg123 decodes from an MP3; -1 when it fails.
long DecodedSamples(const std::string& mp3, const std::string& wav, int channels) {
    std::string command = "mpg123 -q -w '" + wav + "' '" + mp3 + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return -1;
    std::string bytes = test::ReadFile(wav);
    size_t at = bytes.find("data");
    if (at == std::string::npos || at + 8 > bytes.size()) return -1;
    auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at + 4);
    const unsigned long size =
        p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned long>(p[3]) << 24;
    return static_cast<long>(size / (2 * channels));
}

class GogoStandIn : public ::testing::Test {
protected:
    GogoStandIn() {
        tea.SetPriority(tpNormal);
        tea.OnFinish = [this](TObject*, bool aborted) {
            finished = true;
            this->aborted = aborted;
        };
        tea.OnError = [this](TObject*, int code) { error = code; };
    }

    std::string Path(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }

    // Encodes and waits; true when the job finished normally.
    bool Encode(const std::string& source, const std::string& destination) {
        finished = false;
        tea.SetSourceFile(source);
        tea.SetDestFile(destination);
        tea.Execute();
        return test::WaitFor([&] { return finished; }, 60000) && !aborted;
    }

    void ExpectRefused(const std::string& source, const std::string& destination) {
        tea.SetSourceFile(source);
        tea.SetDestFile(destination);
        try {
            tea.Execute();
            ADD_FAILURE() << "accepted " << source << " -> " << destination;
            test::WaitFor([&] { return !tea.IsEncoding(); });
        } catch (const EGogoTeaError& e) {
            EXPECT_EQ(e.Message(), "設定に誤りがあります.");
            EXPECT_NE(tea.EncodeResult(), 0);
        }
        EXPECT_FALSE(tea.IsEncoding());
    }

    QTemporaryDir dir;
    TGogoTea tea{nullptr};
    bool finished = false;
    bool aborted = false;
    int error = 0;
};

TEST_F(GogoStandIn, VersionOpensBothGates) {
    const unsigned code = tea.VersionCode();
    EXPECT_GE(code & 0xFF00, 0x200u);
    EXPECT_GE(code & 0xFF, 48u);
    EXPECT_NE(tea.VersionString().find("LAME"), std::string::npos);
}

struct Format {
    int channels;
    int rate;
    int frameSize;
    int bitRate = 128;
};

class GogoStandInFormats : public GogoStandIn, public ::testing::WithParamInterface<Format> {};

TEST_P(GogoStandInFormats, DecodesToExactlyTheInputSampleCount) {
    const Format f = GetParam();
    WavSpec spec;
    spec.channels = f.channels;
    spec.rate = f.rate;
    spec.samples = static_cast<uint32_t>(f.rate * 3 / 2 + 17);
    test::WriteFile(Path("in.wav"), MakeWav(spec));
    tea.SetBitrate(f.bitRate);
    int lastProgress = -1;
    tea.OnProgress = [&](TObject*, int now, int all) {
        EXPECT_EQ(all, tea.AllFrames());
        lastProgress = now;
    };
    ASSERT_TRUE(Encode(Path("in.wav"), Path("out.mp3")));
    EXPECT_EQ(tea.AllFrames(), static_cast<int>((spec.samples + f.frameSize - 1) / f.frameSize));
    EXPECT_EQ(lastProgress, tea.AllFrames());
    EXPECT_EQ(DecodedSamples(Path("out.mp3"), Path("back.wav"), f.channels),
              static_cast<long>(spec.samples));
}

INSTANTIATE_TEST_SUITE_P(Formats, GogoStandInFormats,
                         ::testing::Values(Format{2, 44100, 1152}, Format{1, 44100, 1152},
                                           Format{2, 22050, 576}, Format{1, 22050, 576},
                                           // Frames too small for libmp3lame's own tag.
                                           Format{2, 44100, 1152, 56}, Format{1, 8000, 576, 8}));

TEST_F(GogoStandIn, OddChunksAreWalkedOver) {
    WavSpec spec;
    spec.samples = 5000;
    std::string list = "LIST";
    test::PutLe(list, 5, 4);
    list += std::string("INFOx") + '\0'; // odd size, one pad byte
    std::string odd = "junk";
    test::PutLe(odd, 3, 4);
    odd += std::string("abc") + '\0';
    spec.chunksBeforeData = list + odd;
    test::WriteFile(Path("odd.wav"), MakeWav(spec));
    ASSERT_TRUE(Encode(Path("odd.wav"), Path("odd.mp3")));
    EXPECT_EQ(DecodedSamples(Path("odd.mp3"), Path("odd-back.wav"), 2), 5000);
}

TEST_F(GogoStandIn, TruncatedDataChunkEncodesWhatIsThere) {
    WavSpec spec;
    spec.samples = 4000;
    std::string wav = MakeWav(spec);
    wav.resize(wav.size() - 4 * 1000 - 2); // a torn last sample frame too
    test::WriteFile(Path("cut.wav"), wav);
    ASSERT_TRUE(Encode(Path("cut.wav"), Path("cut.mp3")));
    EXPECT_EQ(DecodedSamples(Path("cut.mp3"), Path("cut-back.wav"), 2), 2999);
}

TEST_F(GogoStandIn, Id3BlockIsWrittenAsGiven) {
    WavSpec spec;
    spec.samples = 3000;
    test::WriteFile(Path("t.wav"), MakeWav(spec));
    const char tag[] = "ID3\x03\x00\x00\x00\x00\x00\x00";
    tea.SetID3TagInfo({10, tag});
    ASSERT_TRUE(Encode(Path("t.wav"), Path("t.mp3")));
    EXPECT_EQ(test::ReadFile(Path("t.mp3")).substr(0, 10), std::string(tag, 10));
    EXPECT_EQ(DecodedSamples(Path("t.mp3"), Path("t-back.wav"), 2), 3000);
}

TEST_F(GogoStandIn, Id3VersionOneGoesAfterTheAudio) {
    WavSpec spec;
    spec.samples = 3000;
    test::WriteFile(Path("t.wav"), MakeWav(spec));
    std::string tag = "TAG" + std::string(125, 'x');
    tea.SetID3TagInfo({128, tag.data()});
    ASSERT_TRUE(Encode(Path("t.wav"), Path("t.mp3")));
    std::string mp3 = test::ReadFile(Path("t.mp3"));
    ASSERT_GT(mp3.size(), 128u);
    EXPECT_EQ(mp3.substr(mp3.size() - 128), tag);
    EXPECT_EQ(DecodedSamples(Path("t.mp3"), Path("t-back.wav"), 2), 3000);
}

TEST_F(GogoStandIn, MemoryInputThroughTheRing) {
    WavSpec spec;
    spec.samples = 1152 * 40; // whole frames: the last read is not padded
    const std::string pcm = MakeWav(spec).substr(44);
    tea.SetEncodeMode(_MEMORY);
    tea.SetDestFile(Path("mem.mp3"));
    tea.QuerySettings();
    EXPECT_EQ(tea.AllFrames(), 0); // unknown length
    tea.Execute();
    size_t sent = 0;
    while (sent < pcm.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(100000, pcm.size() - sent));
        if (tea.WriteBuffer(pcm.data() + sent, chunk))
            sent += static_cast<size_t>(chunk);
        else
            test::Drain(5);
    }
    ASSERT_TRUE(tea.WriteBuffer(nullptr, 0));
    ASSERT_TRUE(test::WaitFor([&] { return finished; }, 60000));
    EXPECT_FALSE(aborted);
    EXPECT_EQ(DecodedSamples(Path("mem.mp3"), Path("mem-back.wav"), 2), 1152L * 40);
}

TEST_F(GogoStandIn, BadSourcesAreRefused) {
    const std::string out = Path("out.mp3");
    ExpectRefused(Path("missing.wav"), out);
    ExpectRefused(dir.path().toStdString(), out);
    test::WriteFile(Path("text.wav"), "this is not a wave file at all, just text");
    ExpectRefused(Path("text.wav"), out);
    auto refuse = [&](WavSpec spec, const std::string& name) {
        SCOPED_TRACE(name);
        test::WriteFile(Path(name), MakeWav(spec));
        ExpectRefused(Path(name), out);
    };
    WavSpec empty;
    empty.samples = 0;
    refuse(empty, "empty.wav");
    WavSpec oddRate;
    oddRate.rate = 44000;
    refuse(oddRate, "rate.wav");
    WavSpec surround;
    surround.channels = 6;
    refuse(surround, "six.wav");
    std::string headerOnly = MakeWav(WavSpec{}).substr(0, 30);
    test::WriteFile(Path("short.wav"), headerOnly);
    ExpectRefused(Path("short.wav"), out);
    EXPECT_FALSE(Exists(out));
}

// A source's sample layout as its "fmt " chunk states it.
struct Layout {
    const char* name;
    int tag;  // 1 integer PCM, 3 float, 0xFFFE extensible
    int bits; // per sample, as stored
    int subTag = 0;
    int validBits = 0; // extensible only; 0 = as stored
};

const unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                     0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A WAV in the given layout holding `pcm` (16-bit values, interleaved); `raw` replaces the data
// when given, for samples that 16 bits cannot hold.
std::string MakeWavAs(const Layout& layout, int channels, const std::vector<int16_t>& pcm,
                      const std::string& raw = {}) {
    const int width = layout.bits / 8;
    std::string data = raw;
    if (raw.empty()) {
        for (const int16_t v : pcm) {
            const int code = layout.tag == 0xFFFE ? layout.subTag : layout.tag;
            if (code == 3) {
                const float f = static_cast<float>(v) / 32768.0f;
                uint32_t bitsOfF;
                std::memcpy(&bitsOfF, &f, 4);
                test::PutLe(data, bitsOfF, 4);
            } else if (width == 1) {
                data += static_cast<char>((v >> 8) + 128);
            } else {
                // The 16-bit value in the top bytes, zeros below.
                test::PutLe(data, static_cast<uint32_t>(v) << (8 * (width - 2)), width);
            }
        }
    }
    std::string fmt;
    test::PutLe(fmt, static_cast<uint32_t>(layout.tag), 2);
    test::PutLe(fmt, static_cast<uint32_t>(channels), 2);
    test::PutLe(fmt, 44100, 4);
    test::PutLe(fmt, static_cast<uint32_t>(44100 * channels * width), 4);
    test::PutLe(fmt, static_cast<uint32_t>(channels * width), 2);
    test::PutLe(fmt, static_cast<uint32_t>(layout.bits), 2);
    if (layout.tag == 0xFFFE) {
        test::PutLe(fmt, 22, 2);
        test::PutLe(fmt, static_cast<uint32_t>(layout.validBits ? layout.validBits : layout.bits),
                    2);
        test::PutLe(fmt, channels == 1 ? 4 : 3, 4);
        test::PutLe(fmt, static_cast<uint32_t>(layout.subTag), 2);
        fmt.append(reinterpret_cast<const char*>(kGuidTail), sizeof kGuidTail);
    }
    std::string out = "RIFF";
    test::PutLe(out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()), 4);
    out += "WAVEfmt ";
    test::PutLe(out, static_cast<uint32_t>(fmt.size()), 4);
    out += fmt + "data";
    test::PutLe(out, static_cast<uint32_t>(data.size()), 4);
    return out + data;
}

// A signal that every layout holds exactly: steps of 256, full scale both ways, channels apart.
std::vector<int16_t> EightBitExactSignal(int channels, int samples) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < samples; ++i)
        for (int c = 0; c < channels; ++c) {
            const int step = static_cast<int>(127.5 * std::sin(i * (0.013 + 0.02 * c)) + 128);
            pcm.push_back(static_cast<int16_t>((std::clamp(step, 0, 255) - 128) * 256));
        }
    return pcm;
}

TEST_F(GogoStandIn, EveryPcmLayoutEncodesLikeTheSame16BitSamples) {
    // The engine sees the same numbers whatever the layout, so the MP3s must be equal byte for
    // byte: any slip in sign, scale, byte order or channel order shows.
    const Layout layouts[] = {
        {"8-bit", 1, 8},
        {"24-bit", 1, 24},
        {"32-bit", 1, 32},
        {"float", 3, 32},
        {"extensible 16-bit", 0xFFFE, 16, 1},
        {"extensible 24-bit in 32", 0xFFFE, 32, 1, 24},
        {"extensible float", 0xFFFE, 32, 3},
    };
    for (const int channels : {2, 1}) {
        const int samples = 5000 + channels; // not a whole number of frames
        const std::vector<int16_t> pcm = EightBitExactSignal(channels, samples);
        test::WriteFile(Path("ref.wav"), MakeWavAs({"16-bit", 1, 16}, channels, pcm));
        ASSERT_TRUE(Encode(Path("ref.wav"), Path("ref.mp3")));
        const std::string reference = test::ReadFile(Path("ref.mp3"));
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(std::string(layout.name) + " " + std::to_string(channels));
            test::WriteFile(Path("in.wav"), MakeWavAs(layout, channels, pcm));
            ASSERT_TRUE(Encode(Path("in.wav"), Path("out.mp3")));
            EXPECT_EQ(tea.AllFrames(), (samples + 1151) / 1152);
            EXPECT_TRUE(test::ReadFile(Path("out.mp3")) == reference);
        }
        EXPECT_EQ(DecodedSamples(Path("out.mp3"), Path("back.wav"), channels), samples);
    }
}

TEST_F(GogoStandIn, FloatBeyondFullScaleIsClipped) {
    const float wild[] = {1.0f, -1.0f, 0.0f, 0.5f};
    const float tame[] = {2.5f, -7.0f, std::nanf(""), 0.5f};
    auto floats = [](const float(&values)[4]) {
        std::string raw;
        for (int i = 0; i < 4000; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[(i / 37) % 4], 4);
            test::PutLe(raw, bits, 4);
        }
        return raw;
    };
    const Layout layout{"float", 3, 32};
    test::WriteFile(Path("full.wav"), MakeWavAs(layout, 2, {}, floats(wild)));
    test::WriteFile(Path("over.wav"), MakeWavAs(layout, 2, {}, floats(tame)));
    ASSERT_TRUE(Encode(Path("full.wav"), Path("full.mp3")));
    ASSERT_TRUE(Encode(Path("over.wav"), Path("over.mp3")));
    EXPECT_TRUE(test::ReadFile(Path("full.mp3")) == test::ReadFile(Path("over.mp3")));
}

TEST_F(GogoStandIn, LayoutsItCannotTakeAreRefused) {
    const std::vector<int16_t> pcm(2000, 0);
    const std::pair<Layout, int> refused[] = {
        {{"64-bit float", 3, 64}, 2},
        {{"12-bit", 1, 12}, 2},
        {{"a-law", 6, 8}, 2},
        {{"extensible, more valid bits than stored", 0xFFFE, 16, 1, 24}, 2},
        {{"float, three channels", 3, 32}, 3},
        {{"24-bit, six channels", 1, 24}, 6},
    };
    for (const auto& [layout, channels] : refused) {
        SCOPED_TRACE(layout.name);
        test::WriteFile(Path("in.wav"), MakeWavAs(layout, channels, pcm, std::string(6000, '\0')));
        ExpectRefused(Path("in.wav"), Path("out.mp3"));
    }
    // An extensible chunk whose sub-format GUID is not the standard one.
    std::string odd = MakeWavAs({"extensible", 0xFFFE, 16, 1}, 2, pcm);
    odd[20 + 26] ^= 0x01; // "fmt " data starts at byte 20
    test::WriteFile(Path("guid.wav"), odd);
    ExpectRefused(Path("guid.wav"), Path("out.mp3"));
}

TEST_F(GogoStandIn, BadDestinationsAreRefused) {
    WavSpec spec;
    spec.samples = 2000;
    const std::string wav = MakeWav(spec);
    test::WriteFile(Path("in.wav"), wav);
    ExpectRefused(Path("in.wav"), Path("no/such/folder/out.mp3"));
    ExpectRefused(Path("in.wav"), dir.path().toStdString());
    ExpectRefused(Path("in.wav"), "");
    // Writing over the source would destroy it.
    ExpectRefused(Path("in.wav"), Path("in.wav"));
    EXPECT_EQ(test::ReadFile(Path("in.wav")), wav);
}

TEST_F(GogoStandIn, BitRatesOutsideTheTableAreRefused) {
    WavSpec spec;
    spec.samples = 2000;
    test::WriteFile(Path("in.wav"), MakeWav(spec));
    tea.SetBitrate(100);
    ExpectRefused(Path("in.wav"), Path("out.mp3"));
    spec.rate = 22050;
    test::WriteFile(Path("low.wav"), MakeWav(spec));
    tea.SetBitrate(320); // MPEG-1 only
    ExpectRefused(Path("low.wav"), Path("out.mp3"));
    tea.SetBitrate(144); // MPEG-2 only
    ExpectRefused(Path("in.wav"), Path("out.mp3"));
    tea.SetBitrate(320);
    EXPECT_TRUE(Encode(Path("in.wav"), Path("out.mp3")));
    // MPEG-2.5 stops at 64 kbit/s.
    spec.rate = 8000;
    test::WriteFile(Path("8k.wav"), MakeWav(spec));
    tea.SetBitrate(128);
    ExpectRefused(Path("8k.wav"), Path("out.mp3"));
    EXPECT_EQ(tea.EncodeResult(), MPGE_ERR_BAD_BITRATE);
    tea.SetBitrate(64);
    EXPECT_TRUE(Encode(Path("8k.wav"), Path("out.mp3")));
}

TEST_F(GogoStandIn, SettingsTheEngineHonours) {
    WavSpec spec;
    spec.samples = 30000;
    test::WriteFile(Path("in.wav"), MakeWav(spec));
    for (TEncodeType type : {_MONO, _STEREO, _JOINT, _MSSTEREO, _DUALCHANNEL}) {
        tea.SetEncodeType(type);
        tea.SetEmphasis(_CCITT_EMPH);
        tea.SetUseLPF16(true);
        tea.SetUsePsy(true);
        SCOPED_TRACE(static_cast<int>(type));
        ASSERT_TRUE(Encode(Path("in.wav"), Path("out.mp3")));
        EXPECT_EQ(DecodedSamples(Path("out.mp3"), Path("back.wav"), type == _MONO ? 1 : 2), 30000);
    }
    tea.SetUseVBR(true);
    tea.SetVBRLevel(2);
    TVBRBitrate range;
    range.Enabled = true;
    range.Low = 96;
    range.High = 256;
    tea.SetVBRBitrate(&range);
    ASSERT_TRUE(Encode(Path("in.wav"), Path("vbr.mp3")));
    EXPECT_EQ(DecodedSamples(Path("vbr.mp3"), Path("vbr-back.wav"), 2), 30000);
}

TEST_F(GogoStandIn, RiffContainersAreRefused) {
    WavSpec spec;
    spec.samples = 2000;
    test::WriteFile(Path("in.wav"), MakeWav(spec));
    tea.SetEncodeFormat(_FORMAT_OF_RIFF_WAVE);
    ExpectRefused(Path("in.wav"), Path("out.mp3"));
    EXPECT_EQ(tea.EncodeResult(), MPGE_ERR_UNSUPPORTED_FORMAT);
}

TEST_F(GogoStandIn, CallsOutOfOrderAreErrorsNotCrashes) {
    const GogoEntryPoints& g = Gogo();
    std::int32_t frames = -5;
    g.endCoder();
    EXPECT_NE(g.processFrame(), MPGE_OK);
    EXPECT_NE(g.setConfigure(MPGE_CFG_BITRATE, 128, 0), MPGE_OK);
    EXPECT_NE(g.detectConfigure(), MPGE_OK);
    EXPECT_NE(g.getConfigure(MPGE_CFG_FRAME_COUNT, &frames), MPGE_OK);
    EXPECT_NE(g.closeCoder(), MPGE_OK);
    EXPECT_EQ(frames, -5);

    ASSERT_EQ(g.initializeWork(), MPGE_OK);
    EXPECT_NE(g.processFrame(), MPGE_OK); // configured but not detected
    EXPECT_EQ(g.setConfigure(99, 0, 0), MPGE_ERR_BAD_CONFIG_ID);
    EXPECT_EQ(g.detectConfigure(), MPGE_ERR_BAD_SOURCE); // no input at all

    WavSpec spec;
    spec.samples = 2000;
    test::WriteFile(Path("in.wav"), MakeWav(spec));
    const std::string in = Path("in.wav"), out = Path("direct.mp3");
    ASSERT_EQ(g.initializeWork(), MPGE_OK);
    g.setConfigure(MPGE_CFG_INPUT, MPGE_INPUT_FILE, reinterpret_cast<MPGE_VALUE>(in.c_str()));
    g.setConfigure(MPGE_CFG_OUTPUT, 0, reinterpret_cast<MPGE_VALUE>(out.c_str()));
    g.setConfigure(MPGE_CFG_CHANNEL_MODE, 5, 0);
    EXPECT_EQ(g.detectConfigure(), MPGE_ERR_BAD_SETTING);
    g.setConfigure(MPGE_CFG_CHANNEL_MODE, 1, 0);
    ASSERT_EQ(g.detectConfigure(), MPGE_OK);
    ASSERT_EQ(g.getConfigure(MPGE_CFG_FRAME_COUNT, &frames), MPGE_OK);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(g.processFrame(), MPGE_OK);
    // A new job discards this one; its frame loop is over.
    ASSERT_EQ(g.initializeWork(), MPGE_OK);
    EXPECT_NE(g.processFrame(), MPGE_OK);
    g.endCoder();
}

} // namespace
} // namespace sv
