#include "framework/exception.h"
#include "framework/forms.h"
#include "platform/instance_lock.h"
#include "platform/program_folder.h"
#include "writer/dialog_form.h"

#include <QApplication>

namespace {

constexpr int kExitAlreadyRunning = 1;

} // namespace

// Trelvik takes no arguments: everything comes from section WORK of main.ini beside it.
int main(int argc, char** argv) {
    // Standard output and error may be the pipe nobody reads that the writer's copy has filled.
    sv::PrepareProgramOutputs();
    // One Trelvik at a time: two would write to the same drive. A second one ends before it
    // reads or touches anything.
    std::string why;
    std::unique_ptr<sv::platform::InstanceLock> lock =
        sv::platform::InstanceLock::Acquire(sv::platform::kTrelvikInstanceLock, &why);
    if (!lock && why.empty()) return kExitAlreadyRunning;
    QApplication qt(argc, argv);
    sv::InitFramework();
    sv::Application->SetTitle("Trelvik");
    sv::writer::TFmDialog* FmDialog = nullptr;
    if (!lock) {
        sv::Application->ShowException(
            sv::Exception(sv::InstanceLockFailure(sv::platform::kTrelvikInstanceLock, why)));
    } else {
        try {
            sv::Application->Initialize();
            FmDialog = new sv::writer::TFmDialog(sv::Application, sv::platform::ProgramFolder(),
                                                 std::move(lock));
            sv::Application->RegisterForm(FmDialog);
            sv::Application->Run();
        } catch (...) {
            sv::Application->HandleException(sv::Application);
        }
    }
    sv::FreeAndNil(FmDialog);
    sv::DoneFramework();
    return 0;
}
