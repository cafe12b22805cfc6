#include "app/program_paths.h"

#include "platform/program_folder.h"

namespace sv::app {

namespace {
std::string& TestFolder() {
    static std::string folder;
    return folder;
}
} // namespace

std::string ProgramDir() {
    return TestFolder().empty() ? platform::ProgramFolder() : TestFolder();
}

std::string IniPath() {
    return platform::JoinPath(ProgramDir(), "main.ini");
}

void SetProgramDirForTests(const std::string& folder) {
    TestFolder() = folder;
}

} // namespace sv::app
