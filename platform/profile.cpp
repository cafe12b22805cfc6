#include "platform/profile.h"

#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sv::platform {

namespace {

// One line of the file. A line the write does not change goes back as the bytes it was, so a
// CP932 line among UTF-8 ones stays CP932.
struct ProfileLine {
    std::string raw;  // the bytes, without the line end
    std::string text; // decoded to UTF-8: UTF-8 where the line is valid UTF-8, else CP932
    std::string end;  // "\r\n", "\n", or "" for a last line without one
    bool changed = false;
};

struct ProfileText {
    std::vector<ProfileLine> lines;
    std::string newline = "\n"; // for lines the write adds: the file's first line end
    bool bom = false;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

ProfileText Parse(std::string_view content) {
    ProfileText text;
    if (content.starts_with("\xEF\xBB\xBF")) {
        text.bom = true;
        content.remove_prefix(3);
    }
    bool newlineSeen = false;
    while (!content.empty()) {
        std::size_t lf = content.find('\n');
        std::string_view raw = content.substr(0, lf);
        std::string_view end;
        if (lf == std::string_view::npos) {
            content = {};
        } else {
            content.remove_prefix(lf + 1);
            end = "\n";
            if (raw.ends_with('\r')) {
                raw.remove_suffix(1);
                end = "\r\n";
            }
            if (!newlineSeen) text.newline = std::string(end);
            newlineSeen = true;
        }
        std::string decoded = IsValidUtf8(raw) ? std::string(raw) : Cp932ToUtf8(raw);
        text.lines.push_back(ProfileLine{std::string(raw), std::move(decoded), std::string(end)});
    }
    return text;
}

std::string Serialize(const ProfileText& text) {
    std::string out = text.bom ? "\xEF\xBB\xBF" : "";
    for (const ProfileLine& line : text.lines)
        out += (line.changed ? line.text : line.raw) + line.end;
    return out;
}

// The section name when the line is a section header.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

bool KeyMatches(std::string_view line, std::string_view key) {
    auto eq = line.find('=');
    return eq != std::string_view::npos &&
           EqualsIgnoreCaseAscii(TrimBlanks(line.substr(0, eq)), key);
}

// Index of the first header line of the section, or lines.size().
std::size_t FindSection(const ProfileText& text, std::string_view section) {
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        auto name = SectionOf(text.lines[i].text);
        if (name && EqualsIgnoreCaseAscii(*name, section)) return i;
    }
    return text.lines.size();
}

void InsertLine(ProfileText& text, std::size_t at, std::string line) {
    // The line before it must end, or the two would run together.
    if (at > 0 && text.lines[at - 1].end.empty()) text.lines[at - 1].end = text.newline;
    std::string end = text.newline;
    text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(at),
                      ProfileLine{line, line, end, true});
}

bool InGroup(gid_t gid) {
    if (gid == getegid()) return true;
    int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    count = getgroups(count, groups.data());
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid) return true;
    return false;
}

// The write bit of the class this process falls in; for root, any write bit. Root may write
// anything, so the bits are what tell that a file is meant to stay as it is.
bool BitsAllowWriting(const struct stat& st) {
    uid_t uid = geteuid();
    if (uid == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    if (uid == st.st_uid) return (st.st_mode & S_IWUSR) != 0;
    if (InGroup(st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// The file a path ends at after its symbolic links (which need not exist yet), or nullopt for a
// loop or an unreadable link.
std::optional<std::string> FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') {
            std::size_t slash = path.rfind('/');
            target =
                (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = std::move(target);
    }
    return std::nullopt;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the file (the target of a link) by a new one written beside it, with the old one's
// mode and owner, so a failure half-way leaves the old content whole.
bool WriteFileAtomically(const std::string& path, const std::string& content) {
    std::optional<std::string> target = FollowLinks(path);
    if (!target) return false;
    struct stat folder {};
    if (stat(FolderOf(*target).c_str(), &folder) != 0 || !BitsAllowWriting(folder)) return false;
    struct stat old {};
    bool exists = stat(target->c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || !BitsAllowWriting(old))) return false;

    std::string temp = *target + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = fchmod(fd, exists ? (old.st_mode & 07777) : 0644) == 0;
    if (exists && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        // Only root can give the file back to its owner; for anyone else it stays theirs.
        (void)!fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && WriteAll(fd, content);
    if (fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && rename(temp.c_str(), target->c_str()) == 0) return true;
    unlink(temp.c_str());
    return false;
}

} // namespace

std::optional<std::string> ReadProfileRaw(const std::string& path, std::string_view section,
                                          std::string_view key) {
    auto content = ReadWholeFile(path);
    if (!content) return std::nullopt;
    ProfileText text = Parse(*content);
    for (std::size_t i = FindSection(text, section) + 1; i < text.lines.size(); ++i) {
        const std::string& line = text.lines[i].text;
        if (SectionOf(line)) break;
        if (KeyMatches(line, key)) return line.substr(line.find('=') + 1);
    }
    return std::nullopt;
}

std::string_view ProfileValueAsRead(std::string_view raw) {
    std::string_view value = TrimBlanks(raw);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view def) {
    auto raw = ReadProfileRaw(path, section, key);
    if (!raw) return std::string(def);
    return std::string(LeadingCodePoints(ProfileValueAsRead(*raw), kProfileValueLimit));
}

int ParseProfileInteger(std::string_view text, int def) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        std::size_t first = digits.find_first_not_of('0');
        if (first == std::string_view::npos) return 0;
        if (digits.size() - first > 8) return def;
        unsigned long value = 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return def;
            value = value * 16 + static_cast<unsigned long>(d);
        }
        return static_cast<int>(static_cast<unsigned int>(value)); // 32-bit: 0xFFFFFFFF is -1
    }
    // Leading blanks are skipped as the conversion routine does; anything after the digits fails.
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return def;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return def;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return def;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return def;
    return static_cast<int>(value);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;
    if (key.find_first_of("\r\n=") != std::string_view::npos || key.empty()) return false;
    if (section.find_first_of("\r\n]") != std::string_view::npos) return false;

    struct stat st {};
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return false;
    auto content = ReadWholeFile(path);
    // A file that is there but cannot be read must not be replaced by one holding only this key.
    if (exists && !content) return false;
    ProfileText text = content ? Parse(*content) : ProfileText{};
    // A value the read would change (blanks at an end, or a pair of quotes around it) goes in
    // one more pair of quotes, which the read takes off again.
    const std::string stored = ProfileValueAsRead(value) == value
                                   ? std::string(value)
                                   : std::string("\"").append(value).append("\"");
    std::string line = std::string(TrimBlanks(key)) + "=" + stored;

    std::size_t header = FindSection(text, section);
    if (header == text.lines.size()) {
        if (!text.lines.empty() && !TrimBlanks(text.lines.back().text).empty())
            InsertLine(text, text.lines.size(), "");
        InsertLine(text, text.lines.size(), std::string("[").append(section).append("]"));
        InsertLine(text, text.lines.size(), line);
    } else {
        std::size_t end = header + 1;
        for (; end < text.lines.size() && !SectionOf(text.lines[end].text); ++end) {
            ProfileLine& old = text.lines[end];
            if (KeyMatches(old.text, key)) {
                // keep the spelling of the key that is already there; the same text again
                // keeps the line's bytes
                std::string_view spelled =
                    TrimBlanks(std::string_view(old.text).substr(0, old.text.find('=')));
                std::string replaced = std::string(spelled) + "=" + stored;
                old.changed = old.changed || replaced != old.text;
                old.text = std::move(replaced);
                return WriteFileAtomically(path, Serialize(text));
            }
        }
        std::size_t insert = end; // after the section's last non-blank line
        while (insert > header + 1 && TrimBlanks(text.lines[insert - 1].text).empty()) --insert;
        InsertLine(text, insert, line);
    }
    return WriteFileAtomically(path, Serialize(text));
}

} // namespace sv::platform
