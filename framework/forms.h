#pragma once
// Forms, the screen and the application object.
#include "framework/control.h"
#include "framework/hintwindow.h"

#include <QMetaObject>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QMenuBar;

namespace sv {

class TMainMenu;
class FormWindow;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;
using TBorderStyle = TFormBorderStyle; // panels and edits use bsNone and bsSingle

enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using enum TBorderIcon;
using TBorderIcons = TSet<TBorderIcon>;

enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
using enum TFormStyle;

enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
using enum TPosition;

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

// Fixed window metrics: the outer size is the client size plus these.
inline constexpr int kFormFrame = 3;
inline constexpr int kFormCaption = 19;
inline constexpr int kFormMenuBar = 20;

class TForm : public TCustomControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;
    std::string ClassName() const override { return "TForm"; }

    // Outer size = client size + frame on each side + caption (+ menu bar).
    TRect ClientRect() const override;
    void SetClientWidth(int w) override;
    void SetClientHeight(int h) override;
    TPoint ClientOrigin() const override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;
    bool Showing() const override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle s);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle s);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition p) { position_ = p; }
    // Whether the window, placed at left, top, could still be taken by its title bar
    // (TScreen::Reachable).
    bool ReachableAt(int left, int top) const;
    TWindowState WindowState() const;
    void SetWindowState(TWindowState s);
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    // Rebuilds the window's menu bar from the menu (after merging or item changes).
    void MenuChanged();

    // Visible true fires OnShow, false OnHide; only requests of the program do.
    void SetVisible(bool visible) override;
    void Close();
    // Deletes the form once the current event is over.
    void Release();
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult r) { modalResult_ = r; }
    bool Modal() const { return modal_; }
    // Runs OnClose for the end of a modal show; false when the handler refused.
    bool CloseModal();
    void BringToFront();

    TWinControl* ActiveControl() const { return focused_.Get(); }
    void SetActiveControl(TWinControl* control);
    // Moves the framework's focus: exits along the old chain, enters along the new one, and
    // tells every control (buttons take their default look from it).
    void SetFocusedControl(TWinControl* control);
    bool Active() const;
    // Moves the focus to the next (or previous) control that takes it in the tab order.
    void SelectNextControl(bool forward);
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool v) { keyPreview_ = v; }

    // Called by the application once the form is made.
    void DoCreate();

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // The top-level window, if the form has one (not while it is embedded).
    QWidget* Window() const;
    // Entry points of the window; not for other callers.
    void WindowCloseRequested();
    void WindowMovedOrResized();
    void WindowStateChanged();
    void WindowActivated(bool active);

protected:
    void Dispatch(TMessage& message) override;
    QWidget* CreateWidget() override;
    void DestroyWidget() override;
    void Paint() override;
    void Notification(TComponent* component, TOperation operation) override;
    virtual bool CloseQuery();
    virtual void DoClose(TCloseAction& action);
    virtual void DoShow();
    virtual void DoHide();

private:
    void ApplyWindow();
    void ApplyMenuBar();
    int FrameSize() const;
    int CaptionSize() const;
    int MenuSize() const;
    bool TopLevel() const { return Parent() == nullptr; }

    FormWindow* window_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
    TFormStyle formStyle_ = fsNormal;
    TPosition position_ = poDesigned;
    TWindowState windowState_ = wsNormal;
    TMainMenu* menu_ = nullptr;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    bool keyPreview_ = false;
    bool positioned_ = false;
    bool syncing_ = false;
    TGuardedRef<TWinControl> focused_;
    friend class FormWindow;
    friend class ModalAccess;
};

enum class TCursor { crDefault, crHourGlass, crArrow, crCross, crIBeam, crHandPoint };
using enum TCursor;

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TScreen"; }
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TForm* Forms(int index) const { return forms_.at(index); }
    std::vector<TForm*> Forms() const { return forms_; }
    int Width() const;
    int Height() const;
    // Tests fix the screen size; 0 x 0 uses the real screen.
    void SetSizeOverride(int width, int height);
    // Each screen's area in desktop coordinates (a panel along an edge counts: the window
    // manager moves a window off it); with the size fixed, that one screen.
    std::vector<TRect> Areas() const;
    // Whether a window at `bounds` can still be taken by its title bar, `titleHeight` high at
    // its top: the title bar lies within one screen from top to bottom, and at least half the
    // window's width is on that screen. With no screen known, every place is.
    bool Reachable(const TRect& bounds, int titleHeight) const;
    TForm* ActiveForm() const;
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c);

private:
    friend class TForm;
    std::vector<TForm*> forms_;
    TCursor cursor_ = crDefault;
    int overrideW_ = 0, overrideH_ = 0;
};

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;
    std::string ClassName() const override { return "TApplication"; }

    void Initialize();
    // Makes a form owned by the application; the first becomes the main form.
    template <class T> void CreateForm(T*& reference) {
        T* form = new T(this);
        reference = form;
        RegisterForm(form);
    }
    // For a form made by other means: may become the main form; OnCreate fires.
    void RegisterForm(TForm* form);
    TForm* MainForm() const { return mainForm_.Get(); }
    // Shows the main form and runs the message loop until Terminate or the main form closes.
    void Run();
    // A queued quit: the running handler finishes, no close handler runs.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles the events that are waiting, then returns.
    void ProcessMessages();
    // Waits for at least one event and handles it (for waiting loops).
    void HandleMessage();
    // Shows the exception being handled (call from a catch block) or hands it to OnException.
    void HandleException(TObject* sender);
    void ShowException(const std::exception& e);
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& t) { title_ = t; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool v) { showMainForm_ = v; }
    void Minimize();
    void Restore();
    // The idle pass: finds the control under the cursor and sends leave and enter.
    void DoMouseIdle();
    TControl* MouseControl() const { return mouseControl_.Get(); }

    // Hints: a control's Hint shows after HintPause over it while ShowHint is set on both the
    // control and the application; a mouse button or key that IsHintMsg names hides it.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool v);
    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms) { hintHidePause_ = ms; }
    void SetHintWindowClass(THintWindowClass make);
    THintWindow* HintWindow() const { return hintWindow_.Get(); }
    void ActivateHint(TControl* control);
    void CancelHint();
    // Called with every input message; hides the hint when it says so.
    void HintMouseMessage(const TMessage& message);

    TNotifyEvent OnIdle;
    TExceptionEvent OnException;

private:
    void Idle();

    TGuardedRef<TForm> mainForm_;
    TGuardedRef<TControl> mouseControl_;
    bool terminated_ = false;
    bool running_ = false;
    bool showMainForm_ = true;
    bool inIdle_ = false;
    std::string title_;
    std::shared_ptr<QMetaObject::Connection> idleConnection_;
    bool showHint_ = true;
    int hintPause_ = 500;
    int hintHidePause_ = 2500;
    THintWindowClass hintClass_;
    TGuardedRef<THintWindow> hintWindow_;
    TGuardedRef<TControl> hintControl_;
    int hintSerial_ = 0;
};

extern TApplication* Application;
extern TScreen* Screen;

// First thing in a program's main, before its QApplication: nothing the program writes to its
// standard output or error makes it wait (platform::UnblockStandardOutputs), Qt's notices
// included, which go to standard error.
void PrepareProgramOutputs();

// The message of a program whose single-instance lock file `lockName` cannot be opened (`why`
// the system's reason), shown before the program ends.
std::string InstanceLockFailure(const char* lockName, const std::string& why);

// Makes the global Application and Screen (idempotent); the program or test main calls it
// after the QApplication exists.
void InitFramework();
// Frees them again.
void DoneFramework();

// Delivers the message to the control from the event loop, if the control still exists. Call it
// on the user-interface thread: the guard on the control is not safe from other threads.
void PostMessage(TControl* control, unsigned msg, std::intptr_t wParam, std::intptr_t lParam);

} // namespace sv
