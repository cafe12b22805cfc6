#pragma once
// A private virtual X display (Xvfb) and synthetic keyboard and pointer input through the X
// test extension, spoken over the X socket directly so no client library is needed.
#include <optional>
#include <string>
#include <sys/types.h>

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
    static constexpr int kLeft = 113;
    static constexpr int kM = 58;

    void MovePointer(int x, int y);
    void Click(int x, int y);
    void Key(int keycode, bool down);
    void Tap(int keycode);
    // Waits until the server has handled everything sent so far.
    bool Sync();

private:
    void FakeInput(int type, int detail, int x, int y);
    bool Send(const void* data, size_t size);
    bool Receive(void* data, size_t size);

    pid_t server_ = -1;
    int number_ = -1;
    int fd_ = -1;
    int xtest_ = 0;
};

} // namespace sv::e2e
