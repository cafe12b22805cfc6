#pragma once
#include <functional>
#include <memory>

namespace sv::platform {

// Watches optical drives through udev: a drive or medium arriving calls back with true, one
// leaving with false. The callback runs on the monitor's own thread. Where udev is not
// available nothing is reported.
class DeviceMonitor {
public:
    using Callback = std::function<void(bool arrived)>;
    explicit DeviceMonitor(Callback callback);
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    bool Running() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace sv::platform
