#pragma once
// What the three mode forms share: the designed caption (the form's name), size and font, and
// the mode tag that each showing derives from the caption the main window wrote.
#include "framework/forms.h"

#include <string>
#include <string_view>

namespace sv::app {

class TModeForm : public TForm {
public:
    TModeForm(TComponent* owner, std::string_view name);
    ~TModeForm() override;
    std::string ClassName() const override { return "TModeForm"; }

    // The current mode ("[CD_MP3]" ...); empty until the form is first shown with a tag.
    std::string ModeTag;

protected:
    // Sets ModeTag from the caption; a caption that is none of this form's tags keeps it.
    void UpdateModeTag();
};

} // namespace sv::app
