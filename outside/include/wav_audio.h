/* Where the audio of a WAV file is, for the page that checks what goes on a disc and for the
 * writer command (cdrecord), which must hand wodim every such file in a form wodim reads right.
 *
 * A WAV is "RIFF", a size, "WAVE", then chunks of an id and a little-endian size. By RIFF's rule
 * a chunk of odd size is followed by one pad byte; wodim walks the chunks without it, so a file
 * with an odd-sized chunk before its "data" (a tag's "LIST", say) is found by wodim at other
 * bytes, or not at all, and then written as raw audio. Both walks are here. wodim also takes a
 * file as a WAV only by its name: the last "." of the path followed by "wav" or "WAV" and nothing
 * else; any other name is raw big-endian audio to it, header and all. */
#ifndef SV_OUTSIDE_WAV_AUDIO_H
#define SV_OUTSIDE_WAV_AUDIO_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/types.h>

namespace sv::wav {

struct Audio {
    bool readable = false;    // the 12 bytes of the RIFF header could be read
    bool found = false;       // a "fmt " chunk of 16 bytes or more came before a "data" chunk
    std::uint16_t format = 0; // the format tag; WAVE_FORMAT_EXTENSIBLE gives its sub-format's
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint64_t offset = 0; // where the audio bytes start
    std::uint64_t size = 0;   // how many there are, cut at the end of the file

    // What an audio disc takes as it is: 44.1 kHz, 16-bit, stereo PCM.
    bool IsCdAudio() const {
        return found && format == 1 && channels == 2 && rate == 44100 && bits == 16;
    }
    // What wodim takes as a disc track; it does not look at the format tag.
    bool IsCdAudioToWodim() const { return found && channels == 2 && rate == 44100 && bits == 16; }
};

enum class ChunkWalk {
    Riff, // an odd-sized chunk is followed by a pad byte
    Wodim // as wodim walks: no pad byte
};

inline std::uint32_t LittleEndian(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// The audio of the open file `f` by the given walk; the file position is left anywhere.
inline Audio FindAudio(std::FILE* f, ChunkWalk walk) {
    Audio a;
    unsigned char head[12];
    if (fseeko(f, 0, SEEK_END) != 0) return a;
    const off_t end = ftello(f);
    if (end < 12 || fseeko(f, 0, SEEK_SET) != 0 || std::fread(head, 1, 12, f) != 12) return a;
    a.readable = true;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return a;
    bool gotFormat = false;
    std::uint64_t pos = 12;
    unsigned char chunk[8];
    while (pos + 8 <= static_cast<std::uint64_t>(end) &&
           fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0 && std::fread(chunk, 1, 8, f) == 8) {
        const std::uint64_t size = LittleEndian(chunk + 4, 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[26] = {};
            const std::size_t want =
                size < sizeof fmt ? static_cast<std::size_t>(size) : sizeof fmt;
            const std::size_t got = size < 16 ? 0 : std::fread(fmt, 1, want, f);
            if (got < 16) return a;
            a.format = static_cast<std::uint16_t>(LittleEndian(fmt, 2));
            if (a.format == 0xFFFE && got >= 26)
                a.format = static_cast<std::uint16_t>(LittleEndian(fmt + 24, 2));
            a.channels = static_cast<std::uint16_t>(LittleEndian(fmt + 2, 2));
            a.rate = LittleEndian(fmt + 4, 4);
            a.bits = static_cast<std::uint16_t>(LittleEndian(fmt + 14, 2));
            gotFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            a.found = gotFormat;
            a.offset = pos + 8;
            const std::uint64_t left = static_cast<std::uint64_t>(end) - a.offset;
            a.size = size < left ? size : left;
            return a;
        }
        pos += 8 + size + (walk == ChunkWalk::Riff ? (size & 1) : 0);
    }
    return a;
}

// Whether wodim takes a file of this path for a WAV by its name.
inline bool WodimTakesAsWav(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view suffix = path.substr(dot);
    return suffix == ".wav" || suffix == ".WAV";
}

} // namespace sv::wav

#endif
