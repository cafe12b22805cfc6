#pragma once
#include <string>

namespace sv::platform {

// A loaded shared library; a null handle means "not loaded".
using LibraryHandle = void*;

// Loads "lib<name>.so": the program folder's copy by full path when there is one, else through
// the system's search. On failure `why`, when given, holds the loader's reason.
LibraryHandle LoadProgramLibrary(const std::string& fileName, std::string* why = nullptr);
// Loads exactly this file; one whose segments reach past its end (a cut copy) is refused
// before the loader maps it.
LibraryHandle LoadLibraryFile(const std::string& path);
void* LibrarySymbol(LibraryHandle library, const char* name);
void UnloadLibrary(LibraryHandle library);
// The loader's last error text, for messages and logs.
std::string LastLibraryError();

} // namespace sv::platform
