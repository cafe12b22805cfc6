#include "app/forms.h"

#include "app/cd_wav_form.h"
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/mp3_cd_form.h"
#include "app/option_form.h"
#include "app/version_form.h"
#include "app/wav_mp3_form.h"
#include "framework/forms.h"

namespace sv::app {

TFmMain* FmMain = nullptr;
TFmMP3_CD* FmMP3_CD = nullptr;
TFmWAV_MP3* FmWAV_MP3 = nullptr;
TFmCD_WAV* FmCD_WAV = nullptr;
TFmOPTION* FmOPTION = nullptr;
TFmLogMsg* FmLogMsg = nullptr;
TFmVersion* FmVersion = nullptr;

void CreateSonvaleForms() {
    Application->CreateForm(FmMain);
    Application->CreateForm(FmMP3_CD);
    Application->CreateForm(FmWAV_MP3);
    Application->CreateForm(FmCD_WAV);
    Application->CreateForm(FmOPTION);
    Application->CreateForm(FmLogMsg);
    Application->CreateForm(FmVersion);
}

void FreeSonvaleForms() {
    FreeAndNil(FmVersion);
    FreeAndNil(FmLogMsg);
    FreeAndNil(FmOPTION);
    FreeAndNil(FmCD_WAV);
    FreeAndNil(FmWAV_MP3);
    FreeAndNil(FmMP3_CD);
    FreeAndNil(FmMain);
}

} // namespace sv::app
