#include "tests/e2e/program_folder.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sv::e2e {

namespace {
std::atomic<int> folderCount{0};
} // namespace

ProgramFolder::ProgramFolder(const std::string& mainIni) {
    root_ = fs::temp_directory_path() /
            ("sv-e2e-" + std::to_string(getpid()) + "-" + std::to_string(folderCount++));
    bin_ = root_ / "bin";
    run_ = root_ / "run";
    fs::remove_all(root_);
    fs::create_directories(bin_);
    fs::create_directories(run_);
    for (const fs::directory_entry& e : fs::directory_iterator(SV_BIN_DIR)) {
        if (!e.is_regular_file()) continue;
        std::string name = e.path().filename().string();
        bool program = (e.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
        bool library = name.starts_with("lib") && name.ends_with(".so");
        if ((program || library) && name != "main.ini")
            fs::copy_file(e.path(), bin_ / name, fs::copy_options::overwrite_existing);
    }
    std::ofstream(MainIni()) << mainIni;
}

ProgramFolder::~ProgramFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

pid_t ProgramFolder::Start(const std::string& program,
                           const std::map<std::string, std::string>& env, int output) {
    std::string path = (bin_ / program).string();
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", run_.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool ProgramFolder::LockHeld(const std::string& name) const {
    std::string path = (run_ / (name + ".lock")).string();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    // A pidfd becomes readable when the process ends, so the wait sleeps in poll.
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(timeout.count()));
        close(pidfd);
        if (ready <= 0) return std::nullopt;
        if (waitpid(pid, &status, 0) != pid) return std::nullopt;
        return status;
    }
    bool ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout);
    if (!ended) return std::nullopt;
    return status;
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void MakeScript(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::string RecorderScript(const fs::path& args, const fs::path& formats, const fs::path& audio) {
    // Per track: wodim takes a file as a WAV only by a name ending in ".wav" or ".WAV", walks its
    // chunks without RIFF's pad byte after an odd size, and reads any other file whole as raw
    // audio.
    return "printf '%s\\n' \"$@\" > '" + args.string() + "'\naudio='" + audio.string() + "'\n" +
           R"SH(le() { od -An -tu1 -j "$2" -N "$3" "$1" | awk '{v=0; for (i=NF; i>0; i--) v=v*256+$i; print v}'; }
id() { dd if="$1" bs=1 skip="$2" count=4 2>/dev/null; }
n=0
for a in "$@"; do
  [ -f "$a" ] || continue
  n=$((n+1)); size=$(stat -L -c %s "$a"); off=0; len=$size; how=raw
  case "$a" in *.wav|*.WAV)
    pos=0; fmt=; how=
    while [ -z "$how" ]; do
      if [ $((pos+8)) -gt "$size" ]; then how=raw; break; fi
      sz=$(le "$a" $((pos+4)) 4)
      case "$(id "$a" $pos)" in
        RIFF) [ $((pos+12)) -le "$size" ] && [ "$(id "$a" $((pos+8)))" = WAVE ] || { how=raw; break; }
              sz=4;;
        "fmt ") [ "$sz" -ge 16 ] && [ $((pos+24)) -le "$size" ] || { how=raw; break; }
              fmt="$(le "$a" $((pos+12)) 4) $(le "$a" $((pos+10)) 2) $(le "$a" $((pos+22)) 2)"
              [ "$fmt" = "44100 2 16" ] || how=refused;;
        data) [ -n "$fmt" ] || { how=refused; break; }
              off=$((pos+8)); len=$sz; [ $((off+len)) -le "$size" ] || len=$((size-off)); how=$fmt;;
      esac
      pos=$((pos+8+sz))
    done
    [ "$how" = raw ] && { off=0; len=$size; };;
  esac
  echo "$how" >> ')SH" +
           formats.string() + R"SH('
  if [ -n "$audio" ] && [ "$how" != refused ]; then tail -c +$((off+1)) "$a" | head -c "$len" > "$audio/$n"; fi
done)SH";
}

void EndProgramsOf(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ec;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", ec);
        if (!ec && exe.parent_path() == folder) kill(static_cast<pid_t>(std::stol(name)), SIGKILL);
    }
}

} // namespace sv::e2e
