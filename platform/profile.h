#pragma once
#include <optional>
#include <string>
#include <string_view>

// Profile (INI) files read and written with the rules the programs' settings rely on.
// Nothing is cached: every call reads the file as it is now. Each line is decoded on its own:
// as UTF-8 where it is valid UTF-8, else as CP932, so a hand-edited line in either stays legible.
namespace sv::platform {

// Longest value a read returns, in code points (the platform's 2048-byte buffer less its NUL).
constexpr std::size_t kProfileValueLimit = 2047;

// The raw value of a key: everything after the first "=", or nullopt when the file, the
// section or the key is missing. Sections and keys compare case-insensitively; the first
// occurrence wins.
std::optional<std::string> ReadProfileRaw(const std::string& path, std::string_view section,
                                          std::string_view key);

// A value as the settings see it (ProfileValueAsRead), cut at kProfileValueLimit code points;
// `def` when the key is missing.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view def);

// A raw value as a read gives it back, before the length limit: blanks and tabs on both sides
// dropped (a hand-edited "KEY = 192" is 192), then one pair of enclosing double quotes, whose
// inside is kept as it is.
std::string_view ProfileValueAsRead(std::string_view raw);

// Decimal, or hexadecimal after "0x"/"0X" when the text is longer than two characters;
// anything else gives `def`. Hexadecimal is read as 32 bits, so "0xFFFFFFFF" gives -1;
// more than eight hex digits, or a decimal outside the int range, gives `def`.
int ParseProfileInteger(std::string_view text, int def);

// Writes "key=value" (UTF-8) into the section, replacing the key's first line or appending the
// key to the section (or a new section to the file). A value that would not read back as it is
// (a blank or tab at either end, or a double quote at both) is written in double quotes, so
// every value reads back as written (up to the length limit). Every other line keeps its bytes and
// line end; a replaced line keeps its key's spelling, without the blanks a hand edit put around the
// key or the value. The file is replaced atomically, keeping its mode and owner; a symbolic link
// is written through to its target. Fails for a value holding CR or LF, which would break the
// file's lines, and when the permission bits of the file or its folder forbid writing (also for
// root): the file then stays as it is.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

} // namespace sv::platform
