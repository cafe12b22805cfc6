#include "framework/ini_file.h"

#include "framework/exception.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace sv {

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    return platform::ReadProfileString(fileName_, section, key, def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    // A number typed with blanks around it is written with them, in quotes; it is still that
    // number, as it was when the blanks were dropped on the way into the file.
    return platform::ParseProfileInteger(platform::TrimBlanks(ReadString(section, key, "")), def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!platform::WriteProfileString(fileName_, section, key, value))
        throw Exception(fileName_ + " に書き込めません");
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

} // namespace sv
