// The writer command Trelvik runs: the command line Sonvale prepares names drives by the CD-DA
// reader's address "N,0,0"; wodim wants the device node. Every other argument goes to wodim
// unchanged, and wodim's exit code is ours, except a WAV that wodim would read otherwise than
// it is meant (by its name, or by its chunks): that one is handed over through a stand-in in a
// private folder, removed again once wodim has ended, however it ended; a folder that a run
// killed outright left behind goes at the next run. SV_WRITER_PROGRAM names another program to
// run in wodim's place (tests put a recording one there).
#include "outside/include/wav_audio.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kCannotPrepare = 3;
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

// A signal that asks us to stop: passed on to wodim while it runs, remembered before.
volatile sig_atomic_t gChild = 0;
volatile sig_atomic_t gStop = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void PassOn(int signal) {
    if (gChild > 0)
        kill(static_cast<pid_t>(gChild), signal);
    else
        gStop = signal;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = PassOn;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

// Holds the stop signals back until ReleaseStopSignals; `before` gets the mask to go back to.
void HoldStopSignals(sigset_t& before) {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : kStopSignals) sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, &before);
}

// For the process that becomes wodim: a stop signal ends it as it would end wodim, one held back
// since HoldStopSignals at once. Async-signal-safe, for use after fork.
void DefaultStopSignals(const sigset_t& before) {
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal : kStopSignals) sigaction(signal, &byDefault, nullptr);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// The folder of this program, from /proc/self/exe.
std::string OwnFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string text(path, static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    return slash == 0 ? "/" : text.substr(0, slash);
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Where the stand-ins' folders are made: "tmp2" of the program folder.
std::string WorkFolder() {
    return OwnFolder() + "/tmp2";
}

constexpr const char kStandInFolderPrefix[] = "cdrecord-";

// "tmp2" opened as a folder, never through a link, or -1 (errno says why).
int OpenWorkFolder() {
    return open(WorkFolder().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The names a run gives its stand-ins: "NN.wav" with two digits or more.
bool IsStandInName(const char* name) {
    std::size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
    return digits >= 2 && std::strcmp(name + digits, ".wav") == 0;
}

// Removes from the folder what a run puts there: links and copies by a stand-in's name.
void RemoveStandIns(int folder) {
    const int listFd = dup(folder);
    DIR* list = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (!list) {
        if (listFd >= 0) close(listFd);
        return;
    }
    while (const dirent* file = readdir(list)) {
        struct stat st {};
        if (IsStandInName(file->d_name) &&
            fstatat(folder, file->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            (S_ISLNK(st.st_mode) || S_ISREG(st.st_mode)))
            unlinkat(folder, file->d_name, 0);
    }
    closedir(list);
}

// A run holds its folder by a flock on the folder itself for as long as the run or its wodim
// lives: a folder whose lock can be taken was left by a run killed outright, and loses what a run
// puts there, then goes if nothing else is left. A folder that cannot be locked stays, and nothing
// is reached through a link.
void RemoveStaleFolders() {
    const int workFd = OpenWorkFolder();
    DIR* work = workFd >= 0 ? fdopendir(workFd) : nullptr;
    if (!work) {
        if (workFd >= 0) close(workFd);
        return;
    }
    while (const dirent* entry = readdir(work)) {
        if (std::strncmp(entry->d_name, kStandInFolderPrefix, sizeof kStandInFolderPrefix - 1))
            continue;
        const int fd =
            openat(workFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            RemoveStandIns(fd);
            unlinkat(workFd, entry->d_name, AT_REMOVEDIR); // fails while anything else is there
        }
        close(fd);
    }
    closedir(work);
}

// The stand-ins of one run: a link of a ".wav" name where only the name misleads wodim, a copy
// of the audio behind a plain 44-byte header where the chunks do (rare: a copy costs the file's
// size in the program folder's "tmp2" and the time to write it).
class StandIns {
public:
    StandIns() = default;
    StandIns(const StandIns&) = delete;
    StandIns& operator=(const StandIns&) = delete;
    ~StandIns() { Remove(); }

    bool Any() const { return !folder_.empty(); }

    // The argument wodim gets for `arg`; empty with `error` set when its stand-in cannot be made.
    std::string For(const std::string& arg, std::string& error) {
        const auto dot = arg.rfind('.');
        if (arg.empty() || arg[0] == '-' || dot == std::string::npos || arg.size() - dot != 4)
            return arg;
        std::string extension = arg.substr(dot);
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension != ".wav") return arg;
        std::FILE* file = std::fopen(arg.c_str(), "rb");
        if (!file) return arg; // wodim says what is wrong with it
        const sv::wav::Audio meant = sv::wav::FindAudio(file, sv::wav::ChunkWalk::Riff);
        const sv::wav::Audio read = sv::wav::FindAudio(file, sv::wav::ChunkWalk::Wodim);
        const bool sameAudio =
            read.IsCdAudioToWodim() && read.offset == meant.offset && read.size == meant.size;
        std::string standIn;
        // Not audio for a disc at all: not ours to mend, wodim judges it.
        if (meant.IsCdAudio() && !(sameAudio && sv::wav::WodimTakesAsWav(arg))) {
            char name[16];
            std::snprintf(name, sizeof name, "%02zu.wav", made_.size() + 1);
            if (MakeFolder(error)) {
                made_.push_back(name);
                if (sameAudio ? Link(arg, name, error) : Copy(file, meant, name, error))
                    standIn = folder_ + "/" + name;
            }
            if (!standIn.empty())
                std::fprintf(stderr, "cdrecord: %s goes to the writer as %s (%s)\n", arg.c_str(),
                             standIn.c_str(), sameAudio ? "a link" : "a copy of its audio");
        } else {
            standIn = arg;
        }
        std::fclose(file);
        return standIn;
    }

    // Everything here goes by the descriptors of the folders that were made, never by their
    // names again.
    void Remove() {
        for (const std::string& name : made_) unlinkat(lock_, name.c_str(), 0);
        made_.clear();
        if (!folder_.empty()) unlinkat(work_, Leaf().c_str(), AT_REMOVEDIR);
        folder_.clear();
        for (int* fd : {&lock_, &work_}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
    }

private:
    bool MakeFolder(std::string& error) {
        if (!folder_.empty()) return true;
        const std::string work = WorkFolder();
        if (mkdir(work.c_str(), 0777) != 0 && errno != EEXIST) {
            error = SystemError("cannot make " + work);
            return false;
        }
        if (work_ < 0 && (work_ = OpenWorkFolder()) < 0) {
            error = errno == ELOOP || errno == ENOTDIR
                        ? work + " is not a folder of its own (a link or a file is there)"
                        : SystemError("cannot open " + work);
            return false;
        }
        for (int attempt = 0; attempt < 10; ++attempt) {
            std::string pattern = work + "/" + kStandInFolderPrefix + "XXXXXX";
            if (!mkdtemp(pattern.data())) {
                error = SystemError("cannot make a folder in " + work);
                return false;
            }
            const std::string leaf = pattern.substr(work.size() + 1);
            // Not closed at exec: wodim, which reads the stand-ins, holds the folder too, also
            // when we are killed before it ends.
            const int fd = openat(work_, leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (fd < 0) {
                error = SystemError("cannot open " + pattern);
                unlinkat(work_, leaf.c_str(), AT_REMOVEDIR);
                return false;
            }
            int locked;
            while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            // Another run's clean-up may have taken the folder in the moment before it was held.
            // (Unlocked only on a file system without locks, where no clean-up takes it either.)
            struct stat held {};
            struct stat named {};
            if (locked == 0 && (fstat(fd, &held) != 0 ||
                                fstatat(work_, leaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
                                held.st_ino != named.st_ino || held.st_dev != named.st_dev)) {
                close(fd);
                continue;
            }
            folder_ = pattern;
            lock_ = fd;
            return true;
        }
        error = "cannot keep a folder in " + work;
        return false;
    }

    std::string Leaf() const { return folder_.substr(folder_.rfind('/') + 1); }

    bool Link(const std::string& target, const std::string& name, std::string& error) const {
        char full[PATH_MAX];
        if (!realpath(target.c_str(), full) || symlinkat(full, lock_, name.c_str()) != 0) {
            error = SystemError("cannot link " + folder_ + "/" + name + " to " + target);
            return false;
        }
        return true;
    }

    static void Put(unsigned char* p, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> 8 * i);
    }

    bool Copy(std::FILE* from, const sv::wav::Audio& audio, const std::string& name,
              std::string& error) const {
        const std::string to = folder_ + "/" + name;
        const int fd =
            openat(lock_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        std::FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        if (!out) {
            if (fd >= 0) close(fd);
            error = SystemError("cannot make " + to);
            return false;
        }
        const auto size = static_cast<std::uint32_t>(audio.size);
        unsigned char h[44] = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                               'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   2,   0};
        Put(h + 4, size > UINT32_MAX - 36 ? UINT32_MAX : size + 36, 4);
        Put(h + 24, 44100, 4), Put(h + 28, 44100 * 4, 4), Put(h + 32, 4, 2), Put(h + 34, 16, 2);
        std::memcpy(h + 36, "data", 4);
        Put(h + 40, size, 4);
        bool ok = std::fwrite(h, 1, sizeof h, out) == sizeof h &&
                  fseeko(from, static_cast<off_t>(audio.offset), SEEK_SET) == 0;
        std::vector<char> buffer(1 << 20);
        for (std::uint64_t left = audio.size; ok && left > 0 && !gStop;) {
            const std::size_t want = left < buffer.size() ? left : buffer.size();
            ok = std::fread(buffer.data(), 1, want, from) == want &&
                 std::fwrite(buffer.data(), 1, want, out) == want;
            left -= want;
        }
        ok = std::fclose(out) == 0 && ok; // a full disk may show only here
        if (!ok) error = SystemError("cannot copy the audio of the track to " + to);
        return ok && !gStop;
    }

    std::string folder_;
    int work_ = -1;                 // "tmp2"
    int lock_ = -1;                 // the folder, held
    std::vector<std::string> made_; // names in the folder
};

// Runs wodim as a child, waits for its end whatever ends it, and gives its exit code (128 and
// the signal's number for one killed, as a shell tells it).
int RunChild(std::vector<char*>& argv) {
    std::fflush(nullptr);
    // Until the child is known, a stop signal must neither be caught by the child, which has no
    // wodim to pass it on to, nor slip past us.
    sigset_t before;
    HoldStopSignals(before);
    if (gStop) return 128 + gStop;
    const pid_t child = fork();
    if (child == 0) {
        DefaultStopSignals(before);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "cdrecord: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(kCannotRun);
    }
    if (child > 0) gChild = child;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (child < 0) {
        std::perror("cdrecord: cannot start the writer");
        return kCannotRun;
    }
    // Waited for without reaping first: while the ended child is not reaped its number is no
    // other process's, so a signal passed on meanwhile reaches nobody else.
    siginfo_t ended{};
    while (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
    gChild = 0;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return kCannotRun;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char** argv) {
    // Our output runs through Trelvik, which may be ended while the disc is written (a desktop
    // offers to force its frozen window closed); a write of progress text must not then kill the
    // writer and spoil the disc.
    std::signal(SIGPIPE, SIG_IGN);
    CatchStopSignals();
    RemoveStaleFolders();
    const char* replacement = std::getenv("SV_WRITER_PROGRAM");
    const std::string program = replacement && *replacement ? replacement : "wodim";
    std::vector<std::string> args{program};
    StandIns standIns;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string error;
        const bool drive = arg.rfind("dev=", 0) == 0;
        arg = drive ? MapDrive(arg.substr(4), error) : standIns.For(arg, error);
        if (!error.empty()) {
            std::fprintf(stderr, "cdrecord: %s\n", error.c_str());
            return drive ? kBadCommandLine : kCannotPrepare;
        }
        if (gStop) return 128 + gStop;
        args.push_back(arg);
    }
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    if (standIns.Any()) return RunChild(raw);
    std::fflush(nullptr);
    sigset_t before;
    HoldStopSignals(before);
    if (gStop) return 128 + gStop;
    DefaultStopSignals(before);
    execvp(raw[0], raw.data());
    std::fprintf(stderr, "cdrecord: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return kCannotRun;
}
