#include "platform/registry.h"

#include "platform/profile.h"

#include <cstdlib>

namespace sv::platform {

std::string UserRegistryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) return std::string(config) + "/hkcu.ini";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/hkcu.ini";
}

std::optional<std::string> ReadUserRegistryString(std::string_view keyPath,
                                                  std::string_view valueName) {
    auto raw = ReadProfileRaw(UserRegistryPath(), keyPath, valueName);
    if (!raw) return std::nullopt;
    std::string value = *raw;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace sv::platform
