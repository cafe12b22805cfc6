#include "controls/control_hook.h"

#include "framework/dropfiles.h"
#include "framework/forms.h"
#include "framework/strings.h"

namespace sv {

// Shared between the hook and the handler it installs. When the hook goes while someone else
// has hooked the control after it, its handler stays in that chain and must keep working: it
// then only passes messages on.
struct TControlHook::Link {
    TControlHook* hook = nullptr;
    std::function<void(TMessage&)> saved;
};

namespace {

struct HookProc {
    std::shared_ptr<void> link; // TControlHook::Link, kept opaque for the identity test
    void (*call)(void* link, TMessage& m);
    void operator()(TMessage& m) const { call(link.get(), m); }
};

} // namespace

TControlHook::TControlHook(TComponent* owner) : TComponent(owner) {}

TControlHook::~TControlHook() {
    EnableHook(false);
    BeginDestruction();
}

void TControlHook::SetTarget(THookTarget target) {
    EnableHook(false);
    target_ = target;
    EnableHook(true);
}

void TControlHook::SetControl(TWinControl* control) {
    EnableHook(false);
    if (controlId_ && controlId_ != control && controlId_ != hookedId_ && control_)
        controlId_->RemoveFreeNotification(this);
    control_ = control;
    controlId_ = control;
    if (control) control->FreeNotification(this);
    EnableHook(true);
}

void TControlHook::Loaded() {
    TComponent::Loaded();
    SetControl(Control());
}

void TControlHook::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != opRemove || !component) return;
    if (component == hookedId_) {
        ControlChanged(ceDestroyed);
        // Its handler is not put back: the control is going away.
        if (link_) link_->hook = nullptr;
        link_.reset();
        hooked_ = nullptr;
        hookedId_ = nullptr;
        hookedWindow_ = nullptr;
        recreating_ = false;
    }
    // A freed control must never be hooked again by a later SetTarget or Loaded.
    if (component == controlId_) {
        control_ = nullptr;
        controlId_ = nullptr;
    }
}

TWinControl* TControlHook::DetectTargetComponent() const {
    if (target_ == htControl) return Control();
    const TComponent* c = Control();
    if (!c) c = this;
    for (; c; c = c->Owner()) {
        if (auto* form = dynamic_cast<TForm*>(const_cast<TComponent*>(c))) return form;
        if (auto* control = dynamic_cast<const TControl*>(c)) return GetParentForm(control);
    }
    return nullptr;
}

void TControlHook::EnableHook(bool on) {
    if (ComponentState().Contains(csDesigning)) return;
    if (!on) {
        // hookedId_ is valid while set: the removal notice clears it.
        if (hookedId_ && link_) {
            auto* current = hookedId_->WindowProc.target<HookProc>();
            // Only while ours is the current handler; otherwise ours stays in the chain as a
            // plain pass-through so the later hook keeps a valid predecessor.
            if (current && current->link.get() == link_.get()) hookedId_->WindowProc = link_->saved;
        }
        if (link_) link_->hook = nullptr;
        link_.reset();
        if (hookedId_ && hookedId_ != controlId_) hookedId_->RemoveFreeNotification(this);
        hooked_ = nullptr;
        hookedId_ = nullptr;
        hookedWindow_ = nullptr;
        recreating_ = false;
        return;
    }
    TWinControl* target = DetectTargetComponent();
    QWidget* window = target ? target->Handle() : nullptr;
    if (!target || !window) {
        if (target_ == htForm) throw Exception("フック先を特定できません。");
        return;
    }
    hookedWindow_ = window;
    recreating_ = false;
    hooked_ = target;
    hookedId_ = target;
    target->FreeNotification(this);
    link_ = std::make_shared<Link>();
    link_->hook = this;
    link_->saved = target->WindowProc;
    target->WindowProc = HookProc{link_, [](void* p, TMessage& m) {
                                      auto* link = static_cast<Link*>(p);
                                      if (link->hook)
                                          link->hook->HookWndProc(m);
                                      else if (link->saved)
                                          link->saved(m);
                                  }};
    // Hooked at run time as well as while loading: descendants set up the window now.
    ControlChanged(ceCreated);
}

void TControlHook::HookWndProc(TMessage& m) {
    // Keep the link alive for the whole message: a handler may unhook us on the way.
    std::shared_ptr<Link> keep = link_;
    if (m.Msg == WM_CREATE) {
        recreating_ = true;
        HandleMessage(m);
        // No other message need follow a new window here (a form moved into a panel gets
        // none until the user acts): announce it as soon as the control has made it.
        if (link_ == keep && recreating_ && hooked_ && hooked_->HandleAllocated())
            ControlChanged(ceRecreated);
        return;
    }
    if (m.Msg == WM_DESTROY) {
        ControlChanged(ceDestroyed);
    } else if (recreating_ && hooked_ && hooked_->HandleAllocated()) {
        ControlChanged(ceRecreated);
    }
    HandleMessage(m);
}

void TControlHook::HandleMessage(TMessage& m) {
    if (link_ && link_->saved) link_->saved(m);
}

void TControlHook::ControlChanged(TControlEvent event) {
    recreating_ = false;
    if (event == ceDestroyed) {
        hookedWindow_ = nullptr;
        return;
    }
    TWinControl* hooked = hooked_.Get();
    hookedWindow_ = hooked && hooked->HandleAllocated() ? hooked->Handle() : nullptr;
}

// ---- TDropDst ----------------------------------------------------------------------------

TDropDst::TDropDst(TComponent* owner) : TControlHook(owner) {}

void TDropDst::SetAcceptDrop(bool v) {
    if (v == acceptDrop_) return;
    acceptDrop_ = v;
    SetDropAccept();
}

void TDropDst::SetDropAccept() {
    TWinControl* hooked = HookedControl();
    if (hooked && HookedWindow()) DragAcceptFiles(hooked, acceptDrop_);
}

void TDropDst::Loaded() {
    TControlHook::Loaded();
    SetDropAccept();
}

void TDropDst::ControlChanged(TControlEvent event) {
    TControlHook::ControlChanged(event);
    SetDropAccept();
}

void TDropDst::HandleMessage(TMessage& m) {
    if (m.Msg != WM_DROPFILES) {
        TControlHook::HandleMessage(m);
        return;
    }
    auto drop = reinterpret_cast<HDROP>(m.WParam);
    try {
        FileDrop(drop);
    } catch (...) {
        Application->HandleException(this);
    }
    DragFinish(drop);
}

void TDropDst::FileDrop(HDROP drop) {
    if (!OnFileDrop) return;
    TStringList files;
    const int count = DragQueryFileCount(drop);
    for (int i = 0; i < count; ++i) files.Add(DragQueryFile(drop, i));
    const TPoint p = DragQueryPoint(drop);
    OnFileDrop(this, &files, p.X, p.Y);
}

} // namespace sv
