#include "platform/instance_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
    if (fd >= 0 && fd <= STDERR_FILENO) {
        // Started with a standard descriptor closed: what is written there must not reach the
        // lock file, nor may a program given the lock find it in that place.
        const int above = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        fd = above;
    }
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

namespace {

enum class Listed { No, Yes, Unsure };

// Whether /proc/locks lists a flock held on the file: "1: FLOCK  ADVISORY  WRITE <pid>
// <major>:<minor>:<inode> 0 EOF", device numbers in hex; "->" marks a waiter, which holds nothing.
Listed ListedAsLocked(const struct stat& file) {
    std::ifstream locks("/proc/locks");
    if (!locks) return Listed::Unsure;
    Listed found = Listed::No;
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        fields >> number >> kind >> mode >> access >> pid >> where;
        if (kind != "FLOCK") continue;
        unsigned devMajor = 0, devMinor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &devMajor, &devMinor, &inode) != 3 ||
            inode != file.st_ino)
            continue;
        // Some file systems (btrfs subvolumes, overlays) give stat another device number than
        // the list: the same inode there is only a hint.
        if (devMajor == major(file.st_dev) && devMinor == minor(file.st_dev)) return Listed::Yes;
        found = Listed::Unsure;
    }
    return found;
}

} // namespace

bool InstanceLock::IsHeld(const std::string& name) {
    const std::string path = PathFor(name);
    struct stat file {};
    if (stat(path.c_str(), &file) != 0) return false;
    const Listed listed = ListedAsLocked(file);
    if (listed != Listed::Unsure) return listed == Listed::Yes;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd); // lets go of a shared lock taken here
    return held;
}

InstanceLock::~InstanceLock() {
    close(fd_);
}

} // namespace sv::platform
