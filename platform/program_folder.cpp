#include "platform/program_folder.h"

#include <climits>
#include <unistd.h>

namespace sv::platform {

std::string FolderOfProgram(std::string_view programPath) {
    auto slash = programPath.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(programPath.substr(0, slash));
}

std::string ProgramFolder() {
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return ".";
    return FolderOfProgram(std::string_view(buffer, static_cast<size_t>(n)));
}

std::string MainIniPath() {
    return JoinPath(ProgramFolder(), "main.ini");
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

} // namespace sv::platform
