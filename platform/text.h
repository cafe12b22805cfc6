#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace sv::platform {

bool IsValidUtf8(std::string_view text);

// Decodes Shift-JIS (code page 932) text to UTF-8; undecodable bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view text);

// Number of code points in valid UTF-8 text.
std::size_t CodePointCount(std::string_view text);

// The first `count` code points of UTF-8 text, never splitting one.
std::string_view LeadingCodePoints(std::string_view text, std::size_t count);

// ASCII-only case folding: the rules that compare names and extensions fold only A-Z.
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);

std::string_view TrimBlanks(std::string_view text);

} // namespace sv::platform
