#pragma once
// A panel that shows an existing form inside itself: the form is made a borderless child of
// the panel while embedded and given back its own border, menu, parent and style afterwards.
#include "framework/forms.h"
#include "framework/stdctrls.h"

namespace sv {

class TMainMenu;

class TFormPanel : public TPanel {
public:
    explicit TFormPanel(TComponent* owner);
    ~TFormPanel() override;
    std::string ClassName() const override { return "TFormPanel"; }

    // Every assignment detaches the embedded form and embeds the named one again, also when
    // the name is unchanged, so that form's OnShow runs each time. Exact, case-sensitive.
    std::string FormName() const;
    void SetFormName(const std::string& name);
    std::string FormCaption() const;
    void SetFormCaption(const std::string& caption);

    // The embedded form while it is still one of the screen's forms, else nullptr.
    TForm* EmbeddedForm() const;
    // Swaps the embedded form; nullptr or a form that has gone detaches only.
    void AttachForm(TForm* form);
    bool AttachPending() const { return attachPending_; }

    // The last screen form (in the screen's order) whose Name or Caption matches exactly.
    static TForm* FindFormByName(const std::string& name);
    static TForm* FindFormByCaption(const std::string& caption);

    void Dispatch(TMessage& message) override;

protected:
    void Resize() override;

private:
    struct SavedState {
        TGuardedRef<TMainMenu> Menu;
        TBorderIcons BorderIcons;
        TFormBorderStyle BorderStyle = bsSizeable;
        TFormStyle FormStyle = fsNormal;
        TGuardedRef<TWinControl> Parent;
        std::uint32_t WindowStyle = 0;
    };
    void SetPending();
    void DoPendingAttach();
    TForm* HostForm() const;

    TGuardedRef<TForm> form_;
    TForm* formId_ = nullptr; // identity only, for the screen-list test
    std::string storedCaption_;
    std::string storedName_;
    bool attachPending_ = false;
    bool attachPosted_ = false;
    SavedState saved_;
};

} // namespace sv
