#include "framework/forms.h"
#include "platform/program_folder.h"
#include "writer/dialog_form.h"

#include <QApplication>

// Trelvik takes no arguments: everything comes from section WORK of main.ini beside it.
int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    sv::InitFramework();
    sv::Application->SetTitle("Trelvik");
    sv::writer::TFmDialog* FmDialog = nullptr;
    try {
        sv::Application->Initialize();
        FmDialog = new sv::writer::TFmDialog(sv::Application, sv::platform::ProgramFolder());
        sv::Application->RegisterForm(FmDialog);
        sv::Application->Run();
    } catch (...) {
        sv::Application->HandleException(sv::Application);
    }
    sv::FreeAndNil(FmDialog);
    sv::DoneFramework();
    return 0;
}
