#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace sv::platform {

// The user's registry, read only: ${XDG_CONFIG_HOME:-$HOME/.config}/hkcu.ini, one section per
// key path (for example "Software\Vendor\Product"), the values as its keys.
std::string UserRegistryPath();
std::optional<std::string> ReadUserRegistryString(std::string_view keyPath,
                                                  std::string_view valueName);

} // namespace sv::platform
