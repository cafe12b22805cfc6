// The writer command Trelvik runs: the command line Sonvale prepares names drives by the CD-DA
// reader's address "N,0,0"; wodim wants the device node. Every other argument goes to wodim
// unchanged, and wodim's exit code is ours. SV_WRITER_PROGRAM names another program to run in
// wodim's place (tests put a recording one there).
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kCannotRun = 127;

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The dev= argument for wodim, or an empty string with `error` set when the drive cannot write.
std::string MapDrive(const std::string& address, std::string& error) {
    if (address.empty()) {
        error = "no drive given (dev= is empty); choose a CD-R drive";
        return {};
    }
    if ((address[0] == 'I' || address[0] == 'i') && (address.size() == 1 || address[1] == ',')) {
        error = "dev=" + address + " is the image pseudo-drive, which cannot write a disc";
        return {};
    }
    const std::string suffix = ",0,0";
    if (address.size() > suffix.size() &&
        address.compare(address.size() - suffix.size(), suffix.size(), suffix) == 0) {
        std::string number = address.substr(0, address.size() - suffix.size());
        if (AllDigits(number)) return "dev=/dev/sr" + number;
    }
    return "dev=" + address; // a device wodim knows by itself, such as dev=/dev/sr1
}

} // namespace

int main(int argc, char** argv) {
    const char* replacement = std::getenv("SV_WRITER_PROGRAM");
    const std::string program = replacement && *replacement ? replacement : "wodim";
    std::vector<std::string> args{program};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("dev=", 0) == 0) {
            std::string error;
            arg = MapDrive(arg.substr(4), error);
            if (!error.empty()) {
                std::fprintf(stderr, "cdrecord: %s\n", error.c_str());
                return kBadCommandLine;
            }
        }
        args.push_back(arg);
    }
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    std::fflush(nullptr);
    // Our output runs through Trelvik, which may be ended while the disc is written (a desktop
    // offers to force its frozen window closed); a write of progress text must not then kill the
    // writer and spoil the disc.
    std::signal(SIGPIPE, SIG_IGN);
    execvp(raw[0], raw.data());
    std::fprintf(stderr, "cdrecord: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return kCannotRun;
}
