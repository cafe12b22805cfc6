#pragma once
#include <string>
#include <string_view>

namespace sv {

// The profile-file access object: opened on a path by each caller that needs it; nothing cached.
class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // Raise Exception("<path> に書き込めません") when the file cannot be written.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);

private:
    std::string fileName_;
};

} // namespace sv
