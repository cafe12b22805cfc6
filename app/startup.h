#pragma once
// Sonvale's start: one instance per user, the seven forms, the message loop.
#include "platform/device_monitor.h"
#include "platform/instance_lock.h"

#include <functional>
#include <memory>
#include <string>

namespace sv {
class TControl;
}

namespace sv::app {

inline constexpr int kExitOk = 0;
// Another instance runs (silently), or the single-instance lock cannot be taken (told).
inline constexpr int kExitAlreadyRunning = 1;
// The start ended in the exception display: the decoder library or a form is missing.
inline constexpr int kExitStartFailed = 2;

// What runs before the forms: the decoder library is bound, as a loader binds it before the
// program runs, then the single-instance lock is taken into `lock`. kExitOk goes on;
// kExitAlreadyRunning with an empty `failure` ends the start silently; any other end carries
// the text that tells the user why in `failure`.
int CheckStart(std::unique_ptr<platform::InstanceLock>& lock, std::string& failure);

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
