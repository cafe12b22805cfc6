#include "app/mode_forms.h"

#include "app/form_style.h"
#include "app/modes.h"

namespace sv::app {

TModeForm::TModeForm(TComponent* owner, std::string_view name) : TForm(owner) {
    SetName(std::string(name));
    SetCaption(std::string(name));
    SetClientWidth(732);
    SetClientHeight(377);
    SetColor(clBtnFace);
    SetDesignFont(Font());
}

TModeForm::~TModeForm() {
    BeginDestruction();
}

void TModeForm::UpdateModeTag() {
    ModeTag = DeriveModeTag(Name(), Caption(), ModeTag);
}

} // namespace sv::app
