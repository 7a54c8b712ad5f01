#pragma once
// File-system operations the logic needs, behind a small interface so that tests can
// substitute a failing or recording implementation. Paths are UTF-8 bytes with '/' as
// the separator; folder paths handed between components end with '/'.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What tells one version of a file from another: any write to the file, any
// replacement of it and any change of its times changes at least one of these fields
// (the change time cannot be set by a program, so even a write that restores the old
// size and modification time is seen).
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSec = 0;
    std::int64_t modifiedNsec = 0;
    std::int64_t changedSec = 0;
    std::int64_t changedNsec = 0;
    // Set by a read: the content read is exactly this version's, and the file's times lie
    // so far before the read that a later write cannot carry the same times again (file
    // times are only as fine as the file system keeps them). Not part of the comparison.
    bool settled = false;

    bool SameAs(const FileVersion& other) const;
};

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
    // partial target behind. The copy is made in an unnamed file (or, where the file
    // system has none, under a hidden name beside the target) and published whole, so a
    // program watching the folder never sees it grow.
    virtual bool CopyNoOverwrite(const std::string& from, const std::string& to) = 0;
    // Creates an empty file; false when the name exists already or the file cannot be
    // made. The error (errno) is left in *error when given.
    virtual bool CreateNew(const std::string& path, int* error = nullptr) = 0;
    // Gives the file `from` the name `to` and drops the name `from`, never replacing
    // an existing `to`. 0 when done; otherwise the system's error number, EEXIST when
    // the name `to` is taken (nothing is changed then). Both must be in one folder.
    virtual int PublishNoReplace(const std::string& from, const std::string& to) = 0;
    virtual bool Remove(const std::string& path) = 0;
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual bool ReadFile(const std::string& path, std::string& content) const = 0;
    // Replaces the file's content as a whole: a temporary file beside it is written,
    // flushed to disk and renamed over the target, so readers and crashes see either
    // the old or the new content, never a mixture. The temporary file is unnamed while
    // it is written where the file system allows it, and its name carries this
    // process's id (platform/Temporaries.h), so none outlives a killed writer for good.
    virtual bool WriteFileAtomic(const std::string& path, const std::string& content) = 0;

    // Versions let callers keep what they derived from a file for as long as the file
    // is unchanged. A file system that cannot tell versions answers false from VersionOf
    // and never "settled" from ReadFileVersion (these defaults), so nothing is kept.
    // An implementation that serves other content than ReadFile would must override both.
    //
    // The current version of the file (symbolic links followed); false when the file
    // does not exist or versions are not known.
    virtual bool VersionOf(const std::string& path, FileVersion& version) const;
    // ReadFile, and the version of the content read.
    virtual bool ReadFileVersion(const std::string& path, std::string& content, FileVersion& version) const;
};

// The real file system of this machine.
class PosixFileSystem : public IFileSystem {
public:
    bool Exists(const std::string& path) const override;
    bool IsDirectory(const std::string& path) const override;
    bool CreateFolder(const std::string& path) override;
    bool ListFolder(const std::string& path, std::vector<std::string>& names) const override;
    bool CopyNoOverwrite(const std::string& from, const std::string& to) override;
    bool CreateNew(const std::string& path, int* error = nullptr) override;
    int PublishNoReplace(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool ReadFile(const std::string& path, std::string& content) const override;
    bool WriteFileAtomic(const std::string& path, const std::string& content) override;
    bool VersionOf(const std::string& path, FileVersion& version) const override;
    bool ReadFileVersion(const std::string& path, std::string& content, FileVersion& version) const override;

    // How far a file's times must lie before a read for the content read to count as
    // settled: more than the coarsest time stamps in use (two seconds on FAT, one on
    // older ext file systems) plus the kernel clock's tick.
    static constexpr int kSettleSeconds = 3;
};

// A name beside `path` (same folder, hidden, "." + the file name + "." + this process's
// id + "-" + six random characters + ".part") for a file that is being written and will
// be published under `path` when complete. The id lets a later process remove the file
// once its writer is gone (platform/Temporaries.h).
std::string HiddenWorkingName(const std::string& path);

// Creates every missing folder along the path (a trailing '/' is allowed) in the
// installed file system; true when the path is a folder afterwards.
bool CreateFolderPath(const std::string& path);

// The file type of a path: what follows the last '.' of its file name, without the
// dot; empty when the file name has no '.'.
std::string ExtensionOf(const std::string& path);

} // namespace platform
