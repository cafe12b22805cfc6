// Audio files for tests: WAVs written sample by sample, read back chunk by chunk, and a scratch
// folder; the reference commands (lame, mpg123) run through Shell.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace svtest {

namespace fs = std::filesystem;

struct WavFacts {
    bool ok = false;
    uint32_t riffSize = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    uint32_t dataSize = 0;
    uint64_t dataOffset = 0;
    uint64_t fileSize = 0;
    uint64_t Samples() const { return channels ? dataSize / (channels * 2u) : 0; }
};

inline std::vector<unsigned char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t Get32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline int Get16(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

// Walks the chunks, so that WAVs written by other programs read too.
inline WavFacts ReadWav(const fs::path& path) {
    WavFacts w;
    const auto b = ReadAll(path);
    w.fileSize = b.size();
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return w;
    w.riffSize = Get32(b, 4);
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + at, b.begin() + at + 4);
        const uint32_t size = Get32(b, at + 4);
        if (id == "fmt " && at + 24 <= b.size()) {
            w.channels = Get16(b, at + 10);
            w.rate = static_cast<int>(Get32(b, at + 12));
            w.bits = Get16(b, at + 22);
        } else if (id == "data") {
            w.dataSize = size;
            w.dataOffset = at + 8;
            w.ok = true;
            break;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

inline void WriteWav(const fs::path& path, int rate, int channels, int samples) {
    std::vector<unsigned char> b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) b.push_back(static_cast<unsigned char>(v >> 8 * k));
    };
    const auto dataSize = static_cast<uint32_t>(samples * channels * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + dataSize, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * channels * 2, 4);
    put(channels * 2, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(dataSize, 4);
    for (int i = 0; i < samples; ++i)
        for (int c = 0; c < channels; ++c)
            put(static_cast<uint16_t>(9000 * std::sin(i * (0.03 + 0.02 * c))), 2);
    WriteAll(path, b);
}

inline void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A fresh folder per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/sv_test_XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    fs::path Path(const std::string& name) const { return path_ / name; }
    std::string Quoted(const std::string& name) const { return "'" + Path(name).string() + "'"; }

    // A generated WAV encoded by the reference encoder with these options.
    void MakeMp3(const std::string& name, int rate, int channels, int samples,
                 const std::string& lameOptions = "-b 128") const {
        WriteWav(Path(name + ".wav"), rate, channels, samples);
        Shell("lame --quiet " + lameOptions + " " + Quoted(name + ".wav") + " " + Quoted(name));
    }
    // The sample count of the reference decoder's WAV.
    uint64_t ReferenceSamples(const std::string& mp3, const std::string& options = "") const {
        Shell("mpg123 -q " + options + " -w " + Quoted(mp3 + ".ref.wav") + " " + Quoted(mp3));
        return ReadWav(Path(mp3 + ".ref.wav")).Samples();
    }
    // MP3s one after the other in one file, as `cat` joins them.
    void Join(const std::string& name, const std::vector<std::string>& parts) const {
        std::vector<unsigned char> bytes;
        for (const auto& part : parts) {
            const auto more = ReadAll(Path(part));
            bytes.insert(bytes.end(), more.begin(), more.end());
        }
        WriteAll(Path(name), bytes);
    }
    // A copy of an MP3 with `count` bytes of junk (no frame sync in it) in its middle.
    void InsertJunk(const std::string& name, const std::string& mp3, size_t count) const {
        auto bytes = ReadAll(Path(mp3));
        std::vector<unsigned char> junk(count);
        uint32_t seed = 12345;
        for (auto& byte : junk)
            byte = static_cast<unsigned char>((seed = seed * 1103515245 + 12345) >> 24 & 0x7F);
        bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2), junk.begin(),
                     junk.end());
        WriteAll(Path(name), bytes);
    }

private:
    fs::path path_;
};

} // namespace svtest
