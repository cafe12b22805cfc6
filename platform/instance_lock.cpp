#include "platform/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::platform {

namespace {

// An absolute folder from the environment, or empty.
std::string FolderFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? value : "";
}

std::string HomeFolder() {
    std::string home = FolderFromEnvironment("HOME");
    if (!home.empty()) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

// Makes the folders of a path that are missing, private to the user as a cache folder is.
void MakeFoldersOf(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
}

} // namespace

std::string InstanceLock::PathFor(const std::string& name) {
    std::string folder = FolderFromEnvironment("XDG_RUNTIME_DIR");
    if (folder.empty()) folder = FolderFromEnvironment("XDG_CACHE_HOME");
    if (folder.empty()) folder = HomeFolder() + "/.cache";
    return folder + "/" + name + ".lock";
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const std::string& name, std::string* error) {
    const std::string path = PathFor(name);
    MakeFoldersOf(path);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        close(fd);
        if (error) *error = why == EWOULDBLOCK ? "" : std::strerror(why);
        return nullptr;
    }
    if (error) error->clear();
    return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
    close(fd_);
}

} // namespace sv::platform
