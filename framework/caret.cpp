#include "framework/caret.h"

#include "framework/control.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRect>
#include <QTimer>

namespace sv {

namespace {

struct CaretState {
    TGuardedRef<TWinControl> owner;
    const TWinControl* ownerAddress = nullptr; // still known while the owner is being freed
    TRect bounds;
    int hideCount = 1;
    bool phaseOn = true;
    int blinkMs = 530;
    QPointer<QTimer> timer;
};

CaretState& Caret() {
    static CaretState state;
    return state;
}

void InvalidateCaret() {
    CaretState& c = Caret();
    if (TWinControl* w = c.owner.Get()) w->InvalidateRect(c.bounds);
}

void StopBlink() {
    if (QTimer* t = Caret().timer.data()) t->stop();
}

void RestartBlink() {
    CaretState& c = Caret();
    c.phaseOn = true;
    if (c.blinkMs <= 0 || !c.owner || c.hideCount > 0) {
        StopBlink();
        return;
    }
    if (!c.timer) {
        // Owned by the application, so that it never outlives the event loop it runs in.
        c.timer = new QTimer(QCoreApplication::instance());
        c.timer->setObjectName("caretBlink");
        QObject::connect(c.timer.data(), &QTimer::timeout, [] {
            CaretState& s = Caret();
            // An owner freed without letting its caret go leaves nothing to blink.
            if (!s.owner) {
                StopBlink();
                return;
            }
            s.phaseOn = !s.phaseOn;
            InvalidateCaret();
        });
    }
    c.timer->start(c.blinkMs);
}

bool Owns(TWinControl* owner) {
    const CaretState& c = Caret();
    if (!owner || c.ownerAddress != owner) return false;
    // An owner that is being freed reads as gone, but may still let its caret go.
    return c.owner.Get() == owner || owner->ComponentState().Contains(csDestroying);
}

} // namespace

bool CreateCaret(TWinControl* owner, int width, int height) {
    if (!owner || width <= 0 || height <= 0) return false;
    CaretState& c = Caret();
    if (c.owner && c.hideCount == 0) InvalidateCaret();
    c.owner = owner;
    c.ownerAddress = owner;
    c.bounds = Rect(0, 0, width, height);
    c.hideCount = 1;
    RestartBlink();
    return true;
}

bool DestroyCaret(TWinControl* owner) {
    if (!Owns(owner)) return false;
    CaretState& c = Caret();
    if (c.hideCount == 0) InvalidateCaret();
    c.owner = nullptr;
    c.ownerAddress = nullptr;
    c.hideCount = 1;
    StopBlink();
    return true;
}

bool SetCaretPos(int x, int y) {
    CaretState& c = Caret();
    if (!c.owner) return false;
    // Painting code sets the position on every paint: only a move repaints.
    if (c.bounds.Left == x && c.bounds.Top == y) return true;
    if (c.hideCount == 0) InvalidateCaret();
    OffsetRect(c.bounds, x - c.bounds.Left, y - c.bounds.Top);
    if (c.hideCount == 0) {
        RestartBlink();
        InvalidateCaret();
    }
    return true;
}

bool ShowCaret(TWinControl* owner) {
    if (!Owns(owner)) return false;
    CaretState& c = Caret();
    if (c.hideCount == 0) return true;
    if (--c.hideCount == 0) {
        RestartBlink();
        InvalidateCaret();
    }
    return true;
}

bool HideCaret(TWinControl* owner) {
    if (!Owns(owner)) return false;
    CaretState& c = Caret();
    if (c.hideCount++ == 0) {
        StopBlink();
        InvalidateCaret();
    }
    return true;
}

TCaretInfo GetCaretInfo() {
    CaretState& c = Caret();
    TCaretInfo info;
    info.Owner = c.owner.Get();
    if (info.Owner) {
        info.Bounds = c.bounds;
        info.Visible = c.hideCount == 0;
    }
    return info;
}

void SetCaretBlinkTime(int ms) {
    Caret().blinkMs = ms;
    RestartBlink();
    InvalidateCaret();
}

int GetCaretBlinkTime() {
    return Caret().blinkMs;
}

void PaintCaret(const TWinControl* window, QPainter& painter, const QImage& backing,
                const QRect& updated) {
    CaretState& c = Caret();
    if (!window || c.owner.Get() != window || c.hideCount > 0 || !c.phaseOn) return;
    QRect r = QRect(c.bounds.Left, c.bounds.Top, c.bounds.Width(), c.bounds.Height())
                  .intersected(updated)
                  .intersected(backing.rect());
    if (r.isEmpty()) return;
    // Inverted from the window's own pixels, so the backing image stays as painted.
    QImage part = backing.copy(r);
    part.invertPixels();
    painter.drawImage(r.topLeft(), part);
}

} // namespace sv
