#pragma once
#include "framework/forms.h"

#include <string>

namespace sv {
class TMemo;
}

namespace sv::app {

// The log window: never shown; its memo collects the jobs' log lines for the whole run.
class TFmLogMsg : public TForm {
public:
    explicit TFmLogMsg(TComponent* owner);
    ~TFmLogMsg() override;
    std::string ClassName() const override { return "TFmLogMsg"; }

    TMemo* Log = nullptr;
};

} // namespace sv::app
