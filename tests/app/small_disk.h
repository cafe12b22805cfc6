// A small file system of its own (a tmpfs), for a full disk in tests.
#pragma once
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/mount.h>

namespace sv::apptest {

// A small file system of its own, as a full disk; skipped where mounting is not allowed.
class SmallDisk {
public:
    explicit SmallDisk(const std::filesystem::path& at, const char* size = "size=200k") : at_(at) {
        std::filesystem::create_directories(at_);
        mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", 0, size) == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace sv::apptest
