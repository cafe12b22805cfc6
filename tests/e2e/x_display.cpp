#include "tests/e2e/x_display.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::e2e {

namespace {

// X protocol request codes.
constexpr std::uint8_t kGetInputFocus = 43;
constexpr std::uint8_t kQueryExtension = 98;
constexpr std::uint8_t kFakeInputMinor = 2;
constexpr int kKeyPress = 2, kKeyRelease = 3, kButtonPress = 4, kButtonRelease = 5,
              kMotionNotify = 6;

std::optional<int> ReadDisplayNumber(int fd, int timeoutMs) {
    std::string text;
    while (text.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        char buf[32];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        text.append(buf, static_cast<size_t>(n));
    }
    return std::stoi(text);
}

} // namespace

XDisplay::XDisplay(int width, int height) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    server_ = fork();
    if (server_ == 0) {
        close(pipeFds[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::string fd = std::to_string(pipeFds[1]);
        std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-ac", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::optional<int> number = server_ > 0 ? ReadDisplayNumber(pipeFds[0], 20000) : std::nullopt;
    close(pipeFds[0]);
    if (!number) return;
    number_ = *number;

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = "/tmp/.X11-unix/X" + std::to_string(number_);
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (fd >= 0) close(fd);
        return;
    }
    fd_ = fd;

    // Connection set-up, little-endian, no authorisation.
    const std::uint8_t setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::uint8_t head[8];
    if (!Send(setup, sizeof setup) || !Receive(head, sizeof head) || head[0] != 1) {
        close(fd_);
        fd_ = -1;
        return;
    }
    std::string rest(static_cast<size_t>(head[6] | (head[7] << 8)) * 4, '\0');
    Receive(rest.data(), rest.size());

    const char name[8] = {'X', 'T', 'E', 'S', 'T', 0, 0, 0};
    std::uint8_t query[16] = {kQueryExtension, 0, 4, 0, 5, 0, 0, 0};
    std::memcpy(query + 8, name, sizeof name);
    std::uint8_t reply[32];
    if (!Send(query, sizeof query)) return;
    do {
        if (!Receive(reply, sizeof reply)) return;
    } while (reply[0] != 1 && reply[0] != 0);
    if (reply[0] == 1 && reply[8]) xtest_ = reply[9];
    if (!xtest_) {
        close(fd_);
        fd_ = -1;
    }
}

XDisplay::~XDisplay() {
    if (fd_ >= 0) close(fd_);
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
}

bool XDisplay::Send(const void* data, size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool XDisplay::Receive(void* data, size_t size) {
    auto* p = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        pollfd pf{fd_, POLLIN, 0};
        if (poll(&pf, 1, 10000) <= 0) return false;
        ssize_t n = read(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void XDisplay::FakeInput(int type, int detail, int x, int y) {
    if (fd_ < 0) return;
    std::uint8_t req[36] = {};
    req[0] = static_cast<std::uint8_t>(xtest_);
    req[1] = kFakeInputMinor;
    req[2] = 9; // length in 4-byte units
    req[4] = static_cast<std::uint8_t>(type);
    req[5] = static_cast<std::uint8_t>(detail);
    // time 0 (now), root None (the current screen)
    req[24] = static_cast<std::uint8_t>(x & 0xFF);
    req[25] = static_cast<std::uint8_t>((x >> 8) & 0xFF);
    req[26] = static_cast<std::uint8_t>(y & 0xFF);
    req[27] = static_cast<std::uint8_t>((y >> 8) & 0xFF);
    Send(req, sizeof req);
}

void XDisplay::MovePointer(int x, int y) {
    FakeInput(kMotionNotify, 0, x, y);
}

void XDisplay::Click(int x, int y) {
    MovePointer(x, y);
    FakeInput(kButtonPress, 1, 0, 0);
    FakeInput(kButtonRelease, 1, 0, 0);
}

void XDisplay::Key(int keycode, bool down) {
    FakeInput(down ? kKeyPress : kKeyRelease, keycode, 0, 0);
}

void XDisplay::Tap(int keycode) {
    Key(keycode, true);
    Key(keycode, false);
}

bool XDisplay::Sync() {
    if (fd_ < 0) return false;
    const std::uint8_t req[4] = {kGetInputFocus, 0, 1, 0};
    if (!Send(req, sizeof req)) return false;
    std::uint8_t reply[32];
    do {
        if (!Receive(reply, sizeof reply)) return false;
    } while (reply[0] != 1);
    return true;
}

} // namespace sv::e2e
