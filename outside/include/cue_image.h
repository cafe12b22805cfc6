/* BIN/CUE disc images for the CD-DA reader and for the player's preview of CD tracks, which must
 * play the very tracks the reader lists: both read the cue sheet and the file here.
 *
 * An image is one FILE of type BINARY. A cue sheet's times count sectors of the file, each as
 * long as its track's mode says (2352 bytes for audio, 2048 for a MODE1/2048 data track, ...),
 * so every track is found at its own byte offset. Audio is read straight from the file, which
 * stays open for as long as the image does. A cue that cannot be served is refused with the
 * reason, in the user's words. */
#ifndef SV_OUTSIDE_CUE_IMAGE_H
#define SV_OUTSIDE_CUE_IMAGE_H

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sv::cue {

// Larger than any cue sheet of a hundred tracks.
inline constexpr std::uintmax_t kCueBytes = 1 << 20;
// An audio sector as it is read: 16-bit little-endian stereo.
inline constexpr int kSectorBytes = 2352;

inline std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

inline std::string Upper(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// `text` in the code `code` as UTF-8. A byte foreign to the code is written "\xNN" when
// `escape`, else it fails the whole text.
inline std::optional<std::string> ToUtf8(std::string_view text, const char* code, bool escape) {
    const iconv_t cd = iconv_open("UTF-8", code);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    char* in = const_cast<char*>(text.data());
    std::size_t left = text.size();
    while (left > 0) {
        char buffer[256];
        char* put = buffer;
        std::size_t room = sizeof buffer;
        const bool done = iconv(cd, &in, &left, &put, &room) != static_cast<std::size_t>(-1);
        const int error = done ? 0 : errno;
        out.append(buffer, static_cast<std::size_t>(put - buffer));
        if (done || error == E2BIG) continue;
        if (!escape) break;
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(*in));
        out += hex;
        ++in;
        --left;
    }
    iconv_close(cd);
    if (left > 0) return std::nullopt;
    return out;
}

// A name from a cue sheet as text: itself when it is UTF-8, else decoded as code page 932 (cue
// sheets written on Japanese systems) where it is that, else with its foreign bytes escaped.
inline std::string Shown(std::string_view name) {
    if (auto text = ToUtf8(name, "UTF-8", false)) return *text;
    if (auto text = ToUtf8(name, "CP932", false)) return *text;
    return ToUtf8(name, "UTF-8", true).value_or(std::string(name));
}

// A track as the cue sheet gives it; times in sectors of the file.
struct CueTrack {
    int number = 0;
    int bytes = kSectorBytes; // of one sector in the file
    bool audio = true;
    std::optional<int32_t> pregap; // INDEX 00: a pregap stored in the file
    std::optional<int32_t> start;  // INDEX 01
    // Where the track's sectors begin in the file.
    int32_t Stored() const { return pregap ? *pregap : *start; }
};

// A cue sheet as it is served: the one file it names, found, and its tracks.
struct CueSheet {
    std::filesystem::path bin;
    std::vector<CueTrack> tracks;
};

// Sector bytes of the track modes a BINARY file holds; CD+G keeps the subcode after the audio.
inline bool ReadMode(const std::string& mode, CueTrack& track) {
    static constexpr struct {
        const char* name;
        int bytes;
        bool audio;
    } modes[] = {{"AUDIO", 2352, true},       {"CDG", 2448, true},
                 {"MODE1/2048", 2048, false}, {"MODE1/2352", 2352, false},
                 {"MODE2/2048", 2048, false}, {"MODE2/2324", 2324, false},
                 {"MODE2/2336", 2336, false}, {"MODE2/2352", 2352, false},
                 {"CDI/2336", 2336, false},   {"CDI/2352", 2352, false}};
    for (const auto& m : modes) {
        if (Upper(mode) != m.name) continue;
        track.bytes = m.bytes;
        track.audio = m.audio;
        return true;
    }
    return false;
}

// A whole number of at most `digits` digits.
inline std::optional<int> Number(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::atoi(text.c_str());
}

// "mm:ss:ff" in sectors (75 a second).
inline std::optional<int32_t> Time(const std::string& text) {
    const auto colon1 = text.find(':');
    const auto colon2 = colon1 == std::string::npos ? colon1 : text.find(':', colon1 + 1);
    if (colon2 == std::string::npos) return std::nullopt;
    const auto m = Number(text.substr(0, colon1), 4);
    const auto s = Number(text.substr(colon1 + 1, colon2 - colon1 - 1), 2);
    const auto f = Number(text.substr(colon2 + 1), 2);
    if (!m || !s || !f || *s >= 60 || *f >= 75) return std::nullopt;
    return (*m * 60 + *s) * 75 + *f;
}

// Reads the cue's lines, ended by CR, LF or both, without a byte order mark; gives why they
// cannot be read, or nothing.
inline std::string ReadLines(const std::string& path, std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(path, ec)) return "CUEシートがありません";
    std::ifstream in(path, std::ios::binary);
    if (!in || fs::is_directory(path, ec)) return "CUEシートを読めません";
    // A disc image's data named in place of its cue is not read through.
    if (fs::file_size(path, ec) > kCueBytes) return "CUEシートではありません";
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return "CUEシートを読めません";
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    // A cue saved as UTF-16 says so by its byte order mark.
    for (const auto& [mark, code] : {std::pair{"\xFF\xFE", "UTF-16LE"}, {"\xFE\xFF", "UTF-16BE"}})
        if (text.starts_with(mark)) text = ToUtf8(text.substr(2), code, false).value_or("");
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", from), text.size());
        lines.push_back(text.substr(from, end - from));
        from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return {};
}

// The file a FILE line names, relative to the cue's folder. A name written on another system
// may separate folders by "\" or be in code page 932; it is taken so where the name as it is
// names nothing.
inline std::filesystem::path FindBin(const std::string& cuePath, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(cuePath).parent_path();
    const auto at = [&folder](const std::string& relative) {
        std::error_code ec;
        fs::path path = fs::absolute(folder / relative, ec);
        return ec ? folder / relative : path;
    };
    const fs::path literal = at(name);
    std::error_code ec;
    if (fs::exists(literal, ec)) return literal;
    auto text = ToUtf8(name, "UTF-8", false);
    if (!text) text = ToUtf8(name, "CP932", false);
    if (!text) return literal;
    std::replace(text->begin(), text->end(), '\\', '/');
    const fs::path other = at(*text);
    return fs::exists(other, ec) ? other : literal;
}

// Reads the cue sheet at `path` into `cue`; gives why the image cannot be read, or nothing.
inline std::string ReadCue(const std::string& path, CueSheet& cue) {
    std::vector<std::string> lines;
    if (std::string reason = ReadLines(path, lines); !reason.empty()) return reason;
    int files = 0;
    std::string name, type, bad;
    int32_t last = 0; // the latest time so far: times only go forward
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string text = Trim(lines[n]);
        const std::string keyword = Upper(text.substr(0, text.find_first_of(" \t")));
        const std::string rest = Trim(text.substr(keyword.size()));
        // The first line that cannot be taken is the reason, should nothing weigh more.
        const auto fail = [&] {
            if (bad.empty())
                bad = "CUEシートの" + std::to_string(n + 1) + "行目を読めません（" + Shown(text) +
                      "）";
        };
        if (keyword == "FILE") {
            ++files;
            // FILE "<name>" <type>, or FILE <name> <type>: the type is the last word.
            const auto split = rest.starts_with('"') ? rest.rfind('"') : rest.find_last_of(" \t");
            if (split == std::string::npos || split == 0) {
                name.clear();
                continue;
            }
            name = rest.starts_with('"') ? rest.substr(1, split - 1) : Trim(rest.substr(0, split));
            type = Trim(rest.substr(split + 1));
        } else if (keyword == "TRACK") {
            const auto blank = rest.find_first_of(" \t");
            const auto number = Number(rest.substr(0, blank), 2);
            const std::string mode = blank == std::string::npos ? "" : Trim(rest.substr(blank));
            CueTrack track;
            if (files == 0 || !number || *number == 0 ||
                (!cue.tracks.empty() && *number <= cue.tracks.back().number))
                fail();
            else if (!ReadMode(mode, track) && bad.empty())
                bad = "トラック" + std::to_string(*number) + "の形式 " + Shown(mode) +
                      " は読めません";
            track.number = number.value_or(0);
            cue.tracks.push_back(track);
        } else if (keyword == "INDEX") {
            const auto blank = rest.find_first_of(" \t");
            const auto number = Number(rest.substr(0, blank), 2);
            const auto time =
                blank == std::string::npos ? std::nullopt : Time(Trim(rest.substr(blank)));
            CueTrack* track = cue.tracks.empty() ? nullptr : &cue.tracks.back();
            if (!track || !number || !time || *time < last ||
                (*number == 0 && (track->pregap || track->start)) ||
                (*number == 1 && track->start) || (*number > 1 && !track->start)) {
                fail();
                continue;
            }
            last = *time;
            if (*number == 0) track->pregap = time;
            if (*number == 1) track->start = time;
        }
        // Nothing else (PREGAP and POSTGAP, whose silence is not in the file, CATALOG, CDTEXTFILE,
        // REM, titles, flags) is needed to read the audio.
    }
    if (files == 0) return "FILE行がありません";
    if (files > 1)
        return "FILE行が" + std::to_string(files) +
               "行あります（読めるのはFILE行が1行のイメージだけです）";
    if (name.empty() || type.empty()) return "FILE行にファイル名と形式がありません";
    if (Upper(type) != "BINARY")
        return "FILE行の形式 " + Shown(type) + " は読めません（読めるのは BINARY だけです）";
    if (!bad.empty()) return bad;
    if (cue.tracks.empty()) return "CUEシートにトラックがありません";
    for (const CueTrack& t : cue.tracks)
        if (!t.start) return "トラック" + std::to_string(t.number) + "にINDEX 01がありません";
    cue.bin = FindBin(path, name);
    return {};
}

// A track of a table of contents: the sector it begins at (on an image, counted from the start
// of the file as the cue's times are), and whether it is audio. It ends where the next begins.
struct TocTrack {
    int32_t start = 0;
    bool audio = false;
    bool operator==(const TocTrack&) const = default;
};

// A disc image, open: the tracks its file holds, and their audio.
class Image {
public:
    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (fd_ >= 0) close(fd_);
    }

    std::vector<TocTrack> tracks;
    int32_t leadOut = 0; // the sector after the file's last whole one
    // Why tracks the cue names are not listed (the file ends before them), or nothing.
    std::string note;

    // Reads `count` sectors of audio from `sector` on; false when they are not all audio that
    // the file holds.
    bool Read(int32_t sector, int32_t count, uint8_t* out) const {
        while (count > 0) {
            auto part = std::upper_bound(parts_.begin(), parts_.end(), sector,
                                         [](int32_t s, const Part& p) { return s < p.sector; });
            if (part == parts_.begin() || sector >= leadOut || !std::prev(part)->audio)
                return false;
            const int32_t bound = part == parts_.end() ? leadOut : part->sector;
            --part;
            const int32_t n = std::min(count, bound - sector);
            const off_t at = part->offset + off_t{sector - part->sector} * part->bytes;
            // Sectors of audio alone are read at once, those with a subcode one by one.
            if (part->bytes == kSectorBytes) {
                if (!ReadAt(out, std::size_t(n) * kSectorBytes, at)) return false;
            } else {
                for (int32_t k = 0; k < n; ++k)
                    if (!ReadAt(out + std::size_t(k) * kSectorBytes, kSectorBytes,
                                at + off_t{k} * part->bytes))
                        return false;
            }
            out += std::size_t(n) * kSectorBytes;
            sector += n;
            count -= n;
        }
        return true;
    }

    // Opens the image of the cue at `path`; on failure gives nothing and sets `reason`.
    static std::unique_ptr<Image> Open(const std::string& path, std::string& reason);

private:
    // A run of sectors of one size, from `sector` to the next run's.
    struct Part {
        int32_t sector = 0;
        off_t offset = 0;
        int bytes = kSectorBytes;
        bool audio = false;
    };

    bool ReadAt(uint8_t* out, std::size_t bytes, off_t at) const {
        while (bytes > 0) {
            const ssize_t got = pread(fd_, out, bytes, at);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            bytes -= static_cast<std::size_t>(got);
            at += got;
        }
        return true;
    }

    int fd_ = -1;
    std::vector<Part> parts_;
};

// The cues of CDDA_EX_IMAGES, separated by colons, in order: the disc images listed as drives.
inline std::vector<std::string> ListedImages() {
    std::vector<std::string> paths;
    const char* images = std::getenv("CDDA_EX_IMAGES");
    const std::string list = images ? images : "";
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) paths.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

inline std::unique_ptr<Image> Image::Open(const std::string& path, std::string& reason) {
    CueSheet cue;
    reason = ReadCue(path, cue);
    if (!reason.empty()) return nullptr;
    auto image = std::make_unique<Image>();
    const std::string bin = Shown(cue.bin.string());
    image->fd_ = open(cue.bin.c_str(), O_RDONLY | O_CLOEXEC);
    const int error = image->fd_ < 0 ? errno : 0;
    struct stat st {};
    if (error == ENOENT)
        reason = bin + " がありません";
    else if (error || fstat(image->fd_, &st) != 0 || !S_ISREG(st.st_mode))
        reason = bin + " を読めません";
    if (!reason.empty()) return nullptr;
    // Where each track's sectors begin in the file, and where the file ends.
    const std::vector<CueTrack>& t = cue.tracks;
    off_t offset = off_t{t[0].Stored()} * t[0].bytes;
    image->leadOut = t[0].Stored();
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i > 0) offset += off_t{t[i].Stored() - t[i - 1].Stored()} * t[i - 1].bytes;
        if (offset > st.st_size) break;
        image->parts_.push_back({t[i].Stored(), offset, t[i].bytes, t[i].audio});
        const off_t whole = (st.st_size - offset) / t[i].bytes;
        image->leadOut = static_cast<int32_t>(
            i + 1 < t.size() ? std::min<off_t>(t[i].Stored() + whole, t[i + 1].Stored())
                             : std::min<off_t>(t[i].Stored() + whole, INT32_MAX));
    }
    // An audio track is listed from its INDEX 01, a data track from the pregap stored before it:
    // a pregap between two audio tracks stays with the one before, as a ripper does, and one of
    // data is never read as audio. Listed are the tracks that begin in the file.
    for (const CueTrack& track : t) {
        const int32_t start = track.audio ? *track.start : track.Stored();
        if (start >= image->leadOut) break;
        image->tracks.push_back({start, track.audio});
    }
    if (image->tracks.size() < t.size()) {
        image->note = "イメージファイルはセクタ " + std::to_string(image->leadOut) +
                      " で終わっています（CUEシートはセクタ " + std::to_string(*t.back().start) +
                      " まであり、トラック" + std::to_string(t[image->tracks.size()].number) +
                      "から後は読めません）";
    }
    if (!image->tracks.empty()) return image;
    reason = image->note;
    return nullptr;
}

} // namespace sv::cue

#endif
