#include "app/wav_mp3_form.h"

#include "app/modes.h"

namespace sv::app {

TFmWAV_MP3::TFmWAV_MP3(TComponent* owner) : TModeForm(owner, kFmWAV_MP3) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };
    EndLoading();
}

TFmWAV_MP3::~TFmWAV_MP3() {
    BeginDestruction();
}

void TFmWAV_MP3::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
}

} // namespace sv::app
