#include "app/cd_wav_form.h"

#include "app/modes.h"
#include "controls/vorsa_button.h"
#include "framework/stdctrls.h"

namespace sv::app {

TFmCD_WAV::TFmCD_WAV(TComponent* owner) : TModeForm(owner, kFmCD_WAV) {
    BeginLoading();
    OnShow = [this](TObject* sender) { FormShow(sender); };

    lst_cd = new TListBox(this);
    lst_cd->SetName("lst_cd");
    lst_cd->SetParent(this);
    lst_cd->SetBounds(40, 64, 520, 200);
    lst_cd->SetMultiSelect(true);

    btn_teisi = new TVorsaButton(this);
    btn_teisi->SetName("btn_teisi");
    btn_teisi->SetParent(this);
    btn_teisi->SetBounds(640, 120, 75, 25);
    btn_teisi->SetCaption("停止");
    btn_teisi->SetTag(2);
    btn_teisi->SetColor(0x00CBECB5);
    btn_teisi->SetEnabled(false);
    EndLoading();
}

TFmCD_WAV::~TFmCD_WAV() {
    BeginDestruction();
}

void TFmCD_WAV::FormShow(TObject* /*sender*/) {
    UpdateModeTag();
}

} // namespace sv::app
