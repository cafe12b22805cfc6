#include "app/mp3_cd_form.h"

#include "app/modes.h"

namespace sv::app {

TFmMP3_CD::TFmMP3_CD(TComponent* owner) : TModeForm(owner, kFmMP3_CD) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };
    EndLoading();
}

TFmMP3_CD::~TFmMP3_CD() {
    BeginDestruction();
}

void TFmMP3_CD::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
}

} // namespace sv::app
