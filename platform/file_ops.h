#pragma once
#include <string>

namespace sv::platform {

// The file operations the jobs use, behind one seam so tests can make any of them fail.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual bool FileExists(const std::string& path);      // a regular file
    virtual bool DirectoryExists(const std::string& path); // a folder
    virtual bool CreateDirectory(const std::string& path); // one level
    virtual bool DeleteFile(const std::string& path);
    // A file descriptor for writing, or -1. createNew fails when the file exists; otherwise an
    // existing file is truncated.
    virtual int OpenForWrite(const std::string& path, bool createNew);
};

// The operations in force; tests put their own in and restore the default with nullptr.
FileOps& Files();
void SetFileOps(FileOps* ops);

} // namespace sv::platform
