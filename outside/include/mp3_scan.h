/* The frame layout of an MP3 file as the decoder library decodes it whole, the way the `mpg123`
 * command does (gapless, on over joined streams, past junk between frames), for the decoder and
 * for the player's lengths, which must agree with the WAV the decoder writes. */
#ifndef SV_OUTSIDE_MP3_SCAN_H
#define SV_OUTSIDE_MP3_SCAN_H

#include <mpg123.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace sv::mp3 {

// The output's length for `input` frames at another rate: the exact ratio, rounded.
inline int64_t ResampledLength(int64_t input, long inRate, long outRate) {
    return (input * outRate + inRate / 2) / inRate;
}

// The handle decodes every part at its own rate: 16-bit at the output rate, float at any other
// for the resampler, always in the output's channel count.
inline bool ConfigureOutput(mpg123_handle* handle, int channels, long outputRate) {
    // Gapless: encoder delay and padding from the header are cut, so lengths match the original.
    // Like the mpg123 command, it goes on over a joined stream.
    const long flags =
        MPG123_GAPLESS | MPG123_QUIET | (channels == MPG123_MONO ? MPG123_MONO_MIX : 0);
    if (mpg123_param(handle, MPG123_FLAGS, flags, 0) != MPG123_OK ||
        mpg123_format_none(handle) != MPG123_OK)
        return false;
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        if (mpg123_format(handle, rates[i], channels,
                          rates[i] == outputRate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32) !=
            MPG123_OK)
            return false;
    return true;
}

// Once the first frame is found, junk of any length between frames is passed over, so that a
// file is decoded to its end. Before it the mpg123 command's limit holds: a file that is no MP3
// is not searched through for chance frame headers.
inline bool SearchOn(mpg123_handle* handle) {
    return mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK;
}

// Sample frames of one rate, in the order the decoder delivers them.
struct Part {
    long rate;
    int64_t samples;
};

struct Layout {
    int64_t frames = 0;
    int channels = 0; // of the first frame
    std::vector<Part> parts;
};

// The decoder's gapless cuts, by frame numbers in frames of the first frame's size: it drops
// the frames before `first` and `firstCut` samples of that one, keeps `lastKeep` samples of
// frame `last` and drops the frames after it. Frames beyond the announced length, of a stream
// that goes on longer, stay whole.
struct Gapless {
    bool on = false;
    int64_t announced = 0, first = 0, firstCut = 0, last = 0, lastKeep = 0;

    int64_t Kept(int64_t number, int64_t samples) const {
        if (!on || number >= announced) return samples;
        if (number < first) return 0;
        if (number >= last) samples = number == last ? std::min(samples, lastKeep) : 0;
        if (number == first) samples = std::max<int64_t>(0, samples - firstCut);
        return samples;
    }
};

// Known once the first frame is read: where the decoder begins and ends, from the length it
// tells with and without its cuts. It cuts only where the header counts the frames (a length
// guessed from the file's size stays whole), and without the encoder's delay and padding in
// the header still drops its own delay at the start.
inline Gapless GaplessCuts(mpg123_handle* handle, int64_t frameSize) {
    Gapless cuts;
    const off_t announced = mpg123_framelength(handle);
    const off_t length = mpg123_length(handle);
    if (mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK) return cuts;
    const off_t whole = mpg123_length(handle);
    long delay = -1, decoderDelay = -1;
    double unused = 0;
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS, 0) != MPG123_OK || announced <= 0 ||
        frameSize <= 0 || length <= 0 || length >= whole ||
        mpg123_getstate(handle, MPG123_ENC_DELAY, &delay, &unused) != MPG123_OK ||
        mpg123_getstate(handle, MPG123_DEC_DELAY, &decoderDelay, &unused) != MPG123_OK ||
        decoderDelay < 0)
        return cuts;
    const int64_t begin = std::max(delay, 0L) + decoderDelay;
    const int64_t end = begin + length;
    cuts.on = true;
    cuts.announced = announced;
    cuts.first = begin / frameSize;
    cuts.firstCut = begin % frameSize;
    cuts.last = end / frameSize;
    cuts.lastKeep = end % frameSize;
    return cuts;
}

// A last frame cut short by the end of the file, with an ID3v1 tag behind it: libmpg123 takes
// the tag's bytes for the missing ones where they suffice, and otherwise ends with a read error
// at the end of the file. The mpg123 command then has written what came before, as it does for
// a file cut anywhere else.
inline bool CutShortAtTheEnd(mpg123_handle* handle, int result, off_t fileSize) {
    return result == MPG123_ERR && mpg123_errcode(handle) == MPG123_ERR_READER &&
           mpg123_tell_stream(handle) >= fileSize;
}

// Frames and samples of the source from a pass over every frame, so that totals are exact also
// for a VBR file without a header, a joined stream and a cut file. On a handle of its own, set
// up like the decoding one.
inline bool Scan(const char* path, int channels, long outputRate, Layout& layout) {
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) return false;
    Gapless cuts;
    off_t last = -1;
    int result =
        ConfigureOutput(handle, channels, outputRate) ? mpg123_open(handle, path) : MPG123_ERR;
    if (result == MPG123_OK) {
        while ((result = mpg123_framebyframe_next(handle)) == MPG123_OK ||
               result == MPG123_NEW_FORMAT) {
            mpg123_frameinfo2 frame{};
            if (mpg123_info2(handle, &frame) != MPG123_OK) break;
            const int samples = mpg123_spf(handle);
            if (layout.parts.empty()) {
                if (!SearchOn(handle)) break;
                layout.channels = frame.mode == MPG123_M_MONO ? 1 : 2;
                cuts = GaplessCuts(handle, samples);
            }
            if (layout.parts.empty() || layout.parts.back().rate != frame.rate)
                layout.parts.push_back({frame.rate, 0});
            // Frames the parser passes over here are the ones the decoder drops at the start.
            const off_t number = mpg123_tellframe(handle);
            for (off_t k = last + 1; k <= number; ++k)
                layout.parts.back().samples += cuts.Kept(k, samples);
            last = number;
        }
    }
    std::error_code unknown;
    const auto size = std::filesystem::file_size(path, unknown);
    const bool end = result == MPG123_DONE ||
                     (!unknown && CutShortAtTheEnd(handle, result, static_cast<off_t>(size)));
    mpg123_delete(handle);
    layout.frames = last + 1;
    return end && layout.frames > 0;
}

// Sample frames of the WAV: each part at another rate resampled to its exact length.
inline int64_t OutputLength(const Layout& layout, long outputRate) {
    int64_t length = 0;
    for (const Part& part : layout.parts)
        length += part.rate == outputRate ? part.samples
                                          : ResampledLength(part.samples, part.rate, outputRate);
    return length;
}

} // namespace sv::mp3

#endif
