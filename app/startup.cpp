#include "app/startup.h"

#include "app/forms.h"
#include "app/main_form.h"
#include "framework/forms.h"
#include "platform/instance_lock.h"

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

int SonvaleMain(int argc, char** argv) {
    std::unique_ptr<platform::InstanceLock> lock = platform::InstanceLock::Acquire("DoubleOpenChk");
    if (!lock) return kExitAlreadyRunning;
    QApplication qt(argc, argv);
    InitFramework();
    Application->SetTitle("Sonvale");
    int code = RunSonvale(CreateSonvaleForms);
    FreeSonvaleForms();
    DoneFramework();
    return code;
}

} // namespace sv::app
