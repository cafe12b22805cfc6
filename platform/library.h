#pragma once
#include <string>

namespace sv::platform {

// A loaded shared library; a null handle means "not loaded".
using LibraryHandle = void*;

// Loads "lib<name>.so": the program folder's copy by full path first, then the system's search.
LibraryHandle LoadProgramLibrary(const std::string& fileName);
// Loads exactly this file.
LibraryHandle LoadLibraryFile(const std::string& path);
void* LibrarySymbol(LibraryHandle library, const char* name);
void UnloadLibrary(LibraryHandle library);
// The loader's last error text, for messages and logs.
std::string LastLibraryError();

} // namespace sv::platform
