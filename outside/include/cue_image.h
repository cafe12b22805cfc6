/* BIN/CUE disc images as libcdio opens them, for the CD-DA reader and for the player's preview of
 * CD tracks, which must play the very disc the reader lists.
 *
 * libcdio takes a cue's data from "<cue name>.bin" beside it, whatever the cue's FILE line says.
 * So the cue is read here (one FILE line, of type BINARY, naming a readable file) and opened
 * through a copy of it in a folder of its own, beside a link of that name to the named file.
 * libcdio opens the file at once, so folder, copy and link go at once. A cue that cannot be
 * served is refused with the reason, in the user's words. */
#ifndef SV_OUTSIDE_CUE_IMAGE_H
#define SV_OUTSIDE_CUE_IMAGE_H

#include <cdio/cdio.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace sv::cue {

// Larger than any cue sheet of a hundred tracks.
inline constexpr std::uintmax_t kCueBytes = 1 << 20;

inline std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

inline std::string Upper(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// A cue sheet as libcdio can serve it: one FILE line, of type BINARY, naming a readable file.
struct CueSheet {
    std::vector<std::string> lines;
    std::size_t fileLine = 0;
    std::filesystem::path bin;
};

// Reads the cue sheet at `path` into `cue`; gives why the image cannot be read, or nothing.
inline std::string ReadCue(const std::string& path, CueSheet& cue) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(path, ec)) return "CUEシートがありません";
    std::ifstream in(path, std::ios::binary);
    if (!in || fs::is_directory(path, ec)) return "CUEシートを読めません";
    // A disc image's data named in place of its cue is not read through line by line.
    if (fs::file_size(path, ec) > kCueBytes) return "CUEシートではありません";
    int files = 0;
    std::string name, type;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (cue.lines.empty() && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        cue.lines.push_back(line);
        const std::string text = Trim(line);
        const std::string keyword = Upper(text.substr(0, 5));
        if (keyword != "FILE " && keyword != "FILE\t") continue;
        ++files;
        cue.fileLine = cue.lines.size() - 1;
        // FILE "<name>" <type>, or FILE <name> <type>: the type is the last word.
        const std::string rest = Trim(text.substr(5));
        const auto split = rest.starts_with('"') ? rest.rfind('"') : rest.find_last_of(" \t");
        if (split == std::string::npos || split == 0) {
            name.clear();
            continue;
        }
        name = rest.starts_with('"') ? rest.substr(1, split - 1) : Trim(rest.substr(0, split));
        type = Trim(rest.substr(split + 1));
    }
    if (in.bad()) return "CUEシートを読めません";
    if (files == 0) return "FILE行がありません";
    if (files > 1)
        return "FILE行が" + std::to_string(files) +
               "行あります（読めるのはFILE行が1行のイメージだけです）";
    if (name.empty() || type.empty()) return "FILE行にファイル名と形式がありません";
    if (Upper(type) != "BINARY")
        return "FILE行の形式 " + type + " は読めません（読めるのは BINARY だけです）";
    cue.bin = fs::absolute(fs::path(path).parent_path() / name, ec);
    if (ec) cue.bin = fs::path(path).parent_path() / name;
    if (!fs::exists(cue.bin, ec)) return cue.bin.string() + " がありません";
    if (!fs::is_regular_file(cue.bin, ec) || !std::ifstream(cue.bin, std::ios::binary))
        return cue.bin.string() + " を読めません";
    return {};
}

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

// Opens the image of the cue at `path`; on failure gives nothing and sets `reason`.
inline CdIo_t* OpenImage(const std::string& path, std::string& reason) {
    namespace fs = std::filesystem;
    CueSheet cue;
    reason = ReadCue(path, cue);
    if (!reason.empty()) return nullptr;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/cdda_ex-XXXXXX";
    if (!mkdtemp(folder.data())) {
        reason = "一時フォルダ " + folder + " を作れません: " + std::strerror(errno);
        return nullptr;
    }
    const fs::path copy = fs::path(folder) / "disc.cue";
    const fs::path link = fs::path(folder) / "disc.bin";
    cue.lines[cue.fileLine] = "FILE \"disc.bin\" BINARY";
    bool made = false;
    {
        std::ofstream out(copy, std::ios::binary);
        for (const std::string& line : cue.lines) out << line << '\n';
        out.close();
        std::error_code ec;
        fs::create_symlink(cue.bin, link, ec);
        made = out && !ec;
    }
    CdIo_t* cdio = made ? cdio_open_cue(copy.c_str()) : nullptr;
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (!made)
        reason = "一時フォルダ " + folder + " に書けません";
    else if (!cdio)
        reason = "CUEシートのトラックを読めません";
    return cdio;
}

} // namespace sv::cue

#endif
