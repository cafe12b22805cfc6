#include "app/startup.h"

#include "app/decoder.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "framework/forms.h"
#include "platform/instance_lock.h"
#include "platform/program_folder.h"

#include <QApplication>
#include <memory>

namespace sv::app {

platform::DeviceMonitor::Callback PostDeviceChanges(TControl* target) {
    TGuardedRef<TControl> ref(target);
    return [ref](bool arrived) {
        // Hop to the user-interface thread first: the framework's objects live there.
        QMetaObject::invokeMethod(
            qApp,
            [ref, arrived] {
                if (TControl* c = ref.Get())
                    PostMessage(c, WM_DEVICECHANGE,
                                arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0);
            },
            Qt::QueuedConnection);
    };
}

int RunSonvale(const std::function<void()>& createForms) {
    std::unique_ptr<platform::DeviceMonitor> monitor;
    try {
        Application->Initialize();
        createForms();
        if (FmMain) monitor = std::make_unique<platform::DeviceMonitor>(PostDeviceChanges(FmMain));
        Application->Run();
    } catch (...) {
        monitor.reset();
        Application->HandleException(Application);
        return kExitStartFailed;
    }
    return kExitOk;
}

int CheckStart(std::unique_ptr<platform::InstanceLock>& lock, std::string& failure) {
    failure.clear();
    if (std::string why = BindDecoderLibrary(); !why.empty()) {
        failure = platform::JoinPath(platform::ProgramFolder(), kDecoderLibraryFile) +
                  " を読み込めません。中止します。\n" + why;
        return kExitStartFailed;
    }
    std::string why;
    lock = platform::InstanceLock::Acquire(platform::kSonvaleInstanceLock, &why);
    if (lock) return kExitOk;
    if (!why.empty()) failure = InstanceLockFailure(platform::kSonvaleInstanceLock, why);
    return kExitAlreadyRunning;
}

int SonvaleMain(int argc, char** argv) {
    // For a Sonvale that Trelvik started again, standard output and error are those of whoever
    // started Trelvik, perhaps a pipe nobody reads; the drives' scan writes there too.
    PrepareProgramOutputs();
    std::unique_ptr<platform::InstanceLock> lock;
    std::string failure;
    int code = CheckStart(lock, failure);
    // Another instance runs: end before anything shows.
    if (code != kExitOk && failure.empty()) return code;
    QApplication qt(argc, argv);
    InitFramework();
    Application->SetTitle("Sonvale");
    if (failure.empty())
        code = RunSonvale(CreateSonvaleForms);
    else
        Application->ShowException(Exception(failure));
    FreeSonvaleForms();
    DoneFramework();
    return code;
}

} // namespace sv::app
