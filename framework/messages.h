#pragma once
// The framework's message model: a message record and the numbers the controls handle.
#include <cstdint>

namespace sv {

struct TMessage {
    unsigned Msg = 0;
    std::intptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

// Packing of two signed 16-bit values into an LParam, as mouse messages carry positions.
constexpr std::intptr_t MakeLParam(int lo, int hi) {
    return static_cast<std::intptr_t>(
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(hi)) << 16) |
        static_cast<std::uint16_t>(lo));
}
constexpr int LoWordSigned(std::intptr_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}
constexpr int HiWordSigned(std::intptr_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((v >> 16) & 0xFFFF));
}

// Window messages.
inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_CREATE = 0x0001;
inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_MOVE = 0x0003;
inline constexpr unsigned WM_SIZE = 0x0005;
inline constexpr unsigned WM_SETFOCUS = 0x0007;
inline constexpr unsigned WM_KILLFOCUS = 0x0008;
inline constexpr unsigned WM_ENABLE = 0x000A;
inline constexpr unsigned WM_PAINT = 0x000F;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_SYSCOLORCHANGE = 0x0015;
inline constexpr unsigned WM_CANCELMODE = 0x001F;
inline constexpr unsigned WM_NEXTDLGCTL = 0x0028;
inline constexpr unsigned WM_DRAWITEM = 0x002B;
inline constexpr unsigned WM_MEASUREITEM = 0x002C;
inline constexpr unsigned WM_GETDLGCODE = 0x0087;
inline constexpr unsigned WM_KEYDOWN = 0x0100;
inline constexpr unsigned WM_KEYUP = 0x0101;
inline constexpr unsigned WM_CHAR = 0x0102;
inline constexpr unsigned WM_SYSKEYDOWN = 0x0104;
inline constexpr unsigned WM_SYSKEYUP = 0x0105;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_TIMER = 0x0113;
inline constexpr unsigned WM_MOUSEMOVE = 0x0200;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_RBUTTONUP = 0x0205;
inline constexpr unsigned WM_RBUTTONDBLCLK = 0x0206;
inline constexpr unsigned WM_MBUTTONDOWN = 0x0207;
inline constexpr unsigned WM_MBUTTONUP = 0x0208;
inline constexpr unsigned WM_MBUTTONDBLCLK = 0x0209;
inline constexpr unsigned WM_MOUSEWHEEL = 0x020A;
inline constexpr unsigned WM_DEVICECHANGE = 0x0219;
inline constexpr unsigned WM_CUT = 0x0300;
inline constexpr unsigned WM_COPY = 0x0301;
inline constexpr unsigned WM_PASTE = 0x0302;
inline constexpr unsigned WM_DROPFILES = 0x0233;
inline constexpr unsigned WM_USER = 0x0400;

// WM_DEVICECHANGE parameters.
inline constexpr std::intptr_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr std::intptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

// Key and button state flags in the WParam of mouse messages.
inline constexpr std::intptr_t MK_LBUTTON = 0x0001;
inline constexpr std::intptr_t MK_RBUTTON = 0x0002;
inline constexpr std::intptr_t MK_SHIFT = 0x0004;
inline constexpr std::intptr_t MK_CONTROL = 0x0008;
inline constexpr std::intptr_t MK_MBUTTON = 0x0010;

// Control notifications of the framework.
inline constexpr unsigned CM_BASE = 0xB000;
inline constexpr unsigned CM_ACTIVATE = 0xB000;
inline constexpr unsigned CM_DEACTIVATE = 0xB001;
inline constexpr unsigned CM_CANCELMODE = 0xB004;
inline constexpr unsigned CM_DIALOGKEY = 0xB005;
inline constexpr unsigned CM_DIALOGCHAR = 0xB006;
inline constexpr unsigned CM_FOCUSCHANGED = 0xB007;
inline constexpr unsigned CM_PARENTFONTCHANGED = 0xB008;
inline constexpr unsigned CM_PARENTCOLORCHANGED = 0xB009;
inline constexpr unsigned CM_VISIBLECHANGED = 0xB00B;
inline constexpr unsigned CM_ENABLEDCHANGED = 0xB00C;
inline constexpr unsigned CM_COLORCHANGED = 0xB00D;
inline constexpr unsigned CM_FONTCHANGED = 0xB00E;
inline constexpr unsigned CM_CTL3DCHANGED = 0xB010;
inline constexpr unsigned CM_PARENTCTL3DCHANGED = 0xB011;
inline constexpr unsigned CM_TEXTCHANGED = 0xB012;
inline constexpr unsigned CM_MOUSEENTER = 0xB013;
inline constexpr unsigned CM_MOUSELEAVE = 0xB014;
inline constexpr unsigned CM_BUTTONPRESSED = 0xB018;
inline constexpr unsigned CM_SHOWINGCHANGED = 0xB019;
inline constexpr unsigned CM_ENTER = 0xB01A;
inline constexpr unsigned CM_EXIT = 0xB01B;
inline constexpr unsigned CM_SYSCOLORCHANGE = 0xB024;
// Offered up the parent chain (LParam: the control the key is for); non-zero takes the key.
inline constexpr unsigned CM_CHILDKEY = 0xB02E;

// Reflected notifications.
inline constexpr unsigned CN_BASE = 0xBC00;
inline constexpr unsigned CN_DRAWITEM = CN_BASE + WM_DRAWITEM;       // 0xBC2B
inline constexpr unsigned CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM; // 0xBC2C
// A key on its way to the focused control, before its WM_KEYDOWN; non-zero takes the key.
inline constexpr unsigned CN_KEYDOWN = CN_BASE + WM_KEYDOWN; // 0xBD00

// Owner-draw item states, actions and control types.
inline constexpr unsigned ODS_SELECTED = 0x0001;
inline constexpr unsigned ODS_GRAYED = 0x0002;
inline constexpr unsigned ODS_DISABLED = 0x0004;
inline constexpr unsigned ODS_CHECKED = 0x0008;
inline constexpr unsigned ODS_FOCUS = 0x0010;
inline constexpr unsigned ODS_DEFAULT = 0x0020;
inline constexpr unsigned ODA_DRAWENTIRE = 0x0001;
inline constexpr unsigned ODA_SELECT = 0x0002;
inline constexpr unsigned ODA_FOCUS = 0x0004;
inline constexpr unsigned ODT_LISTBOX = 2;
inline constexpr unsigned ODT_BUTTON = 4;

// Window styles the framework keeps per windowed control.
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_DLGFRAME = 0x00400000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t BS_OWNERDRAW = 0x0000000B;
inline constexpr int GWL_STYLE = -16;

// Virtual key codes.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F4 = 0x73;

// Message box results and flags.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;

} // namespace sv
