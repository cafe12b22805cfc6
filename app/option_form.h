#pragma once
#include "framework/forms.h"

#include <string>

namespace sv::app {

// The settings page, embedded in the main window like a mode page.
class TFmOPTION : public TForm {
public:
    explicit TFmOPTION(TComponent* owner);
    ~TFmOPTION() override;
    std::string ClassName() const override { return "TFmOPTION"; }

    void FormShow(TObject* sender);
};

} // namespace sv::app
