#pragma once
// Message boxes, input queries, file and folder dialogs and modal forms, all through one
// service that tests replace with a scripted double.
#include "framework/component.h"
#include "framework/messages.h"

#include <string>
#include <vector>

namespace sv {

class TForm;
class TStrings;

struct TOpenDialogRequest {
    std::string Title;
    std::string InitialDir;
    std::string FileName;
    // "description|pattern|description|pattern", patterns separated by ";".
    std::string Filter;
    int FilterIndex = 1;
    bool MultiSelect = false;
};

class TDialogService {
public:
    virtual ~TDialogService() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    // Returns IDOK, IDCANCEL, IDYES, IDNO ... by the button chosen.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // True and `value` changed when the user confirmed.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) = 0;
    // True with the chosen full paths (one unless MultiSelect).
    virtual bool OpenFiles(const TOpenDialogRequest& request, std::vector<std::string>& files) = 0;
    virtual bool SelectDirectory(const std::string& caption, const std::string& root,
                                 std::string& directory) = 0;
    // Shows the form modally and returns its ModalResult.
    virtual int ShowModal(TForm* form) = 0;
};

// The service in use; the Qt one unless a test set another.
TDialogService& Dialogs();
// nullptr restores the Qt service. The caller keeps ownership.
void SetDialogService(TDialogService* service);

// The Qt filter for "desc|pattern|..." ("WAV (*.wav)|*.wav" becomes "WAV (*.wav) (*.wav)").
std::vector<std::string> FilterToQt(const std::string& filter);

void ShowMessage(const std::string& text);
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory);

enum class TOpenOption { ofAllowMultiSelect, ofFileMustExist, ofPathMustExist, ofHideReadOnly };
using enum TOpenOption;
using TOpenOptions = TSet<TOpenOption>;

// The open-file dialog component.
class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner);
    ~TOpenDialog() override;
    std::string ClassName() const override { return "TOpenDialog"; }
    bool Execute();

    std::string Title;
    std::string InitialDir;
    std::string FileName;
    std::string Filter;
    int FilterIndex = 1;
    TOpenOptions Options;
    TStrings* Files() const { return files_; }

private:
    TStrings* files_;
};

} // namespace sv
