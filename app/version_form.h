#pragma once
#include "framework/forms.h"

#include <string>

namespace sv {
class TPanel;
class TImage;
class TLabel;
class TButton;
} // namespace sv

namespace sv::app {

// The about box: product name and version from main.ini, the credits of the outside
// components, the disclaimer.
class TFmVersion : public TForm {
public:
    explicit TFmVersion(TComponent* owner);
    ~TFmVersion() override;
    std::string ClassName() const override { return "TFmVersion"; }

    TPanel* Panel1 = nullptr;
    TImage* ProgramIcon = nullptr;
    TLabel* ProductName = nullptr;
    TLabel* Version = nullptr;
    TLabel* Label4 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label6 = nullptr;
    TLabel* Label7 = nullptr;
    TLabel* Label9 = nullptr;
    TLabel* Label10 = nullptr;
    TLabel* Label11 = nullptr;
    TLabel* Label12 = nullptr;
    TLabel* Label8 = nullptr;
    TLabel* Label3 = nullptr;
    TButton* OKButton = nullptr;

    void FormShow(TObject* sender);

private:
    TLabel* AddLabel(const char* name, const std::string& caption, int left, int top);
};

} // namespace sv::app
