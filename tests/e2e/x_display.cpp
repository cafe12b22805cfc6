#include "tests/e2e/x_display.h"

#include <cctype>
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
#include <utility>

namespace sv::e2e {

namespace {

// X protocol request codes.
constexpr std::uint8_t kGetWindowAttributes = 3;
constexpr std::uint8_t kGetGeometry = 14;
constexpr std::uint8_t kQueryTree = 15;
constexpr std::uint8_t kGetInputFocus = 43;
constexpr std::uint8_t kGetImage = 73;
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

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> 8 * i);
}

void Put16(std::uint8_t* p, int v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// Evdev key code and shift of the US keymap for a character; code 0 for none.
std::pair<int, bool> KeyOf(char c) {
    static const std::string rows[] = {"1234567890-", "qwertyuiop", "asdfghjkl", "zxcvbnm,./"};
    static const int starts[] = {10, 24, 38, 52};
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '_') return {20, true};
    for (int r = 0; r < 4; ++r)
        if (auto at = rows[r].find(lower); at != std::string::npos)
            return {starts[r] + static_cast<int>(at), lower != c};
    return {0, false};
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
    std::vector<std::uint8_t> rest(static_cast<size_t>(U16(head + 6)) * 4);
    Receive(rest.data(), rest.size());
    // The first screen's root follows the fixed part, the vendor text and the pixel formats.
    const size_t vendor = (U16(rest.data() + 16) + 3u) & ~3u;
    const size_t screen = 32 + vendor + 8u * rest[21];
    if (rest.size() >= screen + 4) root_ = U32(rest.data() + screen);

    const char name[8] = {'X', 'T', 'E', 'S', 'T', 0, 0, 0};
    std::uint8_t query[16] = {kQueryExtension, 0, 4, 0, 5, 0, 0, 0};
    std::memcpy(query + 8, name, sizeof name);
    std::vector<std::uint8_t> reply;
    if (Roundtrip(query, sizeof query, reply) && reply[8]) xtest_ = reply[9];
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

bool XDisplay::Request(const void* data, size_t size) {
    ++sequence_;
    return Send(data, size);
}

bool XDisplay::Roundtrip(const void* data, size_t size, std::vector<std::uint8_t>& reply) {
    if (fd_ < 0 || !Request(data, size)) return false;
    for (;;) {
        reply.assign(32, 0);
        if (!Receive(reply.data(), 32)) return false;
        const bool ours = U16(reply.data() + 2) == sequence_;
        if (reply[0] == 0 && ours) return false;
        if (reply[0] != 1) continue; // an event, or the error of an earlier request
        reply.resize(32 + static_cast<size_t>(U32(reply.data() + 4)) * 4);
        if (!Receive(reply.data() + 32, reply.size() - 32)) return false;
        if (ours) return true;
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
    Request(req, sizeof req);
}

void XDisplay::MovePointer(int x, int y) {
    FakeInput(kMotionNotify, 0, x, y);
}

void XDisplay::Click(int x, int y, int button) {
    MovePointer(x, y);
    FakeInput(kButtonPress, button, 0, 0);
    FakeInput(kButtonRelease, button, 0, 0);
}

void XDisplay::Key(int keycode, bool down) {
    FakeInput(down ? kKeyPress : kKeyRelease, keycode, 0, 0);
}

void XDisplay::Tap(int keycode) {
    Key(keycode, true);
    Key(keycode, false);
}

bool XDisplay::Type(const std::string& text) {
    for (char c : text)
        if (KeyOf(c).first == 0) return false;
    for (char c : text) {
        const auto [key, shift] = KeyOf(c);
        if (shift) Key(kShift, true);
        Tap(key);
        if (shift) Key(kShift, false);
    }
    return Sync();
}

bool XDisplay::Sync() {
    return FocusWindow().has_value();
}

std::optional<std::uint32_t> XDisplay::FocusWindow() {
    const std::uint8_t req[4] = {kGetInputFocus, 0, 1, 0};
    std::vector<std::uint8_t> reply;
    if (!Roundtrip(req, sizeof req, reply)) return std::nullopt;
    return U32(reply.data() + 8);
}

std::vector<XDisplay::Window> XDisplay::TopWindows() {
    std::vector<Window> windows;
    std::uint8_t tree[8] = {kQueryTree, 0, 2, 0};
    Put32(tree + 4, root_);
    std::vector<std::uint8_t> reply;
    if (!Roundtrip(tree, sizeof tree, reply)) return windows;
    std::vector<std::uint32_t> ids;
    for (size_t i = 0; i < U16(reply.data() + 16) && 32 + 4 * i + 4 <= reply.size(); ++i)
        ids.push_back(U32(reply.data() + 32 + 4 * i));
    for (std::uint32_t id : ids) {
        Window w;
        w.id = id;
        std::uint8_t req[8] = {kGetWindowAttributes, 0, 2, 0};
        Put32(req + 4, id);
        if (!Roundtrip(req, sizeof req, reply) || reply.size() < 44) continue;
        w.viewable = reply[26] == 2;
        w.overrideRedirect = reply[27] != 0;
        req[0] = kGetGeometry;
        if (!Roundtrip(req, sizeof req, reply)) continue;
        w.x = static_cast<std::int16_t>(U16(reply.data() + 12));
        w.y = static_cast<std::int16_t>(U16(reply.data() + 14));
        w.width = U16(reply.data() + 16);
        w.height = U16(reply.data() + 18);
        windows.push_back(w);
    }
    return windows;
}

std::optional<std::uint32_t> XDisplay::Pixel(int x, int y) {
    // One pixel of the root in Z format: 32 bits a pixel at depth 24, blue first.
    std::uint8_t req[20] = {kGetImage, 2, 5, 0};
    Put32(req + 4, root_);
    Put16(req + 8, x);
    Put16(req + 10, y);
    Put16(req + 12, 1);
    Put16(req + 14, 1);
    Put32(req + 16, 0xFFFFFFFFu);
    std::vector<std::uint8_t> reply;
    if (!Roundtrip(req, sizeof req, reply) || reply.size() < 36) return std::nullopt;
    return static_cast<std::uint32_t>(reply[34]) << 16 |
           static_cast<std::uint32_t>(reply[33]) << 8 | reply[32];
}

} // namespace sv::e2e
