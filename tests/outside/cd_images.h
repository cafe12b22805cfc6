// BIN/CUE disc images for tests: an optional data track first, then audio tracks whose PCM is
// known byte for byte.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace svtest {

inline constexpr int kCdSectorBytes = 2352;
inline constexpr int kCdSectorsPerSecond = 75;

// 16-bit little-endian stereo. Noise (a seeded generator) and near-silence are the contents
// that fool a reader guessing the byte order; a tone is the plain case.
enum class Pcm { Noise, Quiet, Tone };

inline std::vector<uint8_t> MakePcm(int sectors, Pcm kind, uint32_t seed) {
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * kCdSectorBytes);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        int16_t sample = 0;
        state = state * 1664525u + 1013904223u;
        switch (kind) {
        case Pcm::Noise:
            sample = static_cast<int16_t>(state >> 16);
            break;
        case Pcm::Quiet:
            sample = static_cast<int16_t>(static_cast<int>(state >> 29) - 4);
            break;
        case Pcm::Tone:
            sample = static_cast<int16_t>((i / 4) % 100 < 50 ? 8000 : -8000);
            break;
        }
        bytes[i] = static_cast<uint8_t>(sample & 0xFF);
        bytes[i + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
    }
    return bytes;
}

struct CdImageTrack {
    bool audio = true;
    std::vector<uint8_t> bytes; // whole sectors
    int Sectors() const { return static_cast<int>(bytes.size() / kCdSectorBytes); }
};

// Writes `<stem>.cue` in `folder` and its data as `binName` (a path relative to `folder`,
// `<stem>.bin` when empty), and returns the cue's path.
inline std::filesystem::path WriteCdImage(const std::filesystem::path& folder,
                                          const std::string& stem,
                                          const std::vector<CdImageTrack>& tracks,
                                          std::string binName = {}) {
    if (binName.empty()) binName = stem + ".bin";
    const auto bin = folder / binName;
    const auto cue = folder / (stem + ".cue");
    std::filesystem::create_directories(bin.parent_path());
    std::ofstream data(bin, std::ios::binary);
    std::ofstream sheet(cue);
    sheet << "FILE \"" << binName << "\" BINARY\n";
    int sector = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const CdImageTrack& t = tracks[i];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", i + 1);
        char index[16];
        std::snprintf(index, sizeof index, "%02d:%02d:%02d", sector / (60 * 75), sector / 75 % 60,
                      sector % 75);
        sheet << "  TRACK " << number << (t.audio ? " AUDIO\n" : " MODE1/2352\n") << "    INDEX 01 "
              << index << "\n";
        data.write(reinterpret_cast<const char*>(t.bytes.data()),
                   static_cast<std::streamsize>(t.bytes.size()));
        sector += t.Sectors();
    }
    return cue;
}

// A data track of `sectors` sectors (content that is plainly not audio).
inline CdImageTrack DataTrack(int sectors) {
    CdImageTrack t;
    t.audio = false;
    t.bytes.assign(static_cast<size_t>(sectors) * kCdSectorBytes, 0);
    for (int s = 0; s < sectors; ++s) {
        uint8_t* sector = t.bytes.data() + static_cast<size_t>(s) * kCdSectorBytes;
        sector[0] = 0;
        for (int k = 1; k < 11; ++k) sector[k] = 0xFF; // the sync pattern
        sector[15] = 1;                                // mode 1
    }
    return t;
}

inline CdImageTrack AudioTrack(int sectors, Pcm kind, uint32_t seed) {
    return CdImageTrack{true, MakePcm(sectors, kind, seed)};
}

// An image's file whose every 4-byte word holds its own byte offset: what is read from it shows
// where it was read.
inline std::vector<uint8_t> WriteNumberedBin(const std::filesystem::path& path, size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<uint8_t>((i & ~size_t{3}) >> i % 4 * 8);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(bytes));
    return data;
}

} // namespace svtest
