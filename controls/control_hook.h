#pragma once
// A component that stands in front of a windowed control's message handler, and the file drop
// target built on it.
#include "framework/control.h"

#include <functional>
#include <memory>

class QWidget;

namespace sv {

class TStrings;
struct TDropHandle;

enum class THookTarget { htControl, htForm };
using enum THookTarget;
enum class TControlEvent { ceCreated, ceDestroyed, ceRecreated };
using enum TControlEvent;

using TFileDropEvent = std::function<void(TObject* sender, TStrings* files, int x, int y)>;

class TControlHook : public TComponent {
public:
    explicit TControlHook(TComponent* owner);
    ~TControlHook() override;
    std::string ClassName() const override { return "TControlHook"; }

    THookTarget Target() const { return target_; }
    // Unhooks, stores, hooks again; htForm without a form raises "フック先を特定できません。".
    void SetTarget(THookTarget target);
    // Clears itself when the control is freed.
    TWinControl* Control() const { return control_.Get(); }
    void SetControl(TWinControl* control);

    // The control whose handler is replaced now, and its window (none while it is destroyed).
    TWinControl* HookedControl() const { return hooked_.Get(); }
    QWidget* HookedWindow() const { return recreating_ ? nullptr : hookedWindow_; }

protected:
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;
    virtual void ControlChanged(TControlEvent event);
    // Passes the message on to the control's previous handler.
    virtual void HandleMessage(TMessage& message);
    void EnableHook(bool on);
    TWinControl* DetectTargetComponent() const;

private:
    struct Link;
    void HookWndProc(TMessage& message);

    THookTarget target_ = htControl;
    TGuardedRef<TWinControl> control_;
    TWinControl* controlId_ = nullptr; // identity only, for the removal notice
    TGuardedRef<TWinControl> hooked_;
    TWinControl* hookedId_ = nullptr;
    QWidget* hookedWindow_ = nullptr;
    bool recreating_ = false;
    std::shared_ptr<Link> link_;
};

class TDropDst : public TControlHook {
public:
    explicit TDropDst(TComponent* owner);
    std::string ClassName() const override { return "TDropDst"; }

    bool AcceptDrop() const { return acceptDrop_; }
    void SetAcceptDrop(bool v);
    // Every path whole, in the order the drop delivered them, with the drop point in client
    // coordinates of the hooked control.
    TFileDropEvent OnFileDrop;

protected:
    void Loaded() override;
    void ControlChanged(TControlEvent event) override;
    void HandleMessage(TMessage& message) override;

private:
    void SetDropAccept();
    void FileDrop(TDropHandle* drop);

    bool acceptDrop_ = true;
};

} // namespace sv
