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
    // A value is read as main.ini's are: a hand-edited "INSTPATH = /x" is "/x".
    return std::string(ProfileValueAsRead(*raw));
}

} // namespace sv::platform
