#include "scancontrol/sane/ReaderThreads.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace scancontrol::sanectl {

std::vector<long> ThreadIds() {
    std::vector<long> ids;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] >= '0' && e->d_name[0] <= '9') ids.push_back(std::strtol(e->d_name, nullptr, 10));
        ::closedir(d);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::string ThreadName(long id) {
    const std::string path = "/proc/self/task/" + std::to_string(id) + "/comm";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[64] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return {};
    std::string name(text, static_cast<size_t>(got));
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

std::vector<long> ReadersStartedHere(const std::vector<long>& before, const std::vector<long>& now) {
    std::vector<long> added;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
    const std::string mine = ThreadName(::gettid());
    if (mine.empty()) return added;
    std::vector<long> readers;
    for (long id : added) {
        const std::string name = ThreadName(id);
        if (name.empty() || name == mine) readers.push_back(id);
    }
    return readers;
}

ThreadPlace PlaceOf(long id) {
    const std::string path = "/proc/self/task/" + std::to_string(id) + "/syscall";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ThreadPlace::Gone : ThreadPlace::Unknown;
    char text[64] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    const int readError = errno;
    ::close(fd);
    if (got < 0) return readError == ESRCH ? ThreadPlace::Gone : ThreadPlace::Unknown;
    if (got == 0) return ThreadPlace::Gone;
    if (std::strncmp(text, "running", 7) == 0) return ThreadPlace::Busy;
    char* end = nullptr;
    const long call = std::strtol(text, &end, 10);
    if (end == text) return ThreadPlace::Unknown;
    // -1: asleep outside a system call (a page fault); a futex: waiting for a lock.
    return call < 0 || call == SYS_futex ? ThreadPlace::Busy : ThreadPlace::Waiting;
}

} // namespace scancontrol::sanectl
