#pragma once
// Helpers for tests of the framework and of everything built on it: the framework's globals,
// a scripted dialog double, mouse input through the real Qt path, and rendering to bitmaps.
#include "framework/bitmap.h"
#include "framework/canvas.h"
#include "framework/control.h"
#include "framework/dialogs.h"
#include "framework/forms.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv::test {

class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        InitFramework();
        Screen->SetSizeOverride(1024, 768);
    }
};
inline ::testing::Environment* const kFrameworkEnvironment =
    ::testing::AddGlobalTestEnvironment(new FrameworkEnvironment);

struct DialogCall {
    std::string Kind; // "ShowMessage", "MessageBox", "InputQuery", "OpenFiles", ...
    std::string Text;
    std::string Caption;
    unsigned Flags = 0;
    bool operator==(const DialogCall&) const = default;
};

// Records every dialog and answers from scripts; installed for its lifetime.
// Unscripted answers: MessageBox IDOK, InputQuery/OpenFiles/SelectDirectory cancelled,
// ShowModal whatever the form's ModalResult is after OnModal ran (mrCancel if none).
class ScriptedDialogs : public TDialogService {
public:
    ScriptedDialogs() { SetDialogService(this); }
    ~ScriptedDialogs() override { SetDialogService(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    std::vector<DialogCall> Calls;
    std::deque<int> Answers;                        // MessageBox and ShowModal
    std::deque<std::optional<std::string>> Inputs;  // InputQuery; nullopt cancels
    std::deque<std::vector<std::string>> Files;     // OpenFiles; empty cancels
    std::deque<std::optional<std::string>> Folders; // SelectDirectory; nullopt cancels
    std::vector<TOpenDialogRequest> OpenRequests;
    std::function<void(TForm*)> OnModal; // runs while a form is modal
    // Runs when a message box comes up (the answer is taken after it).
    std::function<void(const DialogCall&)> OnMessage;

    void ShowMessage(const std::string& text) override {
        Calls.push_back({"ShowMessage", text, "", 0});
        if (OnMessage) OnMessage(Calls.back());
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        Calls.push_back({"MessageBox", text, caption, flags});
        if (OnMessage) OnMessage(Calls.back());
        return Take(Answers, IDOK);
    }
    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override {
        Calls.push_back({"InputQuery", prompt, caption, 0});
        auto a = Take(Inputs, std::optional<std::string>{});
        if (!a) return false;
        value = *a;
        return true;
    }
    bool OpenFiles(const TOpenDialogRequest& request, std::vector<std::string>& files) override {
        Calls.push_back(
            {"OpenFiles", request.Filter, request.Title, request.MultiSelect ? 1u : 0u});
        OpenRequests.push_back(request);
        files = Take(Files, std::vector<std::string>{});
        return !files.empty();
    }
    bool SelectDirectory(const std::string& caption, const std::string& root,
                         std::string& directory) override {
        Calls.push_back({"SelectDirectory", root, caption, 0});
        auto a = Take(Folders, std::optional<std::string>{});
        if (!a) return false;
        directory = *a;
        return true;
    }
    int ShowModal(TForm* form) override {
        Calls.push_back({"ShowModal", form->Name(), form->Caption(), 0});
        form->SetModalResult(mrNone);
        if (OnModal) OnModal(form);
        int r = form->ModalResult() != mrNone ? form->ModalResult() : mrCancel;
        return Take(Answers, r);
    }

    // The texts of the recorded calls of one kind, in order.
    std::vector<std::string> Texts(const std::string& kind = "") const {
        std::vector<std::string> r;
        for (auto& c : Calls)
            if (kind.empty() || c.Kind == kind) r.push_back(c.Text);
        return r;
    }

private:
    template <class T> static T Take(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

// The widget that receives the mouse for a control, and the point in it.
inline QWidget* MouseWidget(TControl* control, TPoint& p) {
    if (auto* w = dynamic_cast<TWinControl*>(control)) return w->Handle();
    p = Point(p.X + control->Left(), p.Y + control->Top());
    return control->Parent()->Handle();
}

inline void SendMouse(QEvent::Type type, TControl* control, int x, int y, Qt::MouseButton button,
                      Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    TPoint screen = control->ClientToScreen(Point(x, y));
    SetCursorPos(screen);
    TPoint p{x, y};
    QWidget* w = MouseWidget(control, p);
    QMouseEvent e(type, QPointF(p.X, p.Y), QPointF(screen.X, screen.Y), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

// Puts the cursor on a client point of the control and runs the idle pass.
inline void MoveCursorTo(TControl* control, int x, int y) {
    SetCursorPos(control->ClientToScreen(Point(x, y)));
    Application->DoMouseIdle();
}

// Puts the cursor on a screen point that no window covers and runs the idle pass.
inline void MoveCursorAway() {
    SetCursorPos(Point(-10000, -10000));
    Application->DoMouseIdle();
}

// A mouse move over the control, through Qt (the idle pass follows, as after every event).
inline void MouseMoveOn(TControl* control, int x, int y, Qt::MouseButtons held = Qt::NoButton) {
    SendMouse(QEvent::MouseMove, control, x, y, Qt::NoButton, held);
}

inline void Press(TControl* control, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(QEvent::MouseButtonPress, control, x, y, button, button);
}

inline void Release(TControl* control, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(QEvent::MouseButtonRelease, control, x, y, button, Qt::NoButton);
}

inline void ClickAt(TControl* control, int x, int y) {
    Press(control, x, y);
    Release(control, x, y);
}

// The control's face as its parent would show it: windowed controls through Qt's rendering
// (children included), windowless ones through their own Paint.
inline std::unique_ptr<TBitmap> RenderControl(TControl* control) {
    auto bmp = std::make_unique<TBitmap>(control->Width(), control->Height());
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        QWidget* widget = w->Handle();
        QImage img(widget->size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        widget->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        bmp->SetImage(img);
    } else if (auto* g = dynamic_cast<TGraphicControl*>(control)) {
        QImage img(control->Width(), control->Height(), QImage::Format_RGB32);
        img.fill(Qt::black);
        g->PaintOn(&img, Point(0, 0), Rect(0, 0, control->Width(), control->Height()));
        bmp->SetImage(img);
    }
    return bmp;
}

// Text as boxes of 8 x 12 pixels while it lives, so that positions are known.
struct FixedText {
    FixedCellTextMetrics cells{8, 12, 10};
    FixedText() { SetDefaultTextMetrics(&cells); }
    ~FixedText() { SetDefaultTextMetrics(nullptr); }
    FixedText(const FixedText&) = delete;
    FixedText& operator=(const FixedText&) = delete;
};

// A colour (system colours resolved) as 0x00RRGGBB, the way PixelAt reads pixels.
inline std::uint32_t Px(TColor c) {
    TColor v = ColorToRGB(c);
    return (static_cast<std::uint32_t>(GetRValue(v)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(v)) << 8) | GetBValue(v);
}

// The pixel as 0x00RRGGBB.
inline std::uint32_t PixelAt(const TBitmap& bmp, int x, int y) {
    return bmp.Image().pixel(x, y) & 0xFFFFFF;
}

} // namespace sv::test
