#pragma once
// A temporary program folder with copies of the built programs, and the processes started from
// it. Each folder has its own runtime folder, so its single-instance lock is its own.
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sv::e2e {

class ProgramFolder {
public:
    // Copies the programs and libraries of the build's program folder; writes `mainIni`.
    explicit ProgramFolder(const std::string& mainIni = "[MAIN]\nTITLE=Sonvale\nVERSION=1.00\n");
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::filesystem::path& Dir() const { return bin_; }
    const std::filesystem::path& RuntimeDir() const { return run_; }
    std::filesystem::path MainIni() const { return bin_ / "main.ini"; }

    // Starts a program of the folder on the offscreen platform with the given extra
    // environment, and with both its outputs on `output` where one is given; returns its process
    // id.
    pid_t Start(const std::string& program, const std::map<std::string, std::string>& env = {},
                int output = -1);

    // True while some process holds the folder's single-instance lock, or the lock `name`.
    bool LockHeld(const std::string& name = "DoubleOpenChk") const;

private:
    std::filesystem::path root_, bin_, run_;
};

// Waits for the process to end; its exit status as waitpid gives it, or nullopt on time-out.
std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout);

// Waits until `condition` holds; false on time-out.
template <class F> bool WaitUntil(F condition, std::chrono::milliseconds timeout);

// Kills the process with SIGKILL and reaps it.
void KillAndReap(pid_t pid);

std::string ReadFile(const std::filesystem::path& path);

// Writes an executable shell script of `body`.
void MakeScript(const std::filesystem::path& path, const std::string& body);

// The body of a program in wodim's place: writes its arguments to `args`, one a line, and for
// each file argument a line of `formats` saying how wodim would read it: "44100 2 16" for a disc
// track of a WAV, "raw" for a file read whole as raw audio, "refused" for one wodim stops at.
// With `audio`, the bytes wodim would write of the Nth file go to `audio`/N.
std::string RecorderScript(const std::filesystem::path& args, const std::filesystem::path& formats,
                           const std::filesystem::path& audio = {});

// Kills every process that runs a program of `folder` (what a failing run left behind).
void EndProgramsOf(const std::filesystem::path& folder);

} // namespace sv::e2e

#include <thread>

template <class F> bool sv::e2e::WaitUntil(F condition, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
