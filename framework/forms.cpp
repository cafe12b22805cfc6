#include "framework/forms.h"

#include "framework/canvas.h"
#include "framework/dialogs.h"
#include "framework/host_widget.h"
#include "framework/menus.h"
#include "platform/instance_lock.h"
#include "platform/process.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <unistd.h>

namespace sv {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// The top-level window of a form: a menu bar above the form's client widget.
class FormWindow : public QWidget {
public:
    explicit FormWindow(TForm* form) : form_(form) {
        setProperty("svControl", QVariant::fromValue(static_cast<void*>(form)));
    }
    void Detach() {
        form_ = nullptr;
        setProperty("svControl", QVariant());
    }

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (form_) form_->WindowCloseRequested();
    }
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        if (form_) form_->WindowMovedOrResized();
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (form_) form_->WindowMovedOrResized();
    }
    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (form_ && e->type() == QEvent::WindowStateChange) form_->WindowStateChanged();
        if (form_ && e->type() == QEvent::ActivationChange)
            form_->WindowActivated(isActiveWindow());
    }

private:
    TForm* form_;
};

// ---- TForm -------------------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
    controlStyle_ = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csDoubleClicks};
    color_ = clBtnFace;
    parentFont_ = false;
    TControl::SetVisible(false);
    TControl::SetBounds(0, 0, 320 + 2 * kFormFrame, 240 + 2 * kFormFrame + kFormCaption);
    if (Screen) Screen->forms_.push_back(this);
}

TForm::~TForm() {
    BeginDestruction();
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            if (Application) Application->HandleException(this);
        }
    }
    if (Screen) {
        auto& v = Screen->forms_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    if (widget_) DestroyWidget();
}

int TForm::FrameSize() const {
    return TopLevel() && borderStyle_ != bsNone ? kFormFrame : 0;
}
int TForm::CaptionSize() const {
    return TopLevel() && borderStyle_ != bsNone ? kFormCaption : 0;
}
int TForm::MenuSize() const {
    return TopLevel() && menu_ ? kFormMenuBar : 0;
}

bool TForm::ReachableAt(int left, int top) const {
    return !Screen ||
           Screen->Reachable(Bounds(left, top, Width(), Height()), FrameSize() + CaptionSize());
}

TRect TForm::ClientRect() const {
    int f = FrameSize();
    return Rect(0, 0, std::max(0, Width() - 2 * f),
                std::max(0, Height() - 2 * f - CaptionSize() - MenuSize()));
}

void TForm::SetClientWidth(int w) {
    SetWidth(w + 2 * FrameSize());
}
void TForm::SetClientHeight(int h) {
    SetHeight(h + 2 * FrameSize() + CaptionSize() + MenuSize());
}

TPoint TForm::ClientOrigin() const {
    if (!TopLevel()) return TCustomControl::ClientOrigin();
    if (widget_ && window_) {
        QPoint p = widget_->mapToGlobal(QPoint(0, 0));
        return Point(p.x(), p.y());
    }
    return Point(Left() + FrameSize(), Top() + FrameSize() + CaptionSize() + MenuSize());
}

bool TForm::Showing() const {
    if (!Visible()) return false;
    if (!TopLevel()) return Parent()->Showing();
    return window_ && window_->isVisible();
}

void TForm::SetBounds(int left, int top, int width, int height) {
    TCustomControl::SetBounds(left, top, width, height);
    if (!syncing_) ApplyWindow();
}

void TForm::ApplyWindow() {
    if (!widget_) return;
    if (!TopLevel()) {
        ApplyWidgetGeometry();
        return;
    }
    if (!window_) return;
    syncing_ = true;
    int cw = ClientWidth(), ch = ClientHeight();
    int mh = menuBar_ ? menuBar_->sizeHint().height() : 0;
    widget_->setGeometry(0, mh, cw, ch);
    if (menuBar_) menuBar_->setGeometry(0, 0, cw, mh);
    bool fixed = borderStyle_ == bsSingle || borderStyle_ == bsDialog ||
                 borderStyle_ == bsToolWindow || borderStyle_ == bsNone;
    if (fixed)
        window_->setFixedSize(cw, ch + mh);
    else {
        window_->setMinimumSize(0, 0);
        window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window_->resize(cw, ch + mh);
    }
    // Window systems keep positions in 16 bits; a hand-edited far-off position must not overflow.
    window_->move(std::clamp(Left(), -32768, 32767), std::clamp(Top(), -32768, 32767));
    syncing_ = false;
}

void TForm::WindowMovedOrResized() {
    if (syncing_ || !window_) return;
    syncing_ = true;
    // pos() is what move() sets, so the framework's Left and Top read back what they set.
    QPoint fg = window_->pos();
    int mh = menuBar_ ? menuBar_->height() : 0;
    int w = window_->width() + 2 * FrameSize();
    int h = window_->height() - mh + 2 * FrameSize() + CaptionSize() + MenuSize();
    TCustomControl::SetBounds(fg.x(), fg.y(), w, h);
    if (widget_) widget_->setGeometry(0, mh, ClientWidth(), ClientHeight());
    if (menuBar_) menuBar_->setGeometry(0, 0, window_->width(), mh);
    syncing_ = false;
}

void TForm::WindowActivated(bool active) {
    TNotifyEvent& handler = active ? OnActivate : OnDeactivate;
    if (!handler) return;
    try {
        handler(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::WindowStateChanged() {
    if (!window_) return;
    Qt::WindowStates s = window_->windowState();
    windowState_ = s & Qt::WindowMinimized   ? wsMinimized
                   : s & Qt::WindowMaximized ? wsMaximized
                                             : wsNormal;
}

TWindowState TForm::WindowState() const {
    return windowState_;
}

void TForm::SetWindowState(TWindowState s) {
    windowState_ = s;
    if (!window_) return;
    Qt::WindowStates q = s == wsMinimized   ? Qt::WindowMinimized
                         : s == wsMaximized ? Qt::WindowMaximized
                                            : Qt::WindowNoState;
    window_->setWindowState(q);
}

QWidget* TForm::Window() const {
    return window_;
}

QWidget* TForm::CreateWidget() {
    QWidget* client = TCustomControl::CreateWidget();
    if (TopLevel()) {
        window_ = new FormWindow(this);
        window_->setWindowTitle(QString::fromStdString(Caption()));
        client->setParent(window_);
        SetBorderIcons(borderIcons_);
        ApplyMenuBar();
    }
    return client;
}

void TForm::DestroyWidget() {
    TCustomControl::DestroyWidget();
    menuBar_ = nullptr;
    if (window_) {
        FormWindow* w = window_;
        window_ = nullptr;
        w->Detach();
        w->hide();
        w->deleteLater();
    }
}

void TForm::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    // The client widget moves as it is, so the controls keep their widgets and state.
    if (widget_ && parent) parent->Handle();
    TCustomControl::SetParent(parent);
    if (!widget_) {
        if (parent && parent->HandleAllocated()) Handle();
        return;
    }
    if (Parent()) {
        // Embedded: the window waits, hidden, until the form is given back.
        if (window_) window_->hide();
        ApplyWidgetGeometry();
        ApplyWidgetVisibility();
        return;
    }
    if (!window_) {
        window_ = new FormWindow(this);
        window_->setWindowTitle(QString::fromStdString(Caption()));
        SetBorderIcons(borderIcons_);
    }
    widget_->setParent(window_);
    ApplyMenuBar();
    ApplyWindow();
    widget_->show();
    if (Visible()) window_->show();
}

void TForm::SetBorderStyle(TFormBorderStyle s) {
    if (s == borderStyle_) return;
    int cw = ClientWidth(), ch = ClientHeight();
    borderStyle_ = s;
    // The client area keeps its size; the outer size follows the new border.
    syncing_ = true;
    TCustomControl::SetBounds(Left(), Top(), cw + 2 * FrameSize(),
                              ch + 2 * FrameSize() + CaptionSize() + MenuSize());
    syncing_ = false;
    SetBorderIcons(borderIcons_);
    ApplyWindow();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    borderIcons_ = icons;
    if (!window_) return;
    bool wasVisible = window_->isVisible();
    Qt::WindowFlags f = Qt::Window;
    if (borderStyle_ == bsNone) {
        f |= Qt::FramelessWindowHint;
    } else {
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (icons.Contains(biSystemMenu)) {
            f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if (icons.Contains(biMinimize)) f |= Qt::WindowMinimizeButtonHint;
            if (icons.Contains(biMaximize) && borderStyle_ == bsSizeable)
                f |= Qt::WindowMaximizeButtonHint;
        }
    }
    if (formStyle_ == fsStayOnTop) f |= Qt::WindowStaysOnTopHint;
    window_->setWindowFlags(f);
    if (wasVisible) window_->show();
}

void TForm::SetFormStyle(TFormStyle s) {
    if (s == formStyle_) return;
    formStyle_ = s;
    SetBorderIcons(borderIcons_);
}

void TForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    int ch = ClientHeight();
    menu_ = menu;
    if (menu) menu->FreeNotification(this);
    syncing_ = true;
    // The client area keeps its size when a menu bar comes or goes.
    TCustomControl::SetBounds(Left(), Top(), Width(),
                              ch + 2 * FrameSize() + CaptionSize() + MenuSize());
    syncing_ = false;
    ApplyMenuBar();
    ApplyWindow();
}

void TForm::MenuChanged() {
    ApplyMenuBar();
}

void TForm::ApplyMenuBar() {
    if (!window_) return;
    if (!menu_) {
        delete menuBar_;
        menuBar_ = nullptr;
        return;
    }
    if (!menuBar_) menuBar_ = new QMenuBar(window_);
    menu_->FillMenuBar(menuBar_);
    menuBar_->show();
}

void TForm::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == opRemove && component == menu_) {
        menu_ = nullptr;
        if (menuBar_) {
            delete menuBar_;
            menuBar_ = nullptr;
        }
    }
}

void TForm::SetVisible(bool visible) {
    if (visible == Visible()) {
        if (visible && window_ && TopLevel()) window_->raise();
        return;
    }
    if (visible) {
        if (TopLevel() && !positioned_) {
            positioned_ = true;
            int sw = Screen ? Screen->Width() : 0, sh = Screen ? Screen->Height() : 0;
            if (position_ == poScreenCenter || position_ == poDesktopCenter ||
                (position_ == poMainFormCenter && (!Application || !Application->MainForm())))
                TControl::SetBounds(sw / 2 - Width() / 2, sh / 2 - Height() / 2, Width(), Height());
            else if (position_ == poMainFormCenter) {
                TForm* m = Application->MainForm();
                TControl::SetBounds(m->Left() + (m->Width() - Width()) / 2,
                                    m->Top() + (m->Height() - Height()) / 2, Width(), Height());
            }
        }
        TGuardedRef<TForm> self(this);
        DoShow();
        if (!self) return;
        TCustomControl::SetVisible(true);
        Handle();
        ApplyWindow();
        if (window_ && TopLevel()) {
            window_->show();
            if (windowState_ != wsNormal) SetWindowState(windowState_);
        } else if (widget_) {
            widget_->show();
        }
        if (TWinControl* c = focused_.Get(); c && c->CanFocus() && c->HandleAllocated())
            c->Handle()->setFocus();
        Application->DoMouseIdle();
    } else {
        TCustomControl::SetVisible(false);
        if (window_ && TopLevel()) window_->hide();
        if (widget_) {
            if (!TopLevel()) widget_->hide();
        }
        DoHide();
    }
}

void TForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TForm::DoCreate() {
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

bool TForm::CloseQuery() {
    bool can = true;
    if (OnCloseQuery) OnCloseQuery(this, can);
    return can;
}

void TForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    TGuardedRef<TForm> self(this);
    DoClose(action);
    if (!self || action == caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        SetWindowState(wsMinimized);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

bool TForm::CloseModal() {
    if (!CloseQuery()) {
        modalResult_ = mrNone;
        return false;
    }
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) {
        modalResult_ = mrNone;
        return false;
    }
    return true;
}

void TForm::WindowCloseRequested() {
    try {
        Perform(WM_CLOSE);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::Release() {
    TGuardedRef<TForm> self(this);
    QTimer::singleShot(0, [self] {
        if (TForm* f = self.Get()) delete f;
    });
}

TModalResult TForm::ShowModal() {
    if (Visible() && !modal_) throw Exception("表示中のウィンドウはモーダルにできません");
    return Dialogs().ShowModal(this);
}

void TForm::BringToFront() {
    if (window_) {
        window_->raise();
        window_->activateWindow();
    } else {
        TCustomControl::BringToFront();
    }
}

void TForm::SetActiveControl(TWinControl* control) {
    if (control && !ContainsControl(control))
        throw Exception("コントロールはこのフォームにありません");
    if (Showing() && control && control->CanFocus())
        control->SetFocus();
    else
        focused_ = control;
}

bool TForm::Active() const {
    if (!window_) return Showing();
    return window_->isActiveWindow() || Showing();
}

void TForm::SetFocusedControl(TWinControl* control) {
    TWinControl* old = focused_.Get();
    if (old == control) return;
    focused_ = control;
    // Exits go up the old chain as far as the part both chains share.
    for (TWinControl* c = old; c && c != this && !(control && c->ContainsControl(control));
         c = c->Parent()) {
        TGuardedRef<TWinControl> cref(c);
        c->Perform(CM_EXIT);
        if (!cref) break;
        if (focused_.Get() != control) return; // a handler moved the focus elsewhere
    }
    if (control) {
        // Enters come down from the shared part to the control.
        std::vector<TWinControl*> chain;
        for (TWinControl* c = control; c && c != this && !(old && c->ContainsControl(old));
             c = c->Parent())
            chain.push_back(c);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            (*it)->Perform(CM_ENTER);
            if (focused_.Get() != control) return;
        }
    }
    TMessage m{CM_FOCUSCHANGED, 0, reinterpret_cast<std::intptr_t>(control), 0};
    Broadcast(m);
}

void TForm::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case CM_CANCELMODE:
        if (TWinControl* c = focused_.Get()) c->Perform(CM_CANCELMODE, 0, m.LParam);
        return;
    case CM_TEXTCHANGED:
        if (window_) window_->setWindowTitle(QString::fromStdString(Caption()));
        TCustomControl::Dispatch(m);
        return;
    case WM_CLOSE:
        Close();
        return;
    case WM_NEXTDLGCTL:
        // WParam 0: the next control in the tab order, otherwise the previous one.
        SelectNextControl(m.WParam == 0);
        return;
    case WM_KEYDOWN:
        if (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE) {
            // The default or cancel button answers keys nobody else took.
            TMessage dk{CM_DIALOGKEY, m.WParam, 0, 0};
            Broadcast(dk);
            if (dk.Result) return;
        }
        TCustomControl::Dispatch(m);
        return;
    default:
        TCustomControl::Dispatch(m);
    }
}

void TForm::SelectNextControl(bool forward) {
    QWidget* window = Handle();
    TWinControl* current = focused_.Get();
    QWidget* from = current && current->HandleAllocated() ? current->Handle() : window;
    for (QWidget* w = forward ? from->nextInFocusChain() : from->previousInFocusChain();
         w && w != from; w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (!window->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() ||
            !w->isEnabled())
            continue;
        TWinControl* c = FindControl(w);
        if (!c || c == this || !c->CanFocus()) continue;
        c->SetFocus();
        return;
    }
}

void TForm::Paint() {
    if (OnPaint) OnPaint(this);
}

// ---- TScreen -----------------------------------------------------------------------------

int TScreen::Width() const {
    if (overrideW_ > 0) return overrideW_;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TScreen::Height() const {
    if (overrideH_ > 0) return overrideH_;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

void TScreen::SetSizeOverride(int width, int height) {
    overrideW_ = width;
    overrideH_ = height;
}

std::vector<TRect> TScreen::Areas() const {
    if (overrideW_ > 0 && overrideH_ > 0) return {Rect(0, 0, overrideW_, overrideH_)};
    std::vector<TRect> areas;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect r = s->geometry();
        areas.push_back(Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()));
    }
    return areas;
}

bool TScreen::Reachable(const TRect& bounds, int titleHeight) const {
    const std::vector<TRect> areas = Areas();
    if (areas.empty()) return true;
    for (const TRect& area : areas) {
        const int across = std::min(bounds.Right, area.Right) - std::max(bounds.Left, area.Left);
        if (bounds.Top >= area.Top && bounds.Top + titleHeight <= area.Bottom &&
            2 * across >= bounds.Width())
            return true;
    }
    return false;
}

TForm* TScreen::ActiveForm() const {
    QWidget* w = QApplication::activeWindow();
    for (TForm* f : forms_)
        if (f->Window() && f->Window() == w) return f;
    return nullptr;
}

void TScreen::SetCursor(TCursor c) {
    if (c == cursor_) return;
    if (cursor_ != crDefault) QApplication::restoreOverrideCursor();
    cursor_ = c;
    if (c == crHourGlass) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (c == crArrow) QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (c == crCross) QApplication::setOverrideCursor(Qt::CrossCursor);
    if (c == crIBeam) QApplication::setOverrideCursor(Qt::IBeamCursor);
    if (c == crHandPoint) QApplication::setOverrideCursor(Qt::PointingHandCursor);
}

// ---- TApplication ------------------------------------------------------------------------

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
    title_ = QCoreApplication::applicationName().toStdString();
    if (auto* d = QAbstractEventDispatcher::instance())
        idleConnection_ = std::make_shared<QMetaObject::Connection>(
            QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, [this] { Idle(); }));
}

TApplication::~TApplication() {
    BeginDestruction();
    if (idleConnection_) QObject::disconnect(*idleConnection_);
}

void TApplication::Initialize() {}

void TApplication::RegisterForm(TForm* form) {
    if (!mainForm_) mainForm_ = form;
    form->DoCreate();
}

void TApplication::Run() {
    running_ = true;
    TForm* main = mainForm_.Get();
    if (main && showMainForm_ && !terminated_) {
        try {
            main->Show();
        } catch (...) {
            HandleException(main);
        }
    }
    while (!terminated_ && mainForm_) HandleMessage();
    running_ = false;
}

void TApplication::HandleMessage() {
    QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
    QCoreApplication::sendPostedEvents();
    // A posted event may have ended the loop: then do not block for one more event, but still
    // process what is there, so a wait that runs on after Terminate sees its timers.
    if (d)
        d->processEvents(terminated_ ? QEventLoop::AllEvents
                                     : QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TApplication::Terminate() {
    // This application ends, not whichever one is current when the posted call runs.
    QTimer::singleShot(0, [self = TGuardedRef<TApplication>(this)] {
        if (TApplication* app = self.Get()) app->terminated_ = true;
    });
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::HandleException(TObject* sender) {
    std::exception_ptr p = std::current_exception();
    if (!p) return;
    try {
        std::rethrow_exception(p);
    } catch (const std::exception& e) {
        if (OnException)
            OnException(sender, e);
        else
            ShowException(e);
    } catch (...) {
        std::runtime_error e("不明な例外が発生しました");
        if (OnException)
            OnException(sender, e);
        else
            ShowException(e);
    }
}

void TApplication::ShowException(const std::exception& e) {
    try {
        Dialogs().MessageBox(e.what(), title_, MB_OK | MB_ICONERROR);
    } catch (...) {
        // Nothing is left to show it with.
    }
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return Dialogs().MessageBox(text, caption, flags);
}

void TApplication::Minimize() {
    for (TForm* f : Screen->Forms())
        if (f->Window() && f->Window()->isVisible()) f->SetWindowState(wsMinimized);
}

void TApplication::Restore() {
    for (TForm* f : Screen->Forms())
        if (f->Window() && f->Window()->isVisible() && f->WindowState() == wsMinimized)
            f->SetWindowState(wsNormal);
}

void TApplication::Idle() {
    if (inIdle_) return;
    inIdle_ = true;
    try {
        DoMouseIdle();
        if (OnIdle) OnIdle(this);
    } catch (...) {
        HandleException(this);
    }
    inIdle_ = false;
}

void TApplication::DoMouseIdle() {
    TControl* now = FindDragTarget(GetCursorPos(), true);
    if (now && now->ComponentState().Contains(csDesigning)) now = nullptr;
    TControl* capture = GetCaptureControl();
    TControl* before = mouseControl_.Get();
    if (before == now) return;
    CancelHint();
    // While a control holds the capture, only it counts.
    if (before && (!capture || before == capture)) before->Perform(CM_MOUSELEAVE);
    mouseControl_ = now;
    now = mouseControl_.Get(); // the leave handler may have freed it
    if (now && (!capture || now == capture)) now->Perform(CM_MOUSEENTER);
    now = mouseControl_.Get();
    if (now && showHint_ && now->ShowHint() && !now->Hint().empty()) {
        int serial = ++hintSerial_;
        TGuardedRef<TControl> target(now);
        QTimer::singleShot(hintPause_, [this, serial, target] {
            if (Application != this || serial != hintSerial_) return;
            if (TControl* c = target.Get(); c && c == mouseControl_.Get()) ActivateHint(c);
        });
    }
}

void TApplication::SetShowHint(bool v) {
    showHint_ = v;
    if (!v) CancelHint();
}

void TApplication::SetHintWindowClass(THintWindowClass make) {
    CancelHint();
    delete hintWindow_.Get();
    hintClass_ = std::move(make);
}

void TApplication::ActivateHint(TControl* control) {
    if (!control || control->Hint().empty()) return;
    if (!hintWindow_) hintWindow_ = hintClass_ ? hintClass_(this) : new THintWindow(this);
    THintWindow* w = hintWindow_.Get();
    TRect r = w->CalcHintRect(Screen ? Screen->Width() : 300, control->Hint(), nullptr);
    TPoint p = GetCursorPos();
    OffsetRect(r, p.X, p.Y + 20);
    hintControl_ = control;
    w->ActivateHint(r, control->Hint());
    int serial = ++hintSerial_;
    QTimer::singleShot(hintHidePause_, [this, serial] {
        if (Application == this && serial == hintSerial_) CancelHint();
    });
}

void TApplication::CancelHint() {
    ++hintSerial_;
    hintControl_ = nullptr;
    if (THintWindow* w = hintWindow_.Get(); w && w->Visible()) w->ReleaseHandle();
}

void TApplication::HintMouseMessage(const TMessage& m) {
    THintWindow* w = hintWindow_.Get();
    if (w && w->Visible() && w->IsHintMsg(m)) CancelHint();
}

class ModalAccess {
public:
    static void Set(TForm* f, bool on);
};
void ModalAccess::Set(TForm* f, bool on) {
    f->modal_ = on;
}

void PostMessage(TControl* control, unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
    TGuardedRef<TControl> ref(control);
    QTimer::singleShot(0, [ref, msg, wParam, lParam] {
        TControl* c = ref.Get();
        if (!c) return;
        try {
            c->Perform(msg, wParam, lParam);
        } catch (...) {
            Application->HandleException(c);
        }
    });
}

namespace {

void CopyNotice(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const platform::OutputCopy err(STDERR_FILENO);
    err.Write((qFormatLogMessage(type, context, text) + '\n').toLocal8Bit().toStdString());
}

} // namespace

void PrepareProgramOutputs() {
    platform::UnblockStandardOutputs();
    qInstallMessageHandler(CopyNotice);
}

std::string InstanceLockFailure(const char* lockName, const std::string& why) {
    return "二重起動防止用のファイル " + platform::InstanceLock::PathFor(lockName) +
           " を開けません。中止します。\n" + why;
}

void InitFramework() {
    // The standard dialogs and the message boxes' buttons speak the programs' language, whatever
    // the user's locale; without the translations installed they stay in English.
    static QPointer<QTranslator> dialogTexts; // goes with the application that owns it
    if (!dialogTexts && QCoreApplication::instance()) {
        dialogTexts = new QTranslator(QCoreApplication::instance());
        if (dialogTexts->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(dialogTexts);
    }
    if (!Application) Application = new TApplication(nullptr);
    if (!Screen) Screen = new TScreen(nullptr);
}

void DoneFramework() {
    delete Application;
    Application = nullptr;
    delete Screen;
    Screen = nullptr;
}

} // namespace sv
