#include "platform/library.h"

#include "platform/program_folder.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace sv::platform {

LibraryHandle LoadProgramLibrary(const std::string& fileName) {
    std::string local = JoinPath(ProgramFolder(), fileName);
    struct stat st {};
    if (stat(local.c_str(), &st) == 0) {
        if (LibraryHandle handle = LoadLibraryFile(local)) return handle;
    }
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

LibraryHandle LoadLibraryFile(const std::string& path) {
    if (path.empty()) return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void UnloadLibrary(LibraryHandle library) {
    if (library) dlclose(library);
}

std::string LastLibraryError() {
    const char* error = dlerror();
    return error ? error : "";
}

} // namespace sv::platform
