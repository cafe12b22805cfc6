#pragma once
// Sonvale's start: one instance per user, the seven forms, the message loop.
#include "platform/device_monitor.h"

#include <functional>

namespace sv {
class TControl;
}

namespace sv::app {

inline constexpr int kExitOk = 0;
// Another instance runs, or the single-instance lock cannot be taken.
inline constexpr int kExitAlreadyRunning = 1;
// The start ended in the exception display (a form could not be created).
inline constexpr int kExitStartFailed = 2;

// The device monitor's callback: posts WM_DEVICECHANGE to `target` on the user-interface
// thread; callable from any thread. Nothing arrives once the target is gone.
platform::DeviceMonitor::Callback PostDeviceChanges(TControl* target);

// After the single-instance check, with the framework up: creates the forms, watches the
// drives and runs the message loop. An exception on the way is shown by the application's
// exception display and gives kExitStartFailed.
int RunSonvale(const std::function<void()>& createForms);

// The whole program, as main() runs it.
int SonvaleMain(int argc, char** argv);

} // namespace sv::app
