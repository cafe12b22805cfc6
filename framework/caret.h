#pragma once
// The caret: one blinking bar for the whole program, owned by one windowed control at a time,
// drawn by inverting the pixels under it when that control's window is shown.
#include "framework/graphics.h"

class QImage;
class QPainter;
class QRect;

namespace sv {

class TWinControl;

// Makes the caret for `owner` (replacing any other), width x height pixels at (0, 0), hidden.
// A caret with no area is not made; false then.
bool CreateCaret(TWinControl* owner, int width, int height);
// Removes the caret if `owner` has it.
bool DestroyCaret(TWinControl* owner);
// Client coordinates of the owner.
bool SetCaretPos(int x, int y);
// Hiding counts: the caret shows once every HideCaret is matched by a ShowCaret.
bool ShowCaret(TWinControl* owner);
bool HideCaret(TWinControl* owner);

struct TCaretInfo {
    TWinControl* Owner = nullptr; // nullptr: no caret
    TRect Bounds;                 // owner's client coordinates
    bool Visible = false;         // shown (whatever the blink phase)
};
TCaretInfo GetCaretInfo();

// Milliseconds per blink phase; 0 keeps the caret steadily on (tests use it).
void SetCaretBlinkTime(int ms);
int GetCaretBlinkTime();

// Window painting: inverts the caret's pixels over what `backing` put on the window.
void PaintCaret(const TWinControl* window, QPainter& painter, const QImage& backing,
                const QRect& updated);

} // namespace sv
