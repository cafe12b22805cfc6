#include "app/log_form.h"

#include "app/form_style.h"
#include "app/modes.h"
#include "framework/stdctrls.h"

namespace sv::app {

TFmLogMsg::TFmLogMsg(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName(std::string(kFmLogMsg));
    SetCaption("LogMessage");
    SetBounds(0, 0, 469, 181);
    SetDesignFont(Font());

    Log = new TMemo(this);
    Log->SetName("Log");
    Log->SetParent(this);
    Log->SetAlign(alClient);
    Log->SetReadOnly(true);
    Log->SetScrollBars(ssBoth);
    EndLoading();
}

TFmLogMsg::~TFmLogMsg() {
    BeginDestruction();
}

} // namespace sv::app
