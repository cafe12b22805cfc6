#include "platform/file_ops.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv::platform {

bool FileOps::FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileOps::DirectoryExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileOps::CreateDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

bool FileOps::DeleteFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

int FileOps::OpenForWrite(const std::string& path, bool createNew) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (createNew ? O_EXCL : O_TRUNC);
    int fd;
    while ((fd = open(path.c_str(), flags, 0666)) < 0 && errno == EINTR) {
    }
    return fd;
}

namespace {

bool SyncPath(const std::string& path, int flags) {
    int fd;
    while ((fd = open(path.c_str(), flags | O_CLOEXEC)) < 0 && errno == EINTR) {
    }
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

} // namespace

bool FileOps::SyncFile(const std::string& path) {
    return SyncPath(path, O_RDONLY);
}

bool FileOps::SyncFolder(const std::string& path) {
    return SyncPath(path, O_RDONLY | O_DIRECTORY);
}

bool FileOps::Rename(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool FileOps::RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // A file system that does not know the flag: a second link is made only under a free name.
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

namespace {
FileOps defaultOps;
FileOps* current = &defaultOps;
} // namespace

FileOps& Files() {
    return *current;
}
void SetFileOps(FileOps* ops) {
    current = ops ? ops : &defaultOps;
}

} // namespace sv::platform
