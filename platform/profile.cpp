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

struct ProfileText {
    std::vector<std::string> lines; // without line endings, decoded to UTF-8
    std::string newline = "\n";
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

ProfileText Parse(std::string content) {
    ProfileText text;
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.bom = true;
        content.erase(0, 3);
    }
    if (!IsValidUtf8(content)) content = Cp932ToUtf8(content);
    std::size_t firstLf = content.find('\n');
    if (firstLf != std::string::npos && firstLf > 0 && content[firstLf - 1] == '\r')
        text.newline = "\r\n";
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text.lines.push_back(std::move(line));
        start = end + 1;
    }
    return text;
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
        auto name = SectionOf(text.lines[i]);
        if (name && EqualsIgnoreCaseAscii(*name, section)) return i;
    }
    return text.lines.size();
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat st {};
    fchmod(fd, stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    const char* data = content.data();
    std::size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
    unlink(temp.c_str());
    return false;
}

} // namespace

std::optional<std::string> ReadProfileRaw(const std::string& path, std::string_view section,
                                          std::string_view key) {
    auto content = ReadWholeFile(path);
    if (!content) return std::nullopt;
    ProfileText text = Parse(std::move(*content));
    for (std::size_t i = FindSection(text, section) + 1; i < text.lines.size(); ++i) {
        const std::string& line = text.lines[i];
        if (SectionOf(line)) break;
        if (KeyMatches(line, key)) return line.substr(line.find('=') + 1);
    }
    return std::nullopt;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view def) {
    auto raw = ReadProfileRaw(path, section, key);
    if (!raw) return std::string(def);
    std::string_view value = *raw;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(LeadingCodePoints(value, kProfileValueLimit));
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
    ProfileText text = content ? Parse(std::move(*content)) : ProfileText{};
    std::string line = std::string(TrimBlanks(key)) + "=" + std::string(value);

    std::size_t header = FindSection(text, section);
    if (header == text.lines.size()) {
        if (!text.lines.empty() && !TrimBlanks(text.lines.back()).empty())
            text.lines.emplace_back();
        text.lines.push_back("[" + std::string(section) + "]");
        text.lines.push_back(line);
    } else {
        std::size_t end = header + 1;
        bool replaced = false;
        for (; end < text.lines.size() && !SectionOf(text.lines[end]); ++end) {
            if (KeyMatches(text.lines[end], key)) {
                // keep the spelling of the key that is already there
                std::string_view old = text.lines[end];
                text.lines[end] = std::string(TrimBlanks(old.substr(0, old.find('=')))) + "=" +
                                  std::string(value);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            std::size_t insert = end; // after the section's last non-blank line
            while (insert > header + 1 && TrimBlanks(text.lines[insert - 1]).empty()) --insert;
            text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
        }
    }
    std::string out = text.bom ? "\xEF\xBB\xBF" : "";
    for (const std::string& l : text.lines) out += l + text.newline;
    return WriteFileAtomically(path, out);
}

} // namespace sv::platform
