#include "framework/menus.h"

#include "framework/forms.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>

namespace sv {

std::string StripHotkey(const std::string& caption) {
    std::string r;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            r += caption[i];
            continue;
        }
        if (i + 1 < caption.size() && caption[i + 1] == '&') {
            r += '&';
            ++i;
        }
    }
    return r;
}

// ---- TMenuItem ---------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    BeginDestruction();
    while (!items_.empty()) {
        TMenuItem* c = items_.back();
        items_.pop_back();
        c->parent_ = nullptr;
        // Items that nobody owns go with their parent item.
        if (!c->Owner()) delete c;
    }
    if (parent_) parent_->Remove(this);
    for (auto& a : actions_)
        if (a) a->deleteLater();
}

void TMenuItem::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed();
}

void TMenuItem::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    Changed();
}

void TMenuItem::Changed() {
    for (auto& a : actions_) {
        if (!a) continue;
        a->setText(QString::fromStdString(caption_));
        a->setEnabled(enabled_);
        a->setVisible(visible_);
        a->setCheckable(checked_);
        a->setChecked(checked_);
    }
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item || item == this) return;
    if (item->parent_) item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

QAction* TMenuItem::MakeAction(QWidget* parentWidget) {
    auto* a = new QAction(QString::fromStdString(caption_), parentWidget);
    if (IsLine()) a->setSeparator(true);
    a->setEnabled(enabled_);
    a->setVisible(visible_);
    a->setCheckable(checked_);
    a->setChecked(checked_);
    TGuardedRef<TMenuItem> self(this);
    QObject::connect(a, &QAction::triggered, [self] {
        TMenuItem* item = self.Get();
        if (!item) return;
        try {
            item->Click();
        } catch (...) {
            Application->HandleException(item);
        }
    });
    actions_.erase(std::remove_if(actions_.begin(), actions_.end(),
                                  [](const QPointer<QAction>& p) { return p.isNull(); }),
                   actions_.end());
    actions_.emplace_back(a);
    return a;
}

template <class Container> void TMenuItem::AddToContainer(Container* container) {
    if (items_.empty()) {
        container->addAction(MakeAction(container));
        return;
    }
    QMenu* sub = container->addMenu(QString::fromStdString(caption_));
    QAction* a = sub->menuAction();
    a->setEnabled(enabled_);
    a->setVisible(visible_);
    actions_.emplace_back(a);
    for (TMenuItem* c : items_) c->AddTo(sub);
}

void TMenuItem::AddTo(QMenu* menu) {
    AddToContainer(menu);
}
void TMenuItem::AddTo(QMenuBar* bar) {
    AddToContainer(bar);
}

// ---- menus -------------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) {}

TMenu::~TMenu() {
    BeginDestruction();
    delete items_;
}

TMainMenu::~TMainMenu() {
    BeginDestruction();
}

void TMainMenu::Merge(TMainMenu* menu) {
    if (!menu || menu == this) return;
    if (std::find(merged_.begin(), merged_.end(), menu) == merged_.end()) {
        merged_.push_back(menu);
        menu->FreeNotification(this);
    }
    Rebuild();
}

void TMainMenu::Unmerge(TMainMenu* menu) {
    auto it = std::find(merged_.begin(), merged_.end(), menu);
    if (it == merged_.end()) return;
    merged_.erase(it);
    Rebuild();
}

void TMainMenu::Notification(TComponent* component, TOperation operation) {
    TMenu::Notification(component, operation);
    if (operation != opRemove) return;
    auto it = std::find(merged_.begin(), merged_.end(), component);
    if (it != merged_.end()) merged_.erase(it);
}

void TMainMenu::FillMenuBar(QMenuBar* bar) {
    bar->clear();
    for (int i = 0; i < Items()->Count(); ++i) Items()->Items(i)->AddTo(bar);
    for (TMainMenu* m : merged_)
        for (int i = 0; i < m->Items()->Count(); ++i) m->Items()->Items(i)->AddTo(bar);
}

void TMainMenu::Rebuild() {
    if (!Screen) return;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->Menu() == this) Screen->Forms(i)->MenuChanged();
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    QMenu menu;
    for (int i = 0; i < Items()->Count(); ++i) Items()->Items(i)->AddTo(&menu);
    menu.exec(QPoint(x, y));
}

} // namespace sv
