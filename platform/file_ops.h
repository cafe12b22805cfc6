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
    // Flushes a file's data to the disk; false when it could not be stored (a full disk shows
    // here on file systems that allocate late).
    virtual bool SyncFile(const std::string& path);
    // Flushes a folder's entries, so that a rename in it survives a crash.
    virtual bool SyncFolder(const std::string& path);
    // Renames within one file system, replacing a file of the new name in one step.
    virtual bool Rename(const std::string& from, const std::string& to);
    // The same, but never in place of anything that has the new name (errno EEXIST then), also
    // of something that appeared just before.
    virtual bool RenameNoReplace(const std::string& from, const std::string& to);
};

// The operations in force; tests put their own in and restore the default with nullptr.
FileOps& Files();
void SetFileOps(FileOps* ops);

} // namespace sv::platform
