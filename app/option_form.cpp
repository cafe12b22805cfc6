#include "app/option_form.h"

#include "app/form_style.h"
#include "app/modes.h"

namespace sv::app {

TFmOPTION::TFmOPTION(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName(std::string(kFmOPTION));
    SetCaption(std::string(kFmOPTION));
    SetBounds(0, 0, 732, 388);
    SetColor(clBtnFace);
    SetDesignFont(Font());
    OnShow = [this](TObject* sender) { FormShow(sender); };
    EndLoading();
}

TFmOPTION::~TFmOPTION() {
    BeginDestruction();
}

void TFmOPTION::FormShow(TObject* /*sender*/) {}

} // namespace sv::app
