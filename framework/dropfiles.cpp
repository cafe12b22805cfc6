#include "framework/dropfiles.h"

#include "framework/forms.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <set>

namespace sv {
namespace {

// Handles given out and not yet finished.
std::set<HDROP>& LiveDrops() {
    static std::set<HDROP> live;
    return live;
}

bool Accepts(TWinControl* control) {
    return control->HandleAllocated() && control->Handle()->property("svAcceptDrops").toBool();
}

} // namespace

void DragAcceptFiles(TWinControl* control, bool accept) {
    if (!control) return;
    QWidget* w = control->Handle();
    w->setProperty("svAcceptDrops", accept);
    w->setAcceptDrops(accept);
}

int DragQueryFileCount(HDROP drop) {
    return drop && LiveDrops().count(drop) ? static_cast<int>(drop->Files.size()) : 0;
}

std::string DragQueryFile(HDROP drop, int index) {
    if (!drop || !LiveDrops().count(drop) || index < 0 ||
        index >= static_cast<int>(drop->Files.size()))
        return {};
    return drop->Files[index];
}

TPoint DragQueryPoint(HDROP drop) {
    return drop && LiveDrops().count(drop) ? drop->Point : TPoint{};
}

void DragFinish(HDROP drop) {
    if (!drop || !LiveDrops().erase(drop)) return;
    delete drop;
}

bool DeliverDrop(TWinControl* control, const std::vector<std::string>& files, TPoint point) {
    if (!control || !Accepts(control)) return false;
    auto* drop = new TDropHandle{files, point};
    LiveDrops().insert(drop);
    TGuardedRef<TWinControl> ref(control);
    try {
        control->Perform(WM_DROPFILES, reinterpret_cast<std::intptr_t>(drop), 0);
    } catch (...) {
        Application->HandleException(ref.Get());
    }
    DragFinish(drop);
    return true;
}

// Called by the host widgets for Qt's drag and drop events.
bool HostDropEvent(TWinControl* control, QEvent* e) {
    if (!Accepts(control)) return false;
    auto localFiles = [](const QMimeData* data, std::vector<std::string>* out) {
        if (!data || !data->hasUrls()) return false;
        for (const QUrl& u : data->urls()) {
            if (!u.isLocalFile()) return false;
            if (out) out->push_back(u.toLocalFile().toStdString());
        }
        return !data->urls().isEmpty();
    };
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDropEvent*>(e);
        if (localFiles(de->mimeData(), nullptr)) de->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(e);
        std::vector<std::string> files;
        if (!localFiles(de->mimeData(), &files)) return true;
        de->acceptProposedAction();
        QPoint p = de->position().toPoint();
        DeliverDrop(control, files, Point(p.x(), p.y()));
        return true;
    }
    default:
        return false;
    }
}

} // namespace sv
