#pragma once
// File-system operations the logic needs, behind a small interface so that tests can
// substitute a failing or recording implementation. Paths are UTF-8 bytes with '/' as
// the separator; folder paths handed between components end with '/'.

#include <string>
#include <vector>

namespace platform {

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // True when the path exists by both the access test and a stat of the path.
    virtual bool Exists(const std::string& path) const = 0;
    virtual bool IsDirectory(const std::string& path) const = 0;
    // Creates one folder (not its parents); false when it could not be created,
    // including when it already exists.
    virtual bool CreateFolder(const std::string& path) = 0;
    // Names of every entry of a folder, "." and ".." included, in the order the
    // system gives them. False when the folder cannot be listed.
    virtual bool ListFolder(const std::string& path, std::vector<std::string>& names) const = 0;
    // Copies a file; refuses (false) when the target exists, and never leaves a
    // partial target behind.
    virtual bool CopyNoOverwrite(const std::string& from, const std::string& to) = 0;
    virtual bool Remove(const std::string& path) = 0;
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual bool ReadFile(const std::string& path, std::string& content) const = 0;
    // Replaces the file's content as a whole: a temporary file beside it is written,
    // flushed to disk and renamed over the target, so readers and crashes see either
    // the old or the new content, never a mixture.
    virtual bool WriteFileAtomic(const std::string& path, const std::string& content) = 0;
};

// The real file system of this machine.
class PosixFileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) const override;
    bool IsDirectory(const std::string& path) const override;
    bool CreateFolder(const std::string& path) override;
    bool ListFolder(const std::string& path, std::vector<std::string>& names) const override;
    bool CopyNoOverwrite(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool ReadFile(const std::string& path, std::string& content) const override;
    bool WriteFileAtomic(const std::string& path, const std::string& content) override;
};

} // namespace platform
