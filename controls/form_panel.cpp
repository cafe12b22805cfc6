#include "controls/form_panel.h"

#include "framework/menus.h"

#include <memory>

namespace sv {

namespace {

// Posted to the panel itself: embeds what could not be embedded while loading, once the
// event loop runs (never from inside a paint).
constexpr unsigned CM_ATTACHPENDING = WM_USER + 0x4F1;

bool OnScreen(const TForm* form) {
    if (!form || !Screen) return false;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i) == form) return true;
    return false;
}

} // namespace

TFormPanel::TFormPanel(TComponent* owner) : TPanel(owner) {}

TFormPanel::~TFormPanel() {
    // The embedded form goes back to its own state while the panel is still whole.
    try {
        AttachForm(nullptr);
    } catch (...) {
        // A destructor must not throw; the form has been hidden and restored before any
        // menu work could fail.
    }
    BeginDestruction();
}

TForm* TFormPanel::EmbeddedForm() const {
    TForm* form = form_.Get();
    return OnScreen(form) ? form : nullptr;
}

std::string TFormPanel::FormName() const {
    TForm* form = EmbeddedForm();
    return form ? form->Name() : storedName_;
}

std::string TFormPanel::FormCaption() const {
    TForm* form = EmbeddedForm();
    return form ? form->Caption() : storedCaption_;
}

TForm* TFormPanel::FindFormByName(const std::string& name) {
    TForm* found = nullptr;
    if (!Screen) return nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->Name() == name) found = Screen->Forms(i);
    return found;
}

TForm* TFormPanel::FindFormByCaption(const std::string& caption) {
    TForm* found = nullptr;
    if (!Screen) return nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->Caption() == caption) found = Screen->Forms(i);
    return found;
}

TForm* TFormPanel::HostForm() const {
    return dynamic_cast<TForm*>(Owner());
}

void TFormPanel::AttachForm(TForm* form) {
    TForm* old = EmbeddedForm();
    TMainMenu* oldMenu = old ? saved_.Menu.Get() : nullptr;
    TForm* next = OnScreen(form) ? form : nullptr;
    // Embedded here, the form's own menu is the saved one: its Menu is empty until detached.
    TMainMenu* nextMenu = !next ? nullptr : next == old ? oldMenu : next->Menu();
    // Menu merging needs the host form; find out before anything is changed.
    if (((oldMenu && oldMenu->AutoMerge()) || (nextMenu && nextMenu->AutoMerge())) && !HostForm())
        throw Exception("フォームパネルの所有者がフォームではないため、メニューを統合できません。");

    // Covers the client area while a form is swapped in, so nothing half-done shows.
    std::unique_ptr<TPanel> cover;
    if (next && !ComponentState().Contains(csDestroying)) {
        cover = std::make_unique<TPanel>(nullptr);
        cover->SetParent(this);
        cover->SetAlign(alClient);
        cover->SetBevelInner(bvNone);
        cover->SetBevelOuter(bvNone);
        cover->SetCaption("");
        cover->SetVisible(true);
    }

    if (old) {
        old->Hide();
        old->SetBorderIcons(saved_.BorderIcons);
        old->SetBorderStyle(saved_.BorderStyle);
        old->SetFormStyle(saved_.FormStyle);
        old->SetMenu(oldMenu);
        old->SetParent(saved_.Parent.Get());
        old->SetWindowLong(GWL_STYLE, saved_.WindowStyle);
        if (oldMenu && oldMenu->AutoMerge()) {
            TForm* host = HostForm();
            if (host->Menu() == oldMenu)
                host->SetMenu(nullptr);
            else if (host->Menu())
                host->Menu()->Unmerge(oldMenu);
        }
    }

    form_ = form;
    formId_ = form;
    if (!EmbeddedForm()) {
        storedCaption_.clear();
        return;
    }

    saved_.Menu = next->Menu();
    saved_.BorderIcons = next->BorderIcons();
    saved_.BorderStyle = next->BorderStyle();
    saved_.FormStyle = fsNormal; // a detached form always comes back as a normal form
    saved_.Parent = next->Parent();
    saved_.WindowStyle = next->GetWindowLong(GWL_STYLE);

    next->SetBorderIcons(TBorderIcons{});
    next->SetBorderStyle(bsNone);
    next->SetFormStyle(fsNormal);
    next->SetMenu(nullptr);
    next->SetParent(this);
    next->SetWindowLong(GWL_STYLE, WS_CHILD);

    if (nextMenu && nextMenu->AutoMerge()) {
        TForm* host = HostForm();
        if (!host->Menu())
            host->SetMenu(nextMenu);
        else
            host->Menu()->Merge(nextMenu);
    }
    Resize();
    // Covered forms must not be behind the cover when it goes.
    cover.reset();
    next->Show();
}

void TFormPanel::SetPending() {
    attachPending_ = true;
    if (attachPosted_) return;
    attachPosted_ = true;
    PostMessage(this, CM_ATTACHPENDING, 0, 0);
}

void TFormPanel::DoPendingAttach() {
    attachPosted_ = false;
    if (!attachPending_) return;
    attachPending_ = false;
    if (!storedCaption_.empty()) SetFormCaption(storedCaption_);
    if (!storedName_.empty()) SetFormName(storedName_);
}

void TFormPanel::SetFormName(const std::string& name) {
    storedName_ = name;
    if (ComponentState().Contains(csDesigning)) return;
    AttachForm(name.empty() ? nullptr : FindFormByName(name));
    if (!EmbeddedForm() && ComponentState().Contains(csLoading)) SetPending();
    if (!storedName_.empty()) storedCaption_.clear();
}

void TFormPanel::SetFormCaption(const std::string& caption) {
    storedCaption_ = caption;
    if (ComponentState().Contains(csDesigning)) return;
    AttachForm(caption.empty() ? nullptr : FindFormByCaption(caption));
    if (!EmbeddedForm() && ComponentState().Contains(csLoading)) SetPending();
}

void TFormPanel::Resize() {
    // The panel's own OnResize is deliberately not fired.
    TForm* form = EmbeddedForm();
    if (!form) return;
    int inset = BorderWidth();
    if (BorderStyle() == bsSingle) inset += 1;
    if (BevelInner() != bvNone) inset += BevelWidth();
    if (BevelOuter() != bvNone) inset += BevelWidth();
    form->SetBounds(inset, inset, Width() - 2 * inset, Height() - 2 * inset);
}

void TFormPanel::Dispatch(TMessage& m) {
    if (m.Msg == CM_ATTACHPENDING) {
        DoPendingAttach();
        return;
    }
    TPanel::Dispatch(m);
}

} // namespace sv
