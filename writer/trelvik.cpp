#include "framework/forms.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "writer/dialog_form.h"

#include <QApplication>
#include <unistd.h>

namespace {

// Qt's notices go to standard error, which may be the pipe nobody reads that the writer's copy
// has filled: they must not hold us either.
void CopyNotice(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const sv::platform::OutputCopy err(STDERR_FILENO);
    err.Write((qFormatLogMessage(type, context, text) + '\n').toLocal8Bit().toStdString());
}

} // namespace

// Trelvik takes no arguments: everything comes from section WORK of main.ini beside it.
int main(int argc, char** argv) {
    qInstallMessageHandler(CopyNotice);
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
