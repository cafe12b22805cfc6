#pragma once
// Where Sonvale finds its program folder and main.ini. Tests point it at a folder of their own.
#include <string>

namespace sv::app {

// The program folder: the executable's folder unless a test set another.
std::string ProgramDir();
// ProgramDir() + "/main.ini".
std::string IniPath();
// An empty folder restores the executable's folder.
void SetProgramDirForTests(const std::string& folder);

} // namespace sv::app
