#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/Services.h"
#include "platform/Temporaries.h"

namespace platform {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
private:
    int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Appends everything left to read from the descriptor.
bool ReadAll(int fd, std::string& content) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

FileVersion VersionFrom(const struct stat& st) {
    FileVersion v;
    v.device = static_cast<std::uint64_t>(st.st_dev);
    v.inode = static_cast<std::uint64_t>(st.st_ino);
    v.size = static_cast<std::int64_t>(st.st_size);
    v.modifiedSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    v.modifiedNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    v.changedSec = static_cast<std::int64_t>(st.st_ctim.tv_sec);
    v.changedNsec = static_cast<std::int64_t>(st.st_ctim.tv_nsec);
    return v;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// An unnamed file in the folder (O_TMPFILE): it disappears with its descriptor unless
// it is given a name, so a writer killed before that leaves nothing. -1 when the file
// system cannot make one, or when /proc (through which it is named) is missing: the
// caller then writes under a temporary name.
int OpenUnnamed(const std::string& folder, mode_t mode) {
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (!canName) return -1;
    return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
}

// Gives the unnamed file of the descriptor the name `path`, which must not exist: 0 when
// done, else the system's error number (EEXIST when the name is taken).
int NameUnnamed(int fd, const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

} // namespace

bool FileVersion::SameAs(const FileVersion& o) const {
    return device == o.device && inode == o.inode && size == o.size && modifiedSec == o.modifiedSec &&
           modifiedNsec == o.modifiedNsec && changedSec == o.changedSec && changedNsec == o.changedNsec;
}

bool IFileSystem::VersionOf(const std::string&, FileVersion&) const { return false; }

bool IFileSystem::ReadFileVersion(const std::string& path, std::string& content, FileVersion& version) const {
    version = {};
    return ReadFile(path, content);
}

bool PosixFileSystem::Exists(const std::string& path) const {
    if (path.empty()) return false;
    struct stat st;
    return ::access(path.c_str(), F_OK) == 0 && ::stat(path.c_str(), &st) == 0;
}

bool PosixFileSystem::IsDirectory(const std::string& path) const {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::CreateFolder(const std::string& path) {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool PosixFileSystem::ListFolder(const std::string& path, std::vector<std::string>& names) const {
    names.clear();
    DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return true;
}

bool PosixFileSystem::CopyNoOverwrite(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return false;
    struct stat st;
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::access(to.c_str(), F_OK) == 0) return false;
    // Written into an unnamed file, or else under a hidden name, and published under the
    // target name when complete.
    std::string working;
    int raw = OpenUnnamed(FolderOf(to), st.st_mode & 0777);
    const bool unnamed = raw >= 0;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        working = HiddenWorkingName(to);
        raw = ::open(working.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
        if (raw < 0 && errno != EEXIST) return false;
    }
    if (raw < 0) return false;
    Fd out(raw);
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (!WriteAll(out.get(), buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    if (unnamed) {
        if (ok) ok = NameUnnamed(out.get(), to) == 0;
        if (::close(out.release()) != 0) ok = false;
        return ok;
    }
    if (::close(out.release()) != 0) ok = false;
    if (ok) ok = PublishNoReplace(working, to) == 0;
    if (!ok) ::unlink(working.c_str());
    return ok;
}

bool PosixFileSystem::CreateNew(const std::string& path, int* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error) *error = errno;
        return false;
    }
    ::close(fd);
    return true;
}

int PosixFileSystem::PublishNoReplace(const std::string& from, const std::string& to) {
    // One step where the file system offers it: the name appears with the whole file.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // File systems without that flag (some network and user-space ones): a second name
    // for the complete file, which also refuses an existing name, then the first name
    // goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
    // Neither (file systems without hard links): the name is claimed first, so nothing
    // existing is replaced; the complete file then takes the claimed name's place.
    const int claimed = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claimed < 0) return errno;
    ::close(claimed);
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(to.c_str());
    return error;
}

std::string HiddenWorkingName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // "<name>.tmp<pid>-<letters>" gives the writer's id and the random letters.
    const std::string temporary = TemporaryNameFor(name);
    return folder + "." + name + "." + temporary.substr(name.size() + 4) + ".part";
}

bool PosixFileSystem::Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || ::rmdir(path.c_str()) == 0;
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::ReadFile(const std::string& path, std::string& content) const {
    content.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.get() >= 0 && ReadAll(fd.get(), content);
}

bool PosixFileSystem::VersionOf(const std::string& path, FileVersion& version) const {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    version = VersionFrom(st);
    return true;
}

bool PosixFileSystem::ReadFileVersion(const std::string& path, std::string& content, FileVersion& version) const {
    content.clear();
    version = {};
    // Taken before the read: a write after this moment gets times no earlier than it,
    // less the kernel's clock tick and the file system's time granularity.
    timespec start{};
    ::clock_gettime(CLOCK_REALTIME, &start);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat before, after;
    if (::fstat(fd.get(), &before) != 0) return false;
    if (!ReadAll(fd.get(), content)) return false;
    if (::fstat(fd.get(), &after) != 0) return false;
    version = VersionFrom(after);
    const timespec& latest =
        (after.st_ctim.tv_sec > after.st_mtim.tv_sec ||
         (after.st_ctim.tv_sec == after.st_mtim.tv_sec && after.st_ctim.tv_nsec >= after.st_mtim.tv_nsec))
            ? after.st_ctim
            : after.st_mtim;
    const bool old = latest.tv_sec + kSettleSeconds < start.tv_sec;
    // Unchanged during the read, a plain file, and every byte of it read.
    version.settled = old && S_ISREG(after.st_mode) && VersionFrom(before).SameAs(version) &&
                      static_cast<std::int64_t>(content.size()) == version.size;
    return true;
}

bool PosixFileSystem::WriteFileAtomic(const std::string& path, const std::string& content) {
    // Keep the permissions of the file being replaced; new files get the usual 0666 & ~umask.
    mode_t mode = 0666;
    struct stat st;
    bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed) mode = st.st_mode & 0777;

    // The content goes into an unnamed file where the file system allows it: a writer
    // killed while writing or flushing leaves nothing. It is named (with this process's
    // id in the name, so a later start can tell it is nobody's) only for the rename.
    std::string temp;
    int raw = OpenUnnamed(FolderOf(path), existed ? 0600 : mode);
    const bool unnamed = raw >= 0;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        temp = TemporaryNameFor(path);
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? 0600 : mode);
        if (raw < 0 && errno != EEXIST) return false;
    }
    if (raw < 0) return false;
    Fd fd(raw);
    bool ok = WriteAll(fd.get(), content.data(), content.size());
    if (ok && existed) ok = ::fchmod(fd.get(), mode) == 0;
    if (ok) ok = ::fsync(fd.get()) == 0;
    if (ok && unnamed) {
        int named = EEXIST;
        for (int attempt = 0; attempt < 16 && named == EEXIST; ++attempt) {
            temp = TemporaryNameFor(path);
            named = NameUnnamed(fd.get(), temp);
        }
        ok = named == 0;
        if (!ok) temp.clear();
    }
    if (::close(fd.release()) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (!temp.empty()) ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    Fd dir(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

bool CreateFolderPath(const std::string& path) {
    auto& fs = FileSystem();
    if (path.empty() || path.size() >= PATH_MAX) return false;
    if (fs.Exists(path)) return fs.IsDirectory(path);
    std::string folder = path;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    // Levels that exist already refuse to be created again; that is fine.
    for (size_t i = 1; i < folder.size(); ++i)
        if (folder[i] == '/') fs.CreateFolder(folder.substr(0, i));
    fs.CreateFolder(folder);
    return fs.IsDirectory(path);
}

std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

} // namespace platform
