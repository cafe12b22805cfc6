#include "platform/lock_wait.h"

#include "platform/instance_lock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace sv::platform {

bool WaitUntilLockFree(const std::string& name, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const std::string path = InstanceLock::PathFor(name);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true; // no lock file: nobody has ever held it
    // Watched before the first look, so a holder that closes in between still wakes us.
    int events = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (events >= 0 &&
        inotify_add_watch(events, path.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(events);
        events = -1;
    }
    const Clock::time_point end = Clock::now() + timeout;
    bool free = false;
    while (true) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            flock(fd, LOCK_UN);
            free = true;
            break;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) break;
        // Without a watch (a file system without notifications) look again now and then.
        if (events < 0) left = std::min(left, std::chrono::milliseconds(100));
        pollfd p{events, POLLIN, 0};
        if (poll(&p, events >= 0 ? 1 : 0, static_cast<int>(left.count())) > 0) {
            char buffer[4096];
            while (read(events, buffer, sizeof buffer) > 0) {
            }
        }
    }
    if (events >= 0) close(events);
    close(fd);
    return free;
}

} // namespace sv::platform
