#pragma once
#include "app/mode_forms.h"

namespace sv::app {

class TFmWAV_MP3 : public TModeForm {
public:
    explicit TFmWAV_MP3(TComponent* owner);
    ~TFmWAV_MP3() override;
    std::string ClassName() const override { return "TFmWAV_MP3"; }

    void FormShow(TObject* sender);
};

} // namespace sv::app
