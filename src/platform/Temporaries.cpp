#include "platform/Temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <random>

namespace platform {
namespace {

constexpr int kSuffixLetters = 6;
// Earlier versions' whole-file replacements carry no process id; none took this long.
constexpr time_t kLegacyTemporaryAge = 10 * 60;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSuffixLetter(char c) { return (c >= 'a' && c <= 'z') || IsDigit(c); }

std::string RandomLetters() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string letters(kSuffixLetters, 'a');
    for (char& c : letters) c = kLetters[random() % (sizeof kLetters - 1)];
    return letters;
}

// The process id of "<pid>-<6 letters>" starting at `at` and ending at `end`; 0 when the
// text there is not of that form.
long PidAt(const std::string& name, size_t at, size_t end) {
    if (end > name.size() || end < at + kSuffixLetters + 2) return 0;
    const size_t dash = end - kSuffixLetters - 1;
    if (name[dash] != '-') return 0;
    for (size_t i = dash + 1; i < end; ++i)
        if (!IsSuffixLetter(name[i])) return 0;
    if (dash == at || dash - at > 9) return 0;
    long pid = 0;
    for (size_t i = at; i < dash; ++i) {
        if (!IsDigit(name[i])) return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

// "<name>.tmp<digits>" with nothing after the digits: an earlier version's replacement.
bool IsLegacyTemporary(const std::string& name) {
    const size_t tmp = name.rfind(".tmp");
    if (tmp == std::string::npos || tmp == 0 || tmp + 4 == name.size()) return false;
    for (size_t i = tmp + 4; i < name.size(); ++i)
        if (!IsDigit(name[i])) return false;
    return true;
}

// The process id of ".<name>.<pid>-<letters>.part..."; 0 for other names.
long WriterOfWorkingFile(const std::string& name) {
    if (name.empty() || name[0] != '.') return 0;
    for (size_t part = name.find(".part"); part != std::string::npos; part = name.find(".part", part + 1)) {
        const size_t dot = name.rfind('.', part - 1);
        if (dot == std::string::npos || dot == 0) continue;
        if (const long pid = PidAt(name, dot + 1, part)) return pid;
    }
    return 0;
}

int Sweep(const std::string& folder, bool replacements) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    const int dirFd = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long pid = replacements ? WriterOfTemporary(name) : WriterOfWorkingFile(name);
        const bool legacy = replacements && pid == 0 && IsLegacyTemporary(name);
        if (pid == 0 && !legacy) continue;
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (pid != 0 && !ProcessIsGone(pid)) continue;
        if (legacy && now - st.st_mtime < kLegacyTemporaryAge) continue;
        if (::unlinkat(dirFd, name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace

std::string TemporaryNameFor(const std::string& path) {
    return path + ".tmp" + std::to_string(::getpid()) + "-" + RandomLetters();
}

long WriterOfTemporary(const std::string& name) {
    // "<path>.tmp<pid>-<letters>" at the end of the name.
    const size_t tmp = name.rfind(".tmp");
    if (tmp != std::string::npos && tmp > 0) {
        if (const long pid = PidAt(name, tmp + 4, name.size())) return pid;
    }
    // ".<name>.<pid>-<letters>.part", possibly followed by more.
    return WriterOfWorkingFile(name);
}

bool ProcessIsGone(long pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int SweepOrphanedTemporaries(const std::string& folder) { return Sweep(folder, true); }

int SweepOrphanedWorkingFiles(const std::string& folder) { return Sweep(folder, false); }

bool JoinSharedFolder(const std::string& folder, const std::function<bool(const std::string& name)>& isLeftover) {
    static std::mutex lock;
    static auto* joined = new std::map<std::string, int>; // folder -> lock descriptor, kept open
    std::lock_guard<std::mutex> guard(lock);
    std::string key = folder;
    if (!key.empty() && key.back() != '/') key += '/';
    if (joined->count(key)) return true;
    const std::string lockPath = key + ".users.lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // No other process uses the folder: whatever of ours is in it, nobody writes.
        if (DIR* dir = ::opendir(key.c_str())) {
            const int dirFd = ::dirfd(dir);
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                struct stat st;
                if (name == ".users.lock" || !isLeftover(name)) continue;
                if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
                    ::unlinkat(dirFd, name.c_str(), 0);
            }
            ::closedir(dir);
        }
    }
    // Shared from now on; waits only while another process sweeps.
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) {}
    (*joined)[key] = fd;
    return true;
}

} // namespace platform
