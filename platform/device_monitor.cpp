#include "platform/device_monitor.h"

#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace sv::platform {

struct DeviceMonitor::Impl {
    Callback callback;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int stopFd = -1;
    std::thread thread;

    void Run() {
        int udevFd = udev_monitor_get_fd(monitor);
        pollfd fds[2] = {{udevFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        while (true) {
            if (poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents) return;
            if (!(fds[0].revents & POLLIN)) continue;
            udev_device* device = udev_monitor_receive_device(monitor);
            if (!device) continue;
            Report(device);
            udev_device_unref(device);
        }
    }

    void Report(udev_device* device) {
        const char* cdrom = udev_device_get_property_value(device, "ID_CDROM");
        if (!cdrom || std::strcmp(cdrom, "1") != 0) return;
        const char* action = udev_device_get_action(device);
        if (!action) return;
        if (std::strcmp(action, "add") == 0) {
            callback(true);
        } else if (std::strcmp(action, "remove") == 0) {
            callback(false);
        } else if (std::strcmp(action, "change") == 0) {
            const char* media = udev_device_get_property_value(device, "ID_CDROM_MEDIA");
            callback(media && std::strcmp(media, "1") == 0);
        }
    }
};

DeviceMonitor::DeviceMonitor(Callback callback) : impl_(std::make_unique<Impl>()) {
    impl_->callback = std::move(callback);
    impl_->context = udev_new();
    if (!impl_->context) return;
    impl_->monitor = udev_monitor_new_from_netlink(impl_->context, "udev");
    impl_->stopFd = eventfd(0, EFD_CLOEXEC);
    if (!impl_->monitor || impl_->stopFd < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(impl_->monitor, "block", nullptr) < 0 ||
        udev_monitor_enable_receiving(impl_->monitor) < 0)
        return;
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

DeviceMonitor::~DeviceMonitor() {
    if (impl_->thread.joinable()) {
        uint64_t one = 1;
        (void)!write(impl_->stopFd, &one, sizeof one);
        impl_->thread.join();
    }
    if (impl_->stopFd >= 0) close(impl_->stopFd);
    if (impl_->monitor) udev_monitor_unref(impl_->monitor);
    if (impl_->context) udev_unref(impl_->context);
}

bool DeviceMonitor::Running() const {
    return impl_->thread.joinable();
}

} // namespace sv::platform
