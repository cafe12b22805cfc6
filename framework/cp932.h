#pragma once
// Code page 932 (Shift-JIS) text, for controls that keep byte buffers in the system's 8-bit
// code page (a numeric field's key buffer): conversion to and from the program's UTF-8.
#include <string>
#include <string_view>

namespace sv {

// Characters code page 932 cannot hold become '?', one byte each.
std::string Utf8ToCp932(std::string_view text);
// Bytes that are not code page 932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view text);

} // namespace sv
