#include "platform/library.h"

#include "platform/program_folder.h"

#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <link.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace sv::platform {

namespace {

std::string& CheckError() {
    thread_local std::string error;
    return error;
}

// The loader maps a library's segments without comparing them with the file's length, so a cut
// library would crash the program on first touch instead of failing to load. Anything that is
// not an ELF file of our own kind is left for the loader to refuse with its own reason.
bool SegmentsLieInTheFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return true;
    const auto size = static_cast<std::uint64_t>(in.tellg());
    ElfW(Ehdr) header{};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(&header), sizeof header)) return true;
    if (std::string_view(reinterpret_cast<const char*>(header.e_ident), SELFMAG) != ELFMAG ||
        header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
        header.e_phentsize != sizeof(ElfW(Phdr)))
        return true;
    const std::uint64_t tableEnd = static_cast<std::uint64_t>(header.e_phoff) +
                                   std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr));
    if (tableEnd > size) return false;
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    in.seekg(static_cast<std::streamoff>(header.e_phoff));
    if (!in.read(reinterpret_cast<char*>(segments.data()),
                 static_cast<std::streamsize>(segments.size() * sizeof(ElfW(Phdr)))))
        return false;
    for (const ElfW(Phdr) & segment : segments) {
        if (segment.p_type == PT_LOAD &&
            static_cast<std::uint64_t>(segment.p_offset) + segment.p_filesz > size)
            return false;
    }
    return true;
}

} // namespace

LibraryHandle LoadProgramLibrary(const std::string& fileName, std::string* why) {
    std::string local = JoinPath(ProgramFolder(), fileName);
    struct stat st {};
    // A copy in the program folder is the one meant: when it is broken, the search would only
    // find it again through the programs' $ORIGIN run path, past the length check.
    LibraryHandle handle = stat(local.c_str(), &st) == 0
                               ? LoadLibraryFile(local)
                               : dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && why) *why = LastLibraryError();
    return handle;
}

LibraryHandle LoadLibraryFile(const std::string& path) {
    CheckError().clear();
    if (path.empty()) return nullptr;
    if (!SegmentsLieInTheFile(path)) {
        CheckError() = path + ": file too short";
        return nullptr;
    }
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(LibraryHandle library, const char* name) {
    CheckError().clear();
    return library ? dlsym(library, name) : nullptr;
}

void UnloadLibrary(LibraryHandle library) {
    if (library) dlclose(library);
}

std::string LastLibraryError() {
    if (!CheckError().empty()) return std::exchange(CheckError(), std::string());
    const char* error = dlerror();
    return error ? error : "";
}

} // namespace sv::platform
