// LOCAL STAND-INS: see framework_gaps.h.
#include "controls/framework_gaps.h"

#include "framework/canvas.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace sv::gap {

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Fire(); });
    Update();
}

TTimer::~TTimer() {
    timer_->stop();
    BeginDestruction();
}

void TTimer::SetEnabled(bool v) {
    enabled_ = v;
    Update();
}

void TTimer::SetInterval(int v) {
    interval_ = v;
    Update();
}

void TTimer::Update() {
    timer_->stop();
    if (enabled_ && interval_ > 0) timer_->start(interval_);
}

void TTimer::Fire() {
    if (OnTimer) OnTimer(this);
}

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
    SetBounds(Left(), Top(), 23, 22);
}

TSpeedButton::~TSpeedButton() {
    BeginDestruction();
}

void TSpeedButton::Announce() {
    if (groupIndex_ == 0 || !Parent()) return;
    TMessage m{CM_BUTTONPRESSED, groupIndex_, reinterpret_cast<std::intptr_t>(this), 0};
    Parent()->Broadcast(m);
}

void TSpeedButton::SetGroupIndex(int v) {
    if (v == groupIndex_) return;
    groupIndex_ = v;
    Announce();
}

void TSpeedButton::SetAllowAllUp(bool v) {
    if (v == allowAllUp_) return;
    allowAllUp_ = v;
    if (v) Announce();
}

void TSpeedButton::SetDown(bool v) {
    if (groupIndex_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = v;
    Invalidate();
    if (v) Announce();
}

void TSpeedButton::Dispatch(TMessage& m) {
    if (m.Msg == CM_BUTTONPRESSED && m.WParam == groupIndex_) {
        auto* sender = reinterpret_cast<TSpeedButton*>(m.LParam);
        if (sender && sender != this) {
            if (sender->Down() && down_) {
                down_ = false;
                Invalidate();
            }
            allowAllUp_ = sender->AllowAllUp();
        }
        return;
    }
    TGraphicControl::Dispatch(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && Enabled()) pressed_ = true;
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!pressed_) return;
    pressed_ = false;
    if (groupIndex_ != 0 && PtInRect(ClientRect(), Point(x, y))) SetDown(!down_);
}

void TSpeedButton::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clBtnFace);
    TRect r = ClientRect();
    c->FillRect(r);
    if (!glyph_->Empty()) {
        glyph_->SetTransparent(true);
        c->Draw((Width() - glyph_->Width()) / 2, (Height() - glyph_->Height()) / 2, glyph_.get());
    }
    if (!flat_ || down_) {
        if (down_)
            c->Frame3D(r, clBtnShadow, clBtnHighlight, 1);
        else
            c->Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    }
}

namespace {

// Turns Qt drops of local files on one widget into WM_DROPFILES for its control.
class DropFilter : public QObject {
public:
    explicit DropFilter(TWinControl* control) : control_(control) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* e = static_cast<QDropEvent*>(event);
            if (HasFiles(e->mimeData())) e->acceptProposedAction();
            return true;
        }
        if (event->type() != QEvent::Drop) return QObject::eventFilter(watched, event);
        auto* e = static_cast<QDropEvent*>(event);
        TWinControl* control = control_.Get();
        if (!control || !HasFiles(e->mimeData())) return true;
        TDropRecord drop;
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) drop.Files.push_back(url.toLocalFile().toStdString());
        const QPoint p = e->position().toPoint();
        drop.Point = Point(p.x(), p.y());
        e->acceptProposedAction();
        control->Perform(WM_DROPFILES, reinterpret_cast<std::intptr_t>(&drop), 0);
        return true;
    }

private:
    static bool HasFiles(const QMimeData* mime) {
        if (!mime || !mime->hasUrls()) return false;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) return true;
        return false;
    }
    TGuardedRef<TWinControl> control_;
};

const TDropRecord* Record(std::intptr_t drop) {
    return reinterpret_cast<const TDropRecord*>(drop);
}

} // namespace

void DragAcceptFiles(TWinControl* control, bool accept) {
    if (!control || !control->HandleAllocated()) return;
    QWidget* w = control->Handle();
    // Found by name: the filter class has no meta-object of its own for a typed search.
    QObject* filter =
        w->findChild<QObject*>(QStringLiteral("svDropFilter"), Qt::FindDirectChildrenOnly);
    if (accept && !filter) {
        filter = new DropFilter(control);
        filter->setObjectName(QStringLiteral("svDropFilter"));
        filter->setParent(w);
        w->installEventFilter(filter);
    }
    w->setAcceptDrops(accept);
}

bool DragAcceptsFiles(TWinControl* control) {
    return control && control->HandleAllocated() && control->Handle()->acceptDrops();
}

int DragQueryFileCount(std::intptr_t drop) {
    return drop ? static_cast<int>(Record(drop)->Files.size()) : 0;
}

std::string DragQueryFile(std::intptr_t drop, int index) {
    if (!drop || index < 0 || index >= DragQueryFileCount(drop)) return {};
    return Record(drop)->Files[static_cast<std::size_t>(index)];
}

TPoint DragQueryPoint(std::intptr_t drop) {
    return drop ? Record(drop)->Point : TPoint{};
}

void DragFinish(std::intptr_t drop) {
    if (drop) reinterpret_cast<TDropRecord*>(drop)->Finished = true;
}

} // namespace sv::gap
