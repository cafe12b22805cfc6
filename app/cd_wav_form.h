#pragma once
#include "app/mode_forms.h"

namespace sv {
class TListBox;
class TVorsaButton;
} // namespace sv

namespace sv::app {

class TFmCD_WAV : public TModeForm {
public:
    explicit TFmCD_WAV(TComponent* owner);
    ~TFmCD_WAV() override;
    std::string ClassName() const override { return "TFmCD_WAV"; }

    TListBox* lst_cd = nullptr;
    TVorsaButton* btn_teisi = nullptr;

    void FormShow(TObject* sender);
};

} // namespace sv::app
