#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <linux/close_range.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace sv::platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Standard output and error as we were given them, where UnblockStandardOutputs replaced them.
int givenOutputs[2] = {-1, -1};

// Our own opening of the pipe or terminal behind `fd`, not blocking, or -1. The one we share
// with the programs that started us keeps its mode.
int OpenUnblocked(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return open(self.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

// Starts argv[0] with posix_spawnp; the child's pid, or -1. With `outputFd` set, the child's
// standard output and error both go there; with `shared` set, the child has it as descriptor 3.
pid_t Spawn(const std::vector<std::string>& argv, bool newSession, int outputFd = -1,
            int shared = -1) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, flags);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        const int given = outputFd >= 0 ? outputFd : givenOutputs[fd - STDOUT_FILENO];
        if (given >= 0) posix_spawn_file_actions_adddup2(&actions, given, fd);
    }
    // Our files are not the program's (a writer would keep our log open for its whole run).
    int firstClosed = STDERR_FILENO + 1;
    if (shared > STDERR_FILENO) posix_spawn_file_actions_adddup2(&actions, shared, firstClosed++);
    posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

// Waits for a child; its exit code, or nullopt when it died by a signal. Exit code 127 from a
// spawned child means exec failed, which counts as "could not start".
std::optional<int> Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return std::nullopt;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return std::nullopt;
}

// Hands everything the child writes to `output` until the child has ended. A program it started
// may keep the pipe open after it has gone, so the end of the child, not the end of the pipe,
// ends the reading; what it wrote before ending is still read.
void ForwardOutput(int fd, pid_t pid, const std::function<void(std::string_view)>& output) {
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    bool ended = false;
    char buffer[4096];
    while (true) {
        if (pidfd >= 0 && !ended) {
            pollfd p[2] = {{fd, POLLIN, 0}, {pidfd, POLLIN, 0}};
            if (poll(p, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (p[1].revents != 0) {
                ended = true;
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            } else if (p[0].revents == 0) {
                continue;
            }
        }
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // the end of the pipe, or nothing more from a child that has ended
    }
    if (pidfd >= 0) close(pidfd);
}

// Starts the program as a grandchild in its own session, so it is never our zombie and outlives
// us; a pipe closed by exec tells whether the exec worked.
bool StartDetached(const std::vector<std::string>& argv) {
    std::string program = ResolveProgram(argv[0]);
    if (program.empty()) return false;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        close(pipeFds[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction byDefault {};
            byDefault.sa_handler = SIG_DFL;
            for (const int held : {SIGPIPE, SIGTTOU}) sigaction(held, &byDefault, nullptr);
            for (const int fd : {STDOUT_FILENO, STDERR_FILENO})
                if (givenOutputs[fd - STDOUT_FILENO] >= 0)
                    dup2(givenOutputs[fd - STDOUT_FILENO], fd);
            // Our files are not the program's; the pipe still closes at exec.
            close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
            execve(program.c_str(), args.data(), environ);
            int error = errno;
            (void)!write(pipeFds[1], &error, sizeof error);
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    close(pipeFds[1]);
    auto intermediate = Wait(child);
    int error = 0;
    ssize_t n;
    while ((n = read(pipeFds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(pipeFds[0]);
    return intermediate == 0 && n == 0;
}

} // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (true) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i >= text.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < text.size() && (quoted || !IsBlank(text[i]))) {
            if (text[i] == '\\') {
                std::size_t n = 0;
                while (i < text.size() && text[i] == '\\') ++n, ++i;
                if (i < text.size() && text[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
            } else if (text[i] == '"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += text[i++];
            }
        }
        out.push_back(std::move(arg));
    }
    return out;
}

CommandLine SplitCommandLine(std::string_view commandLine,
                             const std::function<bool(const std::string&)>& isProgram) {
    std::string_view rest = commandLine;
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    CommandLine result;
    if (!rest.empty() && rest.front() == '"') {
        auto close = rest.find('"', 1);
        if (close == std::string_view::npos) close = rest.size();
        result.program = std::string(rest.substr(1, close - 1));
        rest = close < rest.size() ? rest.substr(close + 1) : std::string_view{};
        result.arguments = SplitArguments(rest);
        return result;
    }
    // Candidate ends: every blank run, then the end of the line.
    std::size_t firstEnd = rest.find_first_of(" \t");
    if (firstEnd == std::string_view::npos) firstEnd = rest.size();
    std::size_t chosen = firstEnd;
    for (std::size_t end = firstEnd;;) {
        if (isProgram(std::string(rest.substr(0, end)))) {
            chosen = end;
            break;
        }
        if (end >= rest.size()) break;
        std::size_t next = rest.find_first_not_of(" \t", end);
        if (next == std::string_view::npos) break;
        end = rest.find_first_of(" \t", next);
        if (end == std::string_view::npos) end = rest.size();
    }
    result.program = std::string(rest.substr(0, chosen));
    result.arguments = SplitArguments(rest.substr(chosen));
    return result;
}

bool IsRunnableProgram(const std::string& program) {
    return !ResolveProgram(program).empty();
}

std::string ResolveProgram(const std::string& program) {
    if (program.empty()) return {};
    auto runnable = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) return runnable(program) ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (true) {
        auto colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (runnable(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

namespace {

// The resolved program and its arguments, or nothing when the program cannot be found.
std::vector<std::string> ArgvOf(std::string_view commandLine) {
    CommandLine cmd = SplitCommandLine(commandLine, IsRunnableProgram);
    std::string program = ResolveProgram(cmd.program);
    if (program.empty()) return {};
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), cmd.arguments.begin(), cmd.arguments.end());
    return argv;
}

} // namespace

std::optional<int> RunAndWait(std::string_view commandLine) {
    std::vector<std::string> argv = ArgvOf(commandLine);
    if (argv.empty()) return std::nullopt;
    pid_t pid = Spawn(argv, false);
    if (pid < 0) return std::nullopt;
    return Wait(pid);
}

std::optional<int> RunAndWait(std::string_view commandLine,
                              const std::function<void(std::string_view)>& output, int shared) {
    std::vector<std::string> argv = ArgvOf(commandLine);
    if (argv.empty()) return std::nullopt;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    pid_t pid = Spawn(argv, false, pipeFds[1], shared);
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return std::nullopt;
    }
    ForwardOutput(pipeFds[0], pid, output);
    close(pipeFds[0]);
    return Wait(pid);
}

bool StartProgram(const std::string& path) {
    return StartDetached({path});
}

bool OpenDocument(const std::string& path) {
    return StartDetached({"xdg-open", path});
}

namespace {

// A socket cannot be opened again, and its file status flags are shared with whoever gave it to
// us: an output that is one becomes the writing end of a non-blocking pipe of our own instead,
// whose reading end a thread of ours empties into the socket without waiting. The relay lives
// as long as the program: its thread runs until the end.
struct SocketRelay {
    std::mutex mutex;
    int from[2] = {-1, -1}; // reading ends of the pipes, by output; -1: not relayed
};

SocketRelay& Relay() {
    static auto* relay = new SocketRelay;
    return *relay;
}

// Sends what waits in the pipes on to the sockets we were given; what a socket does not take at
// once is dropped. A pipe whose writing end is gone is closed.
void RelayWaiting(SocketRelay& relay) {
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        while (relay.from[i] >= 0) {
            const ssize_t n = read(relay.from[i], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) break; // nothing more just now
            if (n == 0) {
                close(relay.from[i]);
                relay.from[i] = -1;
                break;
            }
            while (send(givenOutputs[i], buffer, static_cast<std::size_t>(n),
                        MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
                   errno == EINTR) {
            }
        }
    }
}

void RunRelay() {
    // Signals are for the program's other threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    SocketRelay& relay = Relay();
    while (true) {
        pollfd p[2];
        nfds_t count = 0;
        {
            const std::lock_guard<std::mutex> lock(relay.mutex);
            for (const int fd : relay.from)
                if (fd >= 0) p[count++] = {fd, POLLIN, 0};
        }
        if (count == 0) return;
        if (poll(p, count, -1) < 0 && errno != EINTR) return;
        const std::lock_guard<std::mutex> lock(relay.mutex);
        RelayWaiting(relay);
    }
}

void StartRelay() {
    std::thread(RunRelay).detach();
    // What was written just before the end still reaches the socket, as far as it takes it.
    std::atexit([] {
        std::fflush(nullptr);
        SocketRelay& relay = Relay();
        const std::lock_guard<std::mutex> lock(relay.mutex);
        RelayWaiting(relay);
    });
}

} // namespace

void UnblockStandardOutputs() {
    static bool done = false;
    if (done) return;
    done = true;
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTTOU, SIG_IGN);
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (fstat(fd, &st) != 0) continue;
        const bool socket = S_ISSOCK(st.st_mode);
        if (!socket && !S_ISFIFO(st.st_mode) && !isatty(fd)) continue;
        int own = -1, relayFrom = -1;
        if (!socket) {
            own = OpenUnblocked(fd);
        } else if (int ends[2]; pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            relayFrom = ends[0];
            own = ends[1];
        }
        if (own < 0) continue; // a pipe without a reader fails at once anyway
        const int given = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        if (given >= 0 && dup2(own, fd) == fd) {
            givenOutputs[fd - STDOUT_FILENO] = given;
            Relay().from[fd - STDOUT_FILENO] = relayFrom;
        } else {
            if (given >= 0) close(given);
            if (relayFrom >= 0) close(relayFrom);
        }
        close(own);
    }
    if (Relay().from[0] >= 0 || Relay().from[1] >= 0) StartRelay();
}

OutputCopy::OutputCopy(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return;
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) {
        kind_ = Kind::File;
        fd_ = fd;
    } else if (S_ISSOCK(st.st_mode)) {
        kind_ = Kind::Socket;
        fd_ = fd;
    } else {
        fd_ = OpenUnblocked(fd);
        if (fd_ >= 0) kind_ = Kind::Unblocked;
    }
}

OutputCopy::~OutputCopy() {
    if (kind_ == Kind::Unblocked) close(fd_);
}

void OutputCopy::Write(std::string_view text) const {
    if (kind_ == Kind::None) return;
    if (kind_ == Kind::Socket) {
        while (send(fd_, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
               errno == EINTR) {
        }
        return;
    }
    // A gone reader raises SIGPIPE and a terminal that stops background writers SIGTTOU; held
    // back here, the one is taken away again and the other lets the write through.
    sigset_t held, before, pending;
    sigemptyset(&held);
    sigaddset(&held, SIGPIPE);
    sigaddset(&held, SIGTTOU);
    pthread_sigmask(SIG_BLOCK, &held, &before);
    sigpending(&pending);
    const bool pipeWasPending = sigismember(&pending, SIGPIPE) == 1;
    bool brokenPipe = false;
    while (!text.empty()) {
        const ssize_t n = write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            brokenPipe = errno == EPIPE;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
        if (kind_ == Kind::Unblocked) break; // what did not fit is dropped
    }
    if (brokenPipe && !pipeWasPending) {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        const timespec now{};
        while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

} // namespace sv::platform
