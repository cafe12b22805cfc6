#include "framework/component.h"

#include <algorithm>
#include <cctype>

namespace sv {
namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool IsIdent(const std::string& s) {
    if (s.empty()) return false;
    auto c0 = static_cast<unsigned char>(s[0]);
    if (!(std::isalpha(c0) || c0 == '_')) return false;
    return std::all_of(s.begin(), s.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

void Erase(std::vector<TComponent*>& v, TComponent* c) {
    auto it = std::find(v.begin(), v.end(), c);
    if (it != v.end()) v.erase(it);
}

} // namespace

TComponent::TComponent(TComponent* owner) {
    if (!owner) return;
    owner->InsertComponent(this);
    // Only what the loading root owns directly counts as read from its description; the
    // parts such components make for themselves are not.
    if (owner->state_.Contains(csLoading) && !owner->state_.Contains(csReading)) {
        state_.Include(csLoading).Include(csReading);
        owner->loadedList_.push_back(this);
    }
}

TComponent::~TComponent() {
    BeginDestruction();
}

void TComponent::BeginDestruction() {
    Destroying();
    // Those who asked are told once; each drops its link back to us.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(other->freeNotifies_, this);
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    // Leave the owner now, while still whole, so that its notice reaches siblings in time.
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
    if (state_.Contains(csDestroying)) return;
    state_.Include(csDestroying);
    *alive_ = false;
    for (TComponent* c : components_) c->Destroying();
}

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& v = owner_->components_;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsIdent(name))
        throw EComponentError("\"" + name + "\" はコンポーネント名として使えません");
    if (owner_ && !name.empty()) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw EComponentError("コンポーネント名 " + name + " はすでに使われています");
    }
    name_ = name;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->owner_ == this) return;
    if (component->owner_) component->owner_->RemoveComponent(component);
    Insert(component);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->owner_ != this) return;
    Notification(component, opRemove);
    Remove(component);
}

void TComponent::Insert(TComponent* component) {
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
    Erase(components_, component);
    Erase(loadedList_, component);
    component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        // The notice goes out while the component is still whole, so that siblings holding
        // it can forget it before it is gone.
        Notification(c, opRemove);
        Remove(c);
        delete c;
    }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component) RemoveFreeNotification(component);
    // A copy: a handler may free components.
    std::vector<TComponent*> snapshot = components_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (*it == component) continue;
        if (std::find(components_.begin(), components_.end(), *it) == components_.end()) continue;
        (*it)->Notification(component, operation);
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& back = component->freeNotifies_;
    if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    Erase(freeNotifies_, component);
    Erase(component->freeNotifies_, this);
}

void TComponent::BeginLoading() {
    state_.Include(csLoading);
    loadedList_.clear();
}

void TComponent::EndLoading() {
    std::vector<TComponent*> list;
    list.swap(loadedList_);
    for (TComponent* c : list) c->state_.Exclude(csReading);
    // Loaded may raise; the state is cleared on the way anyway.
    for (TComponent* c : list)
        if (c->state_.Contains(csLoading)) c->Loaded();
    Loaded();
}

void TComponent::Loaded() {
    state_.Exclude(csLoading);
}

} // namespace sv
