#pragma once
// Main and pop-up menus: the framework keeps the items; Qt shows them.
#include "framework/component.h"

#include <QPointer>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace sv {

class TForm;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }

    // "&" marks the accelerator ("&&" is a plain ampersand); "-" is a separator.
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool IsLine() const { return caption_ == "-"; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(index); }
    TMenuItem* Parent() const { return parent_; }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    int IndexOf(const TMenuItem* item) const;
    // Fires OnClick with the item as sender, when the item is enabled.
    virtual void Click();

    TNotifyEvent OnClick;

    // Adds the item (and its sub-items) to a Qt menu or menu bar.
    void AddTo(QMenu* menu);
    void AddTo(QMenuBar* bar);

private:
    void Changed();
    QAction* MakeAction(QWidget* parentWidget);
    template <class Container> void AddToContainer(Container* container);
    std::string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
    std::vector<QPointer<QAction>> actions_;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    TMenuItem* Items() const { return items_; }

private:
    TMenuItem* items_;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
    ~TMainMenu() override;
    std::string ClassName() const override { return "TMainMenu"; }
    bool AutoMerge() const { return autoMerge_; }
    void SetAutoMerge(bool v) { autoMerge_ = v; }
    // The items of `menu` are shown after this menu's own until Unmerge.
    void Merge(TMainMenu* menu);
    void Unmerge(TMainMenu* menu);
    int MergedCount() const { return static_cast<int>(merged_.size()); }
    void FillMenuBar(QMenuBar* bar);
    // Rebuilds the menu bar of the form that shows this menu.
    void Rebuild();

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    bool autoMerge_ = false;
    std::vector<TMainMenu*> merged_;
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}
    std::string ClassName() const override { return "TPopupMenu"; }
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool v) { autoPopup_ = v; }
    TComponent* PopupComponent() const { return popupComponent_.Get(); }
    void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
    // Shows the menu at a screen point; returns when it is closed.
    virtual void Popup(int x, int y);

    TNotifyEvent OnPopup;

private:
    bool autoPopup_ = true;
    TGuardedRef<TComponent> popupComponent_;
};

// The caption without its accelerator marks ("&&" stays one "&").
std::string StripHotkey(const std::string& caption);

} // namespace sv
