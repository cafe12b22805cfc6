#include "framework/control.h"

#include "framework/canvas.h"
#include "framework/caret.h"
#include "framework/forms.h"
#include "framework/host_widget.h"
#include "framework/menus.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <optional>

namespace sv {

bool HostDropEvent(TWinControl* control, QEvent* e); // dropfiles.cpp

namespace {

TGuardedRef<TControl> captureControl;
QPointer<QWidget> grabbedWidget;
std::optional<TPoint> cursorOverride;

// The platform's capture sees the mouse anywhere on the screen; Qt sees it outside our windows
// only through a grab. A held button grabs by itself, so the grab is taken for a capture that
// starts with no button held (hover tracking), on the capturing control's window.
void FollowCapture() {
    QWidget* want = nullptr;
    if (TControl* c = captureControl.Get(); c && QGuiApplication::mouseButtons() == Qt::NoButton) {
        for (TControl* w = c; w; w = w->Parent())
            if (auto* win = dynamic_cast<TWinControl*>(w); win && win->HandleAllocated()) {
                want = win->Handle();
                break;
            }
        if (want && !want->isVisible()) want = nullptr;
    }
    if (grabbedWidget.data() == want) return;
    if (QWidget* old = grabbedWidget.data(); old && QWidget::mouseGrabber() == old)
        old->releaseMouse();
    grabbedWidget = want;
    if (want) want->grabMouse();
}

void SetCapture(TControl* control) {
    captureControl = control;
    FollowCapture();
}

void EraseControl(std::vector<TControl*>& v, TControl* c) {
    auto it = std::find(v.begin(), v.end(), c);
    if (it != v.end()) v.erase(it);
}

bool IsMouseMessage(unsigned msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL;
}

int QtKeyToVk(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Menu:
        return VK_APPS;
    default:
        return 0;
    }
}

// Shift+F10 and the menu key ask for the focused control's pop-up menu.
bool IsContextMenuKey(int vk, Qt::KeyboardModifiers mods) {
    const Qt::KeyboardModifiers other = mods & (Qt::ControlModifier | Qt::AltModifier);
    if (other) return false;
    return vk == VK_APPS || (vk == VK_F10 && (mods & Qt::ShiftModifier));
}

std::intptr_t MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    std::intptr_t k = 0;
    if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
    if (buttons & Qt::RightButton) k |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
    if (mods & Qt::ControlModifier) k |= MK_CONTROL;
    return k;
}

TShiftState ModsToShift(Qt::KeyboardModifiers mods) {
    TShiftState s;
    if (mods & Qt::ShiftModifier) s.Include(ssShift);
    if (mods & Qt::ControlModifier) s.Include(ssCtrl);
    if (mods & Qt::AltModifier) s.Include(ssAlt);
    return s;
}

} // namespace

TShiftState KeysToShiftState(std::intptr_t keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s.Include(ssShift);
    if (keys & MK_CONTROL) s.Include(ssCtrl);
    if (keys & MK_LBUTTON) s.Include(ssLeft);
    if (keys & MK_RBUTTON) s.Include(ssRight);
    if (keys & MK_MBUTTON) s.Include(ssMiddle);
    return s;
}

TShiftState CurrentShiftState() {
    TShiftState s = ModsToShift(QGuiApplication::queryKeyboardModifiers());
    Qt::MouseButtons b = QGuiApplication::mouseButtons();
    if (b & Qt::LeftButton) s.Include(ssLeft);
    if (b & Qt::RightButton) s.Include(ssRight);
    if (b & Qt::MiddleButton) s.Include(ssMiddle);
    return s;
}

TControl* GetCaptureControl() {
    return captureControl.Get();
}
void SetCaptureControl(TControl* control) {
    SetCapture(control);
}

TPoint GetCursorPos() {
    if (cursorOverride) return *cursorOverride;
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}
void SetCursorPos(TPoint p) {
    cursorOverride = p;
}

TForm* GetParentForm(const TControl* control) {
    const TControl* c = control;
    while (c && c->Parent()) c = c->Parent();
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void SendCancelMode(TControl* sender) {
    if (TForm* form = GetParentForm(sender))
        form->Perform(CM_CANCELMODE, 0, reinterpret_cast<std::intptr_t>(sender));
}

bool IsAccel(char32_t key, const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        QString rest = QString::fromStdString(caption.substr(i + 1));
        if (rest.isEmpty()) return false;
        char32_t c = rest.toUcs4().value(0);
        return QString::fromUcs4(&c, 1).toUpper() == QString::fromUcs4(&key, 1).toUpper();
    }
    return false;
}

TWinControl* FindControl(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        QVariant v = w->property("svControl");
        if (v.isValid() && v.value<void*>()) return static_cast<TWinControl*>(v.value<void*>());
    }
    return nullptr;
}

TWinControl* FindWindowControl(TPoint screenPos) {
    TControl* c = FindDragTarget(screenPos, true);
    while (c && !dynamic_cast<TWinControl*>(c)) c = c->Parent();
    return static_cast<TWinControl*>(c);
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
    QWidget* top = QApplication::topLevelAt(QPoint(screenPos.X, screenPos.Y));
    if (!top) return nullptr;
    TWinControl* root = FindControl(top);
    if (!root) return nullptr;
    return root->FindControlAt(root->ScreenToClient(screenPos), allowDisabled);
}

// ---- TControl ----------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
    // Controls need the application object for input and errors; programs make it first.
    if (!Application) InitFramework();
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
    BeginDestruction();
    // A dying control's capture already reads as none: the grab taken for it goes too.
    if (grabbedWidget) FollowCapture();
    if (parent_) parent_->RemoveControl(this);
}

std::intptr_t TControl::Perform(unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc)
        WindowProc(m);
    else
        WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        controlState_.Include(csLButtonDown);
        break;
    case WM_LBUTTONUP:
        controlState_.Exclude(csLButtonDown);
        break;
    default:
        break;
    }
    Dispatch(m);
}

void TControl::MouseButtonMessage(TMessage& m, TMouseButton button, bool down, bool dbl) {
    int x = LoWordSigned(m.LParam), y = HiWordSigned(m.LParam);
    TShiftState shift = KeysToShiftState(m.WParam);
    if (down) {
        TGuardedRef<TControl> self(this);
        SendCancelMode(this);
        if (!self) return;
        DefaultHandler(m); // the window's own handling first
        if (!self) return;
        if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
        if (button == mbLeft && controlStyle_.Contains(csClickEvents)) {
            if (dbl)
                DblClick();
            else
                controlState_.Include(csClicked);
        }
        if (!self) return;
        if (dbl) shift.Include(ssDouble);
        if (!controlStyle_.Contains(csNoStdEvents)) MouseDown(button, shift, x, y);
        return;
    }
    TGuardedRef<TControl> self(this);
    DefaultHandler(m);
    if (!self) return;
    if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
    if (button == mbLeft && controlState_.Contains(csClicked)) {
        controlState_.Exclude(csClicked);
        if (PtInRect(ClientRect(), Point(x, y))) Click();
    }
    if (!self) return;
    if (!controlStyle_.Contains(csNoStdEvents)) MouseUp(button, shift, x, y);
    if (!self) return;
    if (button == mbRight) {
        TPoint p = ClientToScreen(Point(x, y));
        Perform(WM_CONTEXTMENU, 0, MakeLParam(p.X, p.Y));
    }
}

void TControl::ContextMenuMessage(TMessage& m) {
    if (!popupMenu_ || !popupMenu_->AutoPopup()) {
        DefaultHandler(m);
        return;
    }
    TPoint p = m.LParam == kKeyboardContextMenu
                   ? ClientToScreen(KeyboardPopupPoint())
                   : Point(LoWordSigned(m.LParam), HiWordSigned(m.LParam));
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(p.X, p.Y);
    m.Result = 1;
}

TPoint TControl::KeyboardPopupPoint() const {
    // As the platform does for a widget without a text cursor: its middle.
    return Point(width_ / 2, height_ / 2);
}

void TControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
        MouseButtonMessage(m, mbLeft, true, false);
        return;
    case WM_LBUTTONDBLCLK:
        MouseButtonMessage(m, mbLeft, true, true);
        return;
    case WM_LBUTTONUP:
        MouseButtonMessage(m, mbLeft, false, false);
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseButtonMessage(m, mbRight, true, m.Msg == WM_RBUTTONDBLCLK);
        return;
    case WM_RBUTTONUP:
        MouseButtonMessage(m, mbRight, false, false);
        return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseButtonMessage(m, mbMiddle, true, m.Msg == WM_MBUTTONDBLCLK);
        return;
    case WM_MBUTTONUP:
        MouseButtonMessage(m, mbMiddle, false, false);
        return;
    case WM_CONTEXTMENU:
        ContextMenuMessage(m);
        return;
    case WM_MOUSEMOVE: {
        TGuardedRef<TControl> self(this);
        DefaultHandler(m);
        if (self && !controlStyle_.Contains(csNoStdEvents))
            MouseMove(KeysToShiftState(m.WParam), LoWordSigned(m.LParam), HiWordSigned(m.LParam));
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        // A child's notice goes up naming the child; our own names us.
        if (parent_)
            parent_->Perform(m.Msg, 0, m.LParam ? m.LParam : reinterpret_cast<std::intptr_t>(this));
        return;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_SYSCOLORCHANGE:
        Invalidate();
        return;
    case CM_VISIBLECHANGED:
        return;
    case CM_PARENTFONTCHANGED:
        if (parentFont_) ParentFontChanged();
        return;
    case CM_PARENTCOLORCHANGED:
        if (parentColor_) ParentColorChanged();
        return;
    default:
        DefaultHandler(m);
    }
}

void TControl::DefaultHandler(TMessage& m) {
    (void)m;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw Exception("コントロールを自分自身の親にはできません");
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    bool resized = width != width_ || height != height_;
    if (parent_ && !dynamic_cast<TWinControl*>(this)) parent_->Invalidate();
    left_ = left;
    top_ = top;
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    if (parent_ && !dynamic_cast<TWinControl*>(this)) Invalidate();
    RequestAlign();
    if (resized && !ComponentState().Contains(csLoading)) Resize();
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

TPoint TControl::ClientOrigin() const {
    if (!parent_) return Point(left_, top_);
    TPoint p = parent_->ClientOrigin();
    return Point(p.X + left_, p.Y + top_);
}

TPoint TControl::ClientToScreen(TPoint p) const {
    TPoint o = ClientOrigin();
    return Point(p.X + o.X, p.Y + o.Y);
}

TPoint TControl::ScreenToClient(TPoint p) const {
    TPoint o = ClientOrigin();
    return Point(p.X - o.X, p.Y - o.Y);
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    RequestAlign();
}

void TControl::RequestAlign() {
    if (parent_ && (align_ != alNone || !dynamic_cast<TWinControl*>(this) || true))
        parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    VisibleChanging();
    visible_ = visible;
    Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
    if (parent_) {
        parent_->Invalidate();
        if (align_ != alNone) parent_->AlignControls();
    }
}

bool TControl::Showing() const {
    return visible_ && parent_ && parent_->Showing();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& text) {
    if (GetText() == text) return;
    SetTextValue(text);
    Perform(CM_TEXTCHANGED);
}

void TControl::SetFont(const TFont* font) {
    if (font) font_->Assign(font);
}

void TControl::TellChildren(unsigned msg) {
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        TMessage m{msg, 0, 0, 0};
        w->Broadcast(m);
    }
}

void TControl::FontChanged() {
    parentFont_ = false;
    Perform(CM_FONTCHANGED);
    TellChildren(CM_PARENTFONTCHANGED);
}

void TControl::SetParentFont(bool v) {
    if (v == parentFont_) return;
    parentFont_ = v;
    if (v && parent_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parent_) return;
    font_->Assign(parent_->Font());
    parentFont_ = true; // Assign's change notice cleared it
}

void TControl::SetColor(TColor color) {
    if (color == color_) {
        parentColor_ = false;
        return;
    }
    color_ = color;
    parentColor_ = false;
    Perform(CM_COLORCHANGED);
    TellChildren(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentColor(bool v) {
    if (v == parentColor_) return;
    parentColor_ = v;
    if (v && parent_) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!parent_) return;
    SetColor(parent_->Color());
    parentColor_ = true;
}

TPopupMenu* TControl::PopupMenu() const {
    return popupMenu_;
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    popupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TControl::Loaded() {
    TComponent::Loaded();
    if (parentFont_ && parent_) ParentFontChanged();
    if (parentColor_ && parent_) ParentColorChanged();
    if (parent_) parent_->AlignControls();
}

bool TControl::MouseCapture() const {
    return captureControl.Get() == this;
}

void TControl::SetMouseCapture(bool capture) {
    if (capture)
        SetCapture(this);
    else if (captureControl.Get() == this)
        SetCapture(nullptr);
}

void TControl::Invalidate() {
    if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}

void TControl::Repaint() {
    if (parent_ && visible_) parent_->RepaintRect(BoundsRect());
}

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    EraseControl(v, this);
    v.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->widget_) w->widget_->raise();
    Invalidate();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    EraseControl(v, this);
    v.insert(v.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->widget_) w->widget_->lower();
    Invalidate();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

// ---- TGraphicControl ---------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() {
    BeginDestruction();
}

void TGraphicControl::PaintOn(QImage* image, TPoint origin, const TRect& clip) {
    TDrawSurface s;
    s.Image = image;
    s.Origin = origin;
    s.Clip = clip;
    canvas_->SetSurface(s);
    canvas_->Font()->Assign(Font());
    try {
        Paint();
    } catch (...) {
        canvas_->SetTarget(nullptr);
        throw;
    }
    canvas_->SetTarget(nullptr);
}

// ---- TWinControl -------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    BeginDestruction();
    // Children that someone else owns stay alive, without a parent.
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
    if (widget_) DestroyWidget();
}

void DetachHostWidget(QWidget* widget) {
    if (auto* h = dynamic_cast<IHostWidget*>(widget)) h->Detach();
    widget->setProperty("svControl", QVariant());
}

QWidget* TWinControl::Handle() {
    if (!widget_) {
        if (parent_) parent_->Handle();
        CreateHandleTree();
    }
    return widget_;
}

void TWinControl::CreateHandleTree() {
    if (widget_) return;
    TCreateParams params;
    params.Style = windowStyle_;
    CreateParams(params);
    windowStyle_ = params.Style;
    controlState_.Include(csCreating);
    widget_ = CreateWidget();
    host_ = dynamic_cast<IHostWidget*>(widget_);
    widget_->setProperty("svControl", QVariant::fromValue(static_cast<void*>(this)));
    if (parent_ && parent_->widget_) widget_->setParent(parent_->widget_);
    widget_->setEnabled(Enabled());
    ApplyWidgetGeometry();
    InitWidget();
    controlState_.Exclude(csCreating);
    Perform(WM_CREATE);
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandleTree();
    ApplyWidgetVisibility();
}

QWidget* TWinControl::CreateWidget() {
    auto* w = new THostWidget<QWidget>(this);
    w->setAttribute(Qt::WA_OpaquePaintEvent);
    w->setMouseTracking(true);
    return w;
}

Qt::FocusPolicy TWinControl::FocusPolicy() const {
    // Panels and other painted containers do not take the focus from a click.
    if (tabStop_) return Qt::StrongFocus;
    return FrameworkPaints() ? Qt::NoFocus : Qt::ClickFocus;
}

void TWinControl::InitWidget() {
    widget_->setFocusPolicy(FocusPolicy());
}

void TWinControl::DestroyWidget() {
    if (!widget_) return;
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->widget_) w->DestroyWidget();
    controlState_.Include(csDestroyingHandle);
    Perform(WM_DESTROY);
    controlState_.Exclude(csDestroyingHandle);
    QWidget* w = widget_;
    widget_ = nullptr;
    host_ = nullptr;
    backing_ = QImage();
    DetachHostWidget(w);
    w->hide();
    // The widget may be the one whose event is running: Qt deletes it when that is over.
    w->setParent(nullptr);
    w->deleteLater();
}

void TWinControl::RecreateWnd() {
    if (!widget_) return;
    DestroyWidget();
    CreateHandleTree();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Style |= WS_CHILD;
    if (tabStop_) params.Style |= WS_TABSTOP;
}

void TWinControl::SetWindowStyle(std::uint32_t style) {
    windowStyle_ = style;
}

std::uint32_t TWinControl::GetWindowLong(int index) const {
    if (index != GWL_STYLE) return 0;
    std::uint32_t s = windowStyle_ & ~(WS_VISIBLE | WS_DISABLED);
    if (Visible()) s |= WS_VISIBLE;
    if (!Enabled()) s |= WS_DISABLED;
    return s;
}

void TWinControl::SetWindowLong(int index, std::uint32_t value) {
    if (index == GWL_STYLE) windowStyle_ = value;
}

void TWinControl::InsertControl(TControl* control) {
    if (control->parent_ == this) return;
    controls_.push_back(control);
    control->parent_ = this;
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (widget_) {
            if (w->widget_)
                w->widget_->setParent(widget_);
            else
                w->CreateHandleTree();
            w->ApplyWidgetGeometry();
            w->ApplyWidgetVisibility();
        }
    }
    if (!control->ComponentState().Contains(csLoading)) {
        if (control->parentFont_) control->ParentFontChanged();
        if (control->parentColor_) control->ParentColorChanged();
    }
    AlignControls();
    control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
    if (control->parent_ != this) return;
    control->Invalidate();
    if (captureControl.Get() == control) SetCapture(nullptr);
    if (auto* w = dynamic_cast<TWinControl*>(control); w && w->widget_) {
        TForm* form = GetParentForm(this);
        if (form && form->ActiveControl() && w->ContainsControl(form->ActiveControl()))
            form->SetFocusedControl(nullptr);
        w->widget_->hide();
        w->widget_->setParent(nullptr);
    }
    EraseControl(controls_, control);
    control->parent_ = nullptr;
    AlignControls();
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

void TWinControl::Broadcast(TMessage& message) {
    std::vector<TGuardedRef<TControl>> snapshot(controls_.begin(), controls_.end());
    for (auto& ref : snapshot) {
        TControl* c = ref.Get();
        if (!c || c->Parent() != this) continue;
        c->WindowProc(message);
        if (message.Result != 0) return;
    }
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        bool win = dynamic_cast<TWinControl*>(c) != nullptr;
        if (win && !allowWinControls) continue;
        if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
        if (PtInRect(c->BoundsRect(), p)) return c;
    }
    return nullptr;
}

TControl* TWinControl::FindControlAt(TPoint p, bool allowDisabled) {
    // Windows lie above the windowless children.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        auto* w = dynamic_cast<TWinControl*>(*it);
        if (!w || !w->Visible()) continue;
        if (PtInRect(w->BoundsRect(), p)) {
            TPoint o = w->ClientOrigin(), mine = ClientOrigin();
            return w->FindControlAt(Point(p.X - (o.X - mine.X), p.Y - (o.Y - mine.Y)),
                                    allowDisabled);
        }
    }
    if (TControl* c = ControlAtPos(p, allowDisabled, false)) return c;
    return this;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    bool changed = left != Left() || top != Top() || width != Width() || height != Height();
    TControl::SetBounds(left, top, width, height);
    if (changed) {
        ApplyWidgetGeometry();
        AlignControls();
        Perform(WM_SIZE, 0, MakeLParam(ClientWidth(), ClientHeight()));
    }
}

void TWinControl::Loaded() {
    TControl::Loaded();
    // The children's own Loaded found this control still loading and could not place them; a
    // later move would do it only by chance, and a form shown where it was made never moves.
    AlignControls();
}

void TWinControl::ApplyWidgetGeometry() {
    // Without a parent the position is a screen position (pop-up windows); a form's window
    // places its client widget itself.
    if (!widget_ || (!parent_ && dynamic_cast<TForm*>(this))) return;
    widget_->setGeometry(Left(), Top(), Width(), Height());
}

void TWinControl::ApplyWidgetVisibility() {
    if (!widget_ || !parent_) return;
    widget_->setVisible(Visible());
}

void TWinControl::SetVisible(bool visible) {
    TControl::SetVisible(visible);
    ApplyWidgetVisibility();
}

bool TWinControl::Showing() const {
    if (!Visible()) return false;
    if (!Parent()) return widget_ && widget_->isVisible();
    return Parent()->Showing();
}

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0 && --alignDisabled_ == 0) AlignControls();
}

void TWinControl::AlignControls() {
    if (alignDisabled_ > 0 || aligning_ || ComponentState().Contains(csLoading)) return;
    aligning_ = true;
    TRect r = ClientRect();
    AdjustClientRect(r);
    auto place = [&](TAlign a) {
        for (TControl* c : controls_) {
            if (c->Align() != a || !c->Visible()) continue;
            switch (a) {
            case alTop:
                c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
                r.Top += c->Height();
                break;
            case alBottom:
                c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
                r.Bottom -= c->Height();
                break;
            case alLeft:
                c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
                r.Left += c->Width();
                break;
            case alRight:
                c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
                r.Right -= c->Width();
                break;
            case alClient:
                c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
                break;
            default:
                break;
            }
        }
    };
    try {
        for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
    ControlsAligned();
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const {
    TForm* form = GetParentForm(this);
    return form && form->ActiveControl() == this && form->Active();
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw Exception("非表示または無効なウィンドウにはフォーカスを移せません");
    if (TForm* form = GetParentForm(this)) form->SetFocusedControl(this);
    if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

void TWinControl::SetTabStop(bool v) {
    if (v == tabStop_) return;
    tabStop_ = v;
    if (v)
        windowStyle_ |= WS_TABSTOP;
    else
        windowStyle_ &= ~WS_TABSTOP;
    if (widget_) widget_->setFocusPolicy(FocusPolicy());
}

void TWinControl::SetCtl3D(bool v) {
    if (v == ctl3D_) return;
    ctl3D_ = v;
    parentCtl3D_ = false;
    Perform(CM_CTL3DCHANGED);
}

void TWinControl::Invalidate() {
    if (widget_) widget_->update();
}

void TWinControl::Repaint() {
    if (widget_ && widget_->isVisible()) widget_->repaint();
}

void TWinControl::Update() {
    if (widget_ && widget_->isVisible()) widget_->repaint();
}

void TWinControl::InvalidateRect(const TRect& r) {
    if (widget_) widget_->update(r.Left, r.Top, r.Width(), r.Height());
}

void TWinControl::RepaintRect(const TRect& r) {
    if (widget_ && widget_->isVisible()) widget_->repaint(r.Left, r.Top, r.Width(), r.Height());
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

bool TWinControl::DoKeyDown(int& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
    return key == 0;
}

bool TWinControl::DoKeyPress(char32_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
    return key == 0;
}

void TWinControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_ENTER:
        DoEnter();
        return;
    case CM_EXIT:
        DoExit();
        return;
    case CM_ENABLEDCHANGED:
        // Qt's own disabling of child widgets is only about input; the framework's flags of
        // the children do not change.
        if (widget_) widget_->setEnabled(Enabled());
        Invalidate();
        return;
    case CM_FOCUSCHANGED:
    case CM_SYSCOLORCHANGE:
    case CM_SHOWINGCHANGED: {
        TControl::Dispatch(m);
        TMessage copy{m.Msg, m.WParam, m.LParam, 0};
        Broadcast(copy);
        return;
    }
    case CM_COLORCHANGED:
    case CM_FONTCHANGED: {
        if (widget_ && !FrameworkPaints()) widget_->setFont(Font()->ToQFont());
        TControl::Dispatch(m);
        return;
    }
    case CM_DIALOGCHAR:
    case CM_DIALOGKEY:
        // Accelerators and dialog keys: each child in turn until one takes it.
        Broadcast(m);
        return;
    case CM_CTL3DCHANGED: {
        TMessage m2{CM_PARENTCTL3DCHANGED, 0, 0, 0};
        Broadcast(m2);
        Invalidate();
        return;
    }
    case CM_PARENTCTL3DCHANGED:
        if (parentCtl3D_ && parent_) {
            ctl3D_ = parent_->ctl3D_;
            Perform(CM_CTL3DCHANGED);
        }
        return;
    case WM_SETFOCUS: {
        TGuardedRef<TWinControl> self(this);
        if (TForm* form = GetParentForm(this); form && form->ActiveControl() != this)
            form->SetFocusedControl(this);
        if (self) DefaultHandler(m);
        return;
    }
    case CN_KEYDOWN:
        // Before the control sees the key, its parents may take it.
        if (!ComponentState().Contains(csDesigning) &&
            Perform(CM_CHILDKEY, m.WParam, reinterpret_cast<std::intptr_t>(this)) != 0)
            m.Result = 1;
        return;
    case CM_CHILDKEY:
        if (TWinControl* p = Parent()) p->WindowProc(m);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        int key = static_cast<int>(m.WParam);
        if (DoKeyDown(key, CurrentShiftState())) return;
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        int key = static_cast<int>(m.WParam);
        if (OnKeyUp) OnKeyUp(this, key, CurrentShiftState());
        if (key == 0) return;
        DefaultHandler(m);
        return;
    }
    case WM_CHAR: {
        auto key = static_cast<char32_t>(m.WParam);
        if (DoKeyPress(key)) return;
        m.WParam = static_cast<std::intptr_t>(key);
        DefaultHandler(m);
        return;
    }
    default:
        TControl::Dispatch(m);
    }
}

void TWinControl::DefaultHandler(TMessage& m) {
    // The window's default procedure is Qt's own handling of the event that brought it.
    if (!pendingEvent_ || pendingHandled_ || !host_) return;
    bool same = m.Msg == pendingMsg_ || (IsMouseMessage(m.Msg) && IsMouseMessage(pendingMsg_));
    if (!same) return;
    pendingHandled_ = true;
    pendingResult_ = host_->BaseEvent(pendingEvent_);
}

TControl* TWinControl::MouseTarget(TPoint local, TPoint& targetPos) {
    TControl* target = captureControl.Get();
    if (!target) {
        if (TControl* c = ControlAtPos(local, false)) {
            targetPos = Point(local.X - c->Left(), local.Y - c->Top());
            return c;
        }
        targetPos = local;
        return this;
    }
    TPoint screen = ClientToScreen(local);
    targetPos = target->ScreenToClient(screen);
    return target;
}

bool TWinControl::HostEvent(QEvent* e, bool& result) {
    TGuardedRef<TWinControl> self(this);
    auto deliver = [&](unsigned msg, std::intptr_t w, std::intptr_t l) {
        QEvent* savedEvent = pendingEvent_;
        unsigned savedMsg = pendingMsg_;
        bool savedHandled = pendingHandled_, savedResult = pendingResult_;
        pendingEvent_ = e;
        pendingMsg_ = msg;
        pendingHandled_ = false;
        pendingResult_ = true;
        try {
            Perform(msg, w, l);
        } catch (...) {
            Application->HandleException(this);
        }
        if (!self) {
            result = true;
            return true;
        }
        bool handled = pendingHandled_;
        result = handled ? pendingResult_ : true;
        pendingEvent_ = savedEvent;
        pendingMsg_ = savedMsg;
        pendingHandled_ = savedHandled;
        pendingResult_ = savedResult;
        return handled;
    };

    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        QPoint gp = me->globalPosition().toPoint();
        if (cursorOverride) cursorOverride = Point(gp.x(), gp.y());
        if (!widget_->isEnabled()) {
            // A disabled window (or one inside a disabled window) takes no input.
            Application->DoMouseIdle();
            result = true;
            return true;
        }
        TPoint local{static_cast<int>(me->position().x()), static_cast<int>(me->position().y())};
        unsigned msg = WM_MOUSEMOVE;
        Qt::MouseButton b = me->button();
        int base = b == Qt::RightButton    ? WM_RBUTTONDOWN
                   : b == Qt::MiddleButton ? WM_MBUTTONDOWN
                                           : WM_LBUTTONDOWN;
        if (e->type() == QEvent::MouseButtonPress) msg = base;
        if (e->type() == QEvent::MouseButtonRelease) msg = base + 1;
        if (e->type() == QEvent::MouseButtonDblClick) msg = base + 2;
        std::intptr_t keys = MouseKeys(me->buttons(), me->modifiers());
        TPoint pos;
        TControl* target = MouseTarget(local, pos);
        if (msg == base + 2u && !target->ControlStyle().Contains(csDoubleClicks)) msg = base;
        std::intptr_t lp = MakeLParam(pos.X, pos.Y);
        Application->HintMouseMessage(TMessage{msg, keys, lp, 0});
        if (target == this) {
            deliver(msg, keys, lp);
        } else {
            TGuardedRef<TControl> t(target);
            try {
                target->Perform(msg, keys, lp);
            } catch (...) {
                Application->HandleException(t.Get());
            }
            result = true;
        }
        // The input was this window's: Qt must not hand it on to the parent widget, which
        // would take the press (and with it the release) for itself.
        e->accept();
        Application->DoMouseIdle();
        return true;
    }
    case QEvent::ContextMenu:
        // With a pop-up menu of ours the right button's release or the keys open it; Qt's own
        // request would only open the widget's standard menu instead.
        if (!PopupMenu() || !PopupMenu()->AutoPopup()) return false;
        e->accept();
        result = true;
        return true;
    case QEvent::KeyPress: {
        auto* ke = static_cast<QKeyEvent*>(e);
        int vk = QtKeyToVk(ke->key());
        Application->HintMouseMessage(TMessage{WM_KEYDOWN, vk, 0, 0});
        std::u32string text = ke->text().toStdU32String();
        bool textKey = !text.empty() && text[0] >= 0x20 && text[0] != 0x7F;
        if (vk) {
            // Offered first as CN_KEYDOWN; a taken key makes neither key-down nor character.
            QEvent* savedEvent = pendingEvent_;
            pendingEvent_ = nullptr;
            bool taken = false;
            try {
                taken = Perform(CN_KEYDOWN, vk, 0) != 0;
            } catch (...) {
                Application->HandleException(this);
                taken = true;
            }
            if (!self) return result = true;
            pendingEvent_ = savedEvent;
            if (taken) return result = true;
        }
        if (vk) {
            if (!textKey) {
                deliver(WM_KEYDOWN, vk, 0);
                if (self && IsContextMenuKey(vk, ke->modifiers())) {
                    try {
                        Perform(WM_CONTEXTMENU, 0, kKeyboardContextMenu);
                    } catch (...) {
                        Application->HandleException(this);
                    }
                }
                return true;
            }
            // A typed character: the key-down may swallow it, else the character goes on.
            QEvent* savedEvent = pendingEvent_;
            pendingEvent_ = nullptr;
            int key = vk;
            bool eaten = false;
            try {
                TMessage km{WM_KEYDOWN, key, 0, 0};
                WindowProc(km);
                eaten = km.WParam == 0;
            } catch (...) {
                Application->HandleException(this);
                eaten = true;
            }
            if (!self) return result = true;
            pendingEvent_ = savedEvent;
            if (eaten) return result = true;
        }
        if (textKey && (ke->modifiers() & Qt::AltModifier)) {
            // Alt with a character asks the form's controls for the accelerator.
            if (TForm* form = GetParentForm(this)) {
                std::intptr_t handled = 0;
                try {
                    handled = form->Perform(CM_DIALOGCHAR, static_cast<std::intptr_t>(text[0]));
                } catch (...) {
                    Application->HandleException(form);
                    handled = 1;
                }
                if (handled) return result = true;
            }
            return false;
        }
        if (textKey) {
            deliver(WM_CHAR, static_cast<std::intptr_t>(text[0]), 0);
            return true;
        }
        return false;
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        int vk = QtKeyToVk(ke->key());
        if (!vk) return false;
        deliver(WM_KEYUP, vk, 0);
        return true;
    }
    case QEvent::FocusIn:
        deliver(WM_SETFOCUS, 0, 0);
        return true;
    case QEvent::FocusOut:
        deliver(WM_KILLFOCUS, 0, 0);
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        result = true;
        return HostDropEvent(this, e);
    }
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(e);
        deliver(WM_MOUSEWHEEL, we->angleDelta().y(), 0);
        return true;
    }
    case QEvent::Leave:
        QTimer::singleShot(0, [] {
            if (Application) Application->DoMouseIdle();
        });
        return false;
    default:
        return false;
    }
}

void TWinControl::HostPaint(QPaintEvent* e) {
    if (!FrameworkPaints()) {
        if (host_) host_->BasePaint(e);
        return;
    }
    QSize size = widget_->size();
    if (backing_.size() != size) backing_ = QImage(size, QImage::Format_RGB32);
    QRect qr = e->rect();
    TRect upd = Rect(qr.left(), qr.top(), qr.right() + 1, qr.bottom() + 1);
    try {
        PaintInto(backing_, upd);
    } catch (...) {
        HandleExceptionAfterPaint();
    }
    QPainter p(widget_);
    p.drawImage(qr, backing_, qr);
    PaintCaret(this, p, backing_, qr);
}

void HandleExceptionAfterPaint() {
    // Showing the error from inside a paint would paint again: show it afterwards.
    auto error = std::current_exception();
    if (!error) return;
    QTimer::singleShot(0, [error] {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            if (Application) Application->HandleException(nullptr);
        }
    });
}

void TWinControl::PaintInto(QImage& image, const TRect& updateRect) {
    TCanvas canvas(&image);
    canvas.SetClipRect(updateRect);
    canvas.Font()->Assign(Font());
    PaintWindow(&canvas);
    for (TControl* c : std::vector<TControl*>(controls_)) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible()) continue;
        TRect clip;
        if (!IntersectRect(clip, g->BoundsRect(), updateRect)) continue;
        g->PaintOn(&image, Point(g->Left(), g->Top()), clip);
    }
}

void TWinControl::PaintWindow(TCanvas* canvas) {
    if (ControlStyle().Contains(csOpaque)) return;
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(ClientRect());
}

// ---- TCustomControl ----------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() {
    BeginDestruction();
}

void TCustomControl::PaintWindow(TCanvas* canvas) {
    TWinControl::PaintWindow(canvas);
    canvas_->SetSurface(canvas->Surface());
    canvas_->Font()->Assign(Font());
    try {
        Paint();
    } catch (...) {
        canvas_->SetTarget(nullptr);
        throw;
    }
    canvas_->SetTarget(nullptr);
}

} // namespace sv
