#pragma once
// Controls: the framework's own state and message model; Qt only delivers input and paints.
#include "framework/component.h"
#include "framework/graphics.h"
#include "framework/messages.h"

#include <QImage>
#include <Qt>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QEvent;
class QPaintEvent;

namespace sv {

class TCanvas;
class TWinControl;

// The request for a control's pop-up menu: LParam holds the screen point of a mouse request,
// or kKeyboardContextMenu when it came from the keyboard (Shift+F10, the menu key).
inline constexpr unsigned WM_CONTEXTMENU = 0x007B;
inline constexpr std::intptr_t kKeyboardContextMenu = -1;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_F10 = 0x79;
class TForm;
class TPopupMenu;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using enum TAlign;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using enum TShiftStateItem;
using TShiftState = TSet<TShiftStateItem>;

enum class TControlStyleItem {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents
};
using enum TControlStyleItem;
using TControlStyle = TSet<TControlStyleItem>;

enum class TControlStateItem {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking
};
using enum TControlStateItem;
using TControlState = TSet<TControlStateItem>;

enum class TDragMode { dmManual, dmAutomatic };
using enum TDragMode;

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, int& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char32_t& key)>;

// The key and button state as mouse messages carry it in WParam.
TShiftState KeysToShiftState(std::intptr_t keys);
// The keyboard and mouse buttons as they are now.
TShiftState CurrentShiftState();

// ---- TControl ----------------------------------------------------------------------------

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    std::string ClassName() const override { return "TControl"; }

    // Messages. WindowProc may be replaced (a hook keeps the old one and calls it).
    std::intptr_t Perform(unsigned msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    std::function<void(TMessage&)> WindowProc;
    virtual void WndProc(TMessage& message);
    // The per-class message handlers: override, handle what the class handles and pass the
    // rest to the base class's Dispatch ("inherited").
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    // Parent and geometry.
    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientWidth(int w) { SetWidth(width_ - ClientWidth() + w); }
    virtual void SetClientHeight(int h) { SetHeight(height_ - ClientHeight() + h); }
    // Screen position of the client area's top-left.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible with every parent up to a shown window.
    virtual bool Showing() const;

    // The control's own flag: a parent's state never changes it.
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& text) { SetText(text); }
    std::string Text() const { return GetText(); }
    // Stored and announced (0xB012) only when it differs.
    void SetText(const std::string& text);

    TFont* Font() const { return font_.get(); }
    void SetFont(const TFont* font);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);

    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle s) { controlStyle_ = s; }
    TControlState ControlState() const { return controlState_; }
    void SetControlState(TControlState s) { controlState_ = s; }
    TDragMode DragMode() const { return dragMode_; }
    void SetDragMode(TDragMode m) { dragMode_ = m; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& h) { hint_ = h; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool v) { showHint_ = v; }
    TPopupMenu* PopupMenu() const;
    void SetPopupMenu(TPopupMenu* menu);

    // The framework's capture: while set, mouse input goes to this control only.
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    virtual void Invalidate();
    // Paints at once.
    virtual void Repaint();
    void Refresh() { Repaint(); }
    virtual void Update();
    void BringToFront();
    void SendToBack();

    virtual void Click();
    virtual void DblClick();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

protected:
    virtual std::string GetText() const { return text_; }
    // Stores the text (windowed controls pass it to their widget).
    virtual void SetTextValue(const std::string& text) { text_ = text; }
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Resize();
    virtual void VisibleChanging() {}
    // Where a pop-up menu asked for from the keyboard opens, in client coordinates.
    virtual TPoint KeyboardPopupPoint() const;
    // Called when the parent's font or colour changed and this one follows it.
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

    std::string text_;
    TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState controlState_;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    bool parentFont_ = true;

private:
    void MouseButtonMessage(TMessage& m, TMouseButton button, bool down, bool dbl);
    void ContextMenuMessage(TMessage& m);
    void FontChanged();
    void TellChildren(unsigned msg);
    void RequestAlign();

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    bool showHint_ = false;
    TDragMode dragMode_ = dmManual;
    std::string hint_;
    std::unique_ptr<TFont> font_;
    TPopupMenu* popupMenu_ = nullptr;
    friend class TWinControl;
};

// ---- TGraphicControl ---------------------------------------------------------------------

// Windowless: its parent paints it, in z-order, into the parent's image through Canvas.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    std::string ClassName() const override { return "TGraphicControl"; }
    TCanvas* Canvas() const { return canvas_.get(); }
    // Paints into `image` with the control's (0, 0) at `origin`, clipped to `clip`.
    void PaintOn(QImage* image, TPoint origin, const TRect& clip);

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> canvas_;
};

// ---- TWinControl -------------------------------------------------------------------------

struct TCreateParams {
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
};

// What a Qt widget that serves a windowed control lets the framework do.
class IHostWidget {
public:
    virtual ~IHostWidget() = default;
    // Qt's own handling of an event (the window's default procedure).
    virtual bool BaseEvent(QEvent* event) = 0;
    virtual void BasePaint(QPaintEvent* event) = 0;
    virtual QWidget* Widget() = 0;
    // The control lets go of its widget before the widget is deleted.
    virtual void Detach() = 0;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    std::string ClassName() const override { return "TWinControl"; }

    // The widget, created on first use.
    QWidget* Handle();
    bool HandleAllocated() const { return widget_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the widget (WM_DESTROY first) and makes it again (WM_CREATE).
    void RecreateWnd();
    std::uint32_t WindowStyle() const { return windowStyle_; }
    void SetWindowStyle(std::uint32_t style);
    std::uint32_t GetWindowLong(int index) const;
    void SetWindowLong(int index, std::uint32_t value);

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(index); }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ContainsControl(const TControl* control) const;
    // Sends the message to each child (a snapshot) until one leaves a non-zero Result.
    void Broadcast(TMessage& message);
    // The topmost visible child at the client point (disabled ones only when allowed).
    TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls = false) const;
    // The deepest control at the client point, windowed or not.
    TControl* FindControlAt(TPoint p, bool allowDisabled);

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    bool Showing() const override;
    void AlignControls();
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();

    // Focus.
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool v);
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int v) { tabOrder_ = v; }
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v);
    bool ParentCtl3D() const { return parentCtl3D_; }
    void SetParentCtl3D(bool v) { parentCtl3D_ = v; }

    void Invalidate() override;
    void Repaint() override;
    void Update() override;
    // Parts of the client area (windowless children use these).
    void InvalidateRect(const TRect& rect);
    void RepaintRect(const TRect& rect);

    // Paints the control's face and its windowless children into `image` (the widget's size).
    void PaintInto(QImage& image, const TRect& updateRect);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Entry points of the host widgets; not for other callers.
    bool HostEvent(QEvent* event, bool& result);
    void HostPaint(QPaintEvent* event);

protected:
    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    virtual void CreateParams(TCreateParams& params);
    // Makes the Qt widget; the default is a plain widget that the framework paints.
    virtual QWidget* CreateWidget();
    // Gives a new widget the control's state.
    virtual void InitWidget();
    virtual void DestroyWidget();
    // Whether the framework paints the face (false: Qt's widget paints itself).
    virtual bool FrameworkPaints() const { return true; }
    // The control's own face; the default fills the client area with Color unless opaque.
    virtual void PaintWindow(TCanvas* canvas);
    virtual void DoEnter();
    virtual void DoExit();
    virtual bool DoKeyDown(int& key, TShiftState shift);
    virtual bool DoKeyPress(char32_t& key);
    virtual void ControlsAligned() {}
    void Loaded() override;
    // Adjusts the space children may take (panels keep their bevels free).
    virtual void AdjustClientRect(TRect& rect) const { (void)rect; }
    void ApplyWidgetGeometry();
    void ApplyWidgetVisibility();
    IHostWidget* Host() const { return host_; }
    QWidget* widget_ = nullptr;

private:
    friend class TControl;
    friend class TForm;
    void CreateHandleTree();
    Qt::FocusPolicy FocusPolicy() const;
    void ShowingChanged();
    TControl* MouseTarget(TPoint local, TPoint& targetPos);

    std::vector<TControl*> controls_;
    IHostWidget* host_ = nullptr;
    std::uint32_t windowStyle_ = WS_CHILD | WS_VISIBLE;
    bool tabStop_ = false;
    int tabOrder_ = 0;
    bool ctl3D_ = true;
    bool parentCtl3D_ = true;
    int alignDisabled_ = 0;
    bool aligning_ = false;
    QEvent* pendingEvent_ = nullptr;
    unsigned pendingMsg_ = 0;
    bool pendingHandled_ = false;
    bool pendingResult_ = false;
    QImage backing_;
};

// A windowed control that paints itself through Canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    std::string ClassName() const override { return "TCustomControl"; }
    TCanvas* Canvas() const { return canvas_.get(); }

protected:
    virtual void Paint() {}
    void PaintWindow(TCanvas* canvas) override;

private:
    std::unique_ptr<TCanvas> canvas_;
};

// The form that a control sits on (the outermost form of an embedded one is not taken).
TForm* GetParentForm(const TControl* control);
// The control whose widget this is, if any.
TWinControl* FindControl(const QWidget* widget);
// The framework's capture.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// Cursor position on the screen; tests may set it.
TPoint GetCursorPos();
void SetCursorPos(TPoint p);
// The control under a screen point, disabled ones included (for the idle pass).
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);
// The control under a screen point that is a windowed control.
TWinControl* FindWindowControl(TPoint screenPos);
// Sends the cancel-mode notification to the focused control of `sender`'s form.
void SendCancelMode(TControl* sender);
// For a catch block inside a paint: the exception is shown once the paint is over.
void HandleExceptionAfterPaint();
// Accelerator test: the character after a single "&" in the caption, case-insensitively.
bool IsAccel(char32_t key, const std::string& caption);

} // namespace sv
