#include "app/conv_paths.h"

#include "platform/program_folder.h"

namespace sv::app {

namespace {

// Where the file name starts.
std::size_t NameStart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The extension's "." or npos.
std::size_t ExtensionDot(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos || dot < NameStart(path) ? std::string_view::npos : dot;
}

} // namespace

std::string PathFileName(std::string_view path) {
    return std::string(path.substr(NameStart(path)));
}

std::string PathFolder(std::string_view path) {
    if (path.find('/') == std::string_view::npos) return {};
    return platform::FolderOfProgram(path);
}

std::string PathExtension(std::string_view path) {
    const auto dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangePathExtension(std::string_view path, std::string_view extension) {
    std::string result(path.substr(0, ExtensionDot(path)));
    result += extension;
    return result;
}

std::string ConvertedPath(std::string_view source, std::string_view extension, bool sameFolder,
                          std::string_view saveFolder) {
    const std::string name = ChangePathExtension(PathFileName(source), extension);
    if (sameFolder) {
        const std::string folder = PathFolder(source);
        return folder.empty() ? name : platform::JoinPath(folder, name);
    }
    return platform::JoinPath(saveFolder, name);
}

} // namespace sv::app
