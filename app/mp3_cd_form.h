#pragma once
#include "app/mode_forms.h"

namespace sv::app {

class TFmMP3_CD : public TModeForm {
public:
    explicit TFmMP3_CD(TComponent* owner);
    ~TFmMP3_CD() override;
    std::string ClassName() const override { return "TFmMP3_CD"; }

    void FormShow(TObject* sender);
};

} // namespace sv::app
