#include "app/mode_forms.h"

#include "app/form_style.h"
#include "app/job_frame.h"
#include "app/mode_frame.h"
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

void TModeForm::WriteLog(const std::string& message) {
    WriteModeLog(ModeTag, message);
}

void TModeForm::Btn_Ent(TObject* sender) {
    PushButtonEnter(sender);
}

void TModeForm::Btn_Lve(TObject* sender) {
    PushButtonLeave(sender);
}

bool TModeForm::JobRunning() {
    return app::JobRunning();
}

} // namespace sv::app
