#pragma once
#include <string>
#include <string_view>

namespace sv::platform {

// The folder of a program file: cut after the last "/", and drop that "/" unless it is the root.
std::string FolderOfProgram(std::string_view programPath);

// The folder of the running executable (/proc/self/exe); both programs share it.
std::string ProgramFolder();

// ProgramFolder() + "/main.ini".
std::string MainIniPath();

// Joins a folder and a name with exactly one "/" between them.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace sv::platform
