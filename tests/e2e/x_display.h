#pragma once
// A private virtual X display (Xvfb) and synthetic keyboard and pointer input through the X
// test extension, spoken over the X socket directly so no client library is needed.
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sv::e2e {

class XDisplay {
public:
    // Starts Xvfb on a free display number; Ok() tells whether it came up.
    XDisplay(int width, int height);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Ok() const { return fd_ >= 0; }
    // ":<n>", for DISPLAY.
    std::string Name() const { return ":" + std::to_string(number_); }

    // Evdev key codes of the default keymap.
    static constexpr int kEscape = 9;
    static constexpr int kReturn = 36;
    static constexpr int kShift = 50;
    static constexpr int kF10 = 76;
    static constexpr int kLeft = 113;
    static constexpr int kMenu = 135;
    static constexpr int kM = 58;

    static constexpr int kLeftButton = 1;
    static constexpr int kRightButton = 3;

    void MovePointer(int x, int y);
    void Click(int x, int y, int button = kLeftButton);
    void Key(int keycode, bool down);
    void Tap(int keycode);
    // Types ASCII letters, digits and "-_./,"; false (typing nothing) for any other character.
    bool Type(const std::string& text);
    // Waits until the server has handled everything sent so far.
    bool Sync();

    // A child of the root window, in screen coordinates.
    struct Window {
        std::uint32_t id = 0;
        int x = 0, y = 0, width = 0, height = 0;
        bool viewable = false;
        // Pop-up menus and other windows placed by the program itself, not a window manager.
        bool overrideRedirect = false;
    };
    // The root's children, bottom to top; windows that go while they are read are left out.
    std::vector<Window> TopWindows();
    // The colour of a screen pixel as 0xRRGGBB.
    std::optional<std::uint32_t> Pixel(int x, int y);
    // The window that has the keyboard focus (1 for the window under the pointer, 0 for none).
    std::optional<std::uint32_t> FocusWindow();

private:
    void FakeInput(int type, int detail, int x, int y);
    bool Request(const void* data, size_t size);
    // Sends a request and reads its reply (32 bytes and what follows); false on an X error.
    bool Roundtrip(const void* data, size_t size, std::vector<std::uint8_t>& reply);
    bool Send(const void* data, size_t size);
    bool Receive(void* data, size_t size);

    pid_t server_ = -1;
    int number_ = -1;
    int fd_ = -1;
    int xtest_ = 0;
    std::uint32_t root_ = 0;
    std::uint16_t sequence_ = 0;
};

} // namespace sv::e2e
