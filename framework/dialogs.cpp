#include "framework/dialogs.h"

#include "framework/forms.h"
#include "framework/strings.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace sv {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class QtDialogService : public TDialogService {
public:
    void ShowMessage(const std::string& text) override {
        QMessageBox box(QMessageBox::NoIcon, Q(Application ? Application->Title() : ""), Q(text),
                        QMessageBox::Ok);
        box.exec();
    }

    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (flags & 0xF0) {
        case MB_ICONERROR:
            icon = QMessageBox::Critical;
            break;
        case MB_ICONQUESTION:
            icon = QMessageBox::Question;
            break;
        case MB_ICONEXCLAMATION:
            icon = QMessageBox::Warning;
            break;
        case MB_ICONINFORMATION:
            icon = QMessageBox::Information;
            break;
        default:
            break;
        }
        using B = QMessageBox::StandardButton;
        struct Choice {
            B button;
            int id;
        };
        std::vector<Choice> choices;
        switch (flags & 0x0F) {
        case MB_OKCANCEL:
            choices = {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
            break;
        case MB_ABORTRETRYIGNORE:
            choices = {{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}};
            break;
        case MB_YESNOCANCEL:
            choices = {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
            break;
        case MB_YESNO:
            choices = {{B::Yes, IDYES}, {B::No, IDNO}};
            break;
        case MB_RETRYCANCEL:
            choices = {{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}};
            break;
        default:
            choices = {{B::Ok, IDOK}};
            break;
        }
        QMessageBox box(icon, Q(caption), Q(text));
        for (auto& c : choices) box.addButton(c.button);
        std::size_t def = (flags & MB_DEFBUTTON2) && choices.size() > 1 ? 1 : 0;
        box.setDefaultButton(choices[def].button);
        int r = box.exec();
        for (auto& c : choices)
            if (r == c.button) return c.id;
        // Closed without a button: the cancel answer where there is one.
        for (auto& c : choices)
            if (c.id == IDCANCEL || c.id == IDNO) return c.id;
        return choices.front().id;
    }

    bool InputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override {
        bool ok = false;
        QString r =
            QInputDialog::getText(nullptr, Q(caption), Q(prompt), QLineEdit::Normal, Q(value), &ok);
        if (ok) value = r.toStdString();
        return ok;
    }

    bool OpenFiles(const TOpenDialogRequest& req, std::vector<std::string>& files) override {
        QFileDialog dlg(nullptr, Q(req.Title), Q(req.InitialDir));
        dlg.setFileMode(req.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        QStringList filters;
        for (auto& f : FilterToQt(req.Filter)) filters << Q(f);
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            int i = req.FilterIndex - 1;
            if (i >= 0 && i < filters.size()) dlg.selectNameFilter(filters[i]);
        }
        if (!req.FileName.empty()) dlg.selectFile(Q(req.FileName));
        if (dlg.exec() != QDialog::Accepted) return false;
        files.clear();
        for (const QString& f : dlg.selectedFiles()) files.push_back(f.toStdString());
        return !files.empty();
    }

    bool SelectDirectory(const std::string& caption, const std::string& root,
                         std::string& directory) override {
        QString start = Q(directory.empty() ? root : directory);
        QString r = QFileDialog::getExistingDirectory(nullptr, Q(caption), start);
        if (r.isEmpty()) return false;
        directory = r.toStdString();
        return true;
    }

    int ShowModal(TForm* form) override {
        TGuardedRef<TForm> ref(form);
        form->SetModalResult(mrNone);
        form->Handle();
        if (QWidget* w = form->Window()) w->setWindowModality(Qt::ApplicationModal);
        ModalScope scope(form);
        form->Show();
        int result = mrNone;
        for (;;) {
            if (!ref || Application->Terminated()) break;
            if (ref->ModalResult() != mrNone) {
                result = ref->ModalResult();
                if (ref->CloseModal()) break;
                continue;
            }
            QCoreApplication::sendPostedEvents();
            // A posted event may have set the result: look again before blocking.
            if (!ref || Application->Terminated() || ref->ModalResult() != mrNone) continue;
            if (auto* d = QAbstractEventDispatcher::instance())
                d->processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
        }
        if (ref) {
            ref->Hide();
            if (QWidget* w = ref->Window()) w->setWindowModality(Qt::NonModal);
        }
        return result;
    }

private:
    struct ModalScope {
        explicit ModalScope(TForm* f) : form(f) { SetModal(f, true); }
        ~ModalScope() {
            if (form) SetModal(form.Get(), false);
        }
        TGuardedRef<TForm> form;
    };
    static void SetModal(TForm* f, bool on);
};

} // namespace

// The modal flag is the form's own; only the modal loop sets it.
class ModalAccess {
public:
    static void Set(TForm* f, bool on);
};

void QtDialogService::SetModal(TForm* f, bool on) {
    ModalAccess::Set(f, on);
}

namespace {
QtDialogService qtService;
TDialogService* current = nullptr;
} // namespace

TDialogService& Dialogs() {
    return current ? *current : qtService;
}
void SetDialogService(TDialogService* service) {
    current = service;
}

std::vector<std::string> FilterToQt(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= filter.size() && !filter.empty()) {
        std::size_t j = filter.find('|', i);
        if (j == std::string::npos) j = filter.size();
        parts.push_back(filter.substr(i, j - i));
        i = j + 1;
        if (j == filter.size()) break;
    }
    std::vector<std::string> out;
    for (std::size_t k = 0; k + 1 < parts.size(); k += 2) {
        std::string patterns = parts[k + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        out.push_back(parts[k] + " (" + patterns + ")");
    }
    return out;
}

void ShowMessage(const std::string& text) {
    Dialogs().ShowMessage(text);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    return Dialogs().InputQuery(caption, prompt, value);
}

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& directory) {
    return Dialogs().SelectDirectory(caption, root, directory);
}

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner), files_(new TStringList) {}

TOpenDialog::~TOpenDialog() {
    BeginDestruction();
    delete files_;
}

bool TOpenDialog::Execute() {
    TOpenDialogRequest req;
    req.Title = Title;
    req.InitialDir = InitialDir;
    req.FileName = FileName;
    req.Filter = Filter;
    req.FilterIndex = FilterIndex;
    req.MultiSelect = Options.Contains(ofAllowMultiSelect);
    std::vector<std::string> files;
    if (!Dialogs().OpenFiles(req, files)) return false;
    files_->Clear();
    for (auto& f : files) files_->Add(f);
    FileName = files.empty() ? "" : files.front();
    return true;
}

} // namespace sv
