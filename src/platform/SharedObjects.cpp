#include "platform/SharedObjects.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "platform/NamedSemaphore.h"

namespace platform {
namespace {

sem_t* Sem(SemaphoreHandle handle) { return static_cast<sem_t*>(handle); }

// glibc keeps a named semaphore as the file "sem.<name>" in /dev/shm, a shared memory
// block as "<name>".
bool OwnedByUs(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && info.st_uid == ::geteuid();
}
std::string SemaphoreFile(const std::string& systemName) { return "/dev/shm/sem." + systemName.substr(1); }

} // namespace

std::mutex& SemaphoreTableLock() {
    static std::mutex lock;
    return lock;
}

std::string UserObjectName(const std::string& name) {
    const std::string suffix = "." + std::to_string(::geteuid());
    std::string result = PosixObjectName(name);
    // Leave room for the suffix within the system's limit (semaphores carry a "sem."
    // prefix in their file name).
    const size_t limit = NAME_MAX - 4;
    if (result.size() + suffix.size() > limit) result.resize(limit - suffix.size());
    return result + suffix;
}

SemaphoreHandle CreateUserSemaphore(const std::string& name, unsigned initialCount, bool* created) {
    const std::string systemName = UserObjectName(name);
    if (created) *created = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        sem_t* sem = SEM_FAILED;
        {
            std::lock_guard<std::mutex> guard(SemaphoreTableLock());
            sem = ::sem_open(systemName.c_str(), O_CREAT | O_EXCL, 0600, initialCount);
        }
        if (sem != SEM_FAILED) {
            if (created) *created = true;
            return sem;
        }
        if (errno != EEXIST) return nullptr;
        if (SemaphoreHandle existing = OpenUserSemaphore(name)) return existing;
        if (UserSemaphoreExists(name)) return nullptr; // there, but not ours
        // Removed between the two calls: try again.
    }
    return nullptr;
}

SemaphoreHandle OpenUserSemaphore(const std::string& name) {
    const std::string systemName = UserObjectName(name);
    if (!OwnedByUs(SemaphoreFile(systemName))) return nullptr;
    std::lock_guard<std::mutex> guard(SemaphoreTableLock());
    sem_t* sem = ::sem_open(systemName.c_str(), 0);
    return sem == SEM_FAILED ? nullptr : sem;
}

void CloseSemaphore(SemaphoreHandle handle) {
    if (!handle) return;
    std::lock_guard<std::mutex> guard(SemaphoreTableLock());
    ::sem_close(Sem(handle));
}

bool RemoveUserSemaphore(const std::string& name) {
    const std::string systemName = UserObjectName(name);
    if (!OwnedByUs(SemaphoreFile(systemName))) return false;
    return ::sem_unlink(systemName.c_str()) == 0;
}

bool UserSemaphoreExists(const std::string& name) {
    struct stat info {};
    return ::stat(SemaphoreFile(UserObjectName(name)).c_str(), &info) == 0;
}

WaitResult WaitSemaphore(SemaphoreHandle handle, int timeoutMs) {
    if (!handle) return WaitResult::Failed;
    if (timeoutMs < 0) {
        while (::sem_wait(Sem(handle)) != 0)
            if (errno != EINTR) return WaitResult::Failed;
        return WaitResult::Signalled;
    }
    // A monotonic deadline: a change of the wall clock neither shortens nor lengthens
    // the wait.
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (::sem_clockwait(Sem(handle), CLOCK_MONOTONIC, &deadline) != 0) {
        if (errno == EINTR) continue;
        return errno == ETIMEDOUT ? WaitResult::TimedOut : WaitResult::Failed;
    }
    return WaitResult::Signalled;
}

bool SetEventSemaphore(SemaphoreHandle handle) {
    if (!handle) return false;
    int value = 0;
    if (::sem_getvalue(Sem(handle), &value) != 0) return false;
    return value > 0 || ::sem_post(Sem(handle)) == 0;
}

bool ResetEventSemaphore(SemaphoreHandle handle) {
    if (!handle) return false;
    while (::sem_trywait(Sem(handle)) == 0) {}
    return errno == EAGAIN;
}

bool PostSemaphore(SemaphoreHandle handle) { return handle && ::sem_post(Sem(handle)) == 0; }

int SemaphoreCount(SemaphoreHandle handle) {
    int value = -1;
    if (!handle || ::sem_getvalue(Sem(handle), &value) != 0) return -1;
    return value;
}

namespace {

bool MapBlock(int fd, std::size_t size, SharedBlock& block) {
    void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    block.descriptor = fd;
    block.view = static_cast<unsigned char*>(view);
    block.size = size;
    return true;
}

} // namespace

bool OpenUserSharedBlock(const std::string& name, std::size_t size, SharedBlock& block) {
    block = SharedBlock();
    const int fd = ::shm_open(UserObjectName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) return false;
    struct stat info {};
    // Mapping past the end of the object would fault on the first access.
    if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || info.st_size < static_cast<off_t>(size)) {
        ::close(fd);
        return false;
    }
    return MapBlock(fd, size, block);
}

bool CreateUserSharedBlock(const std::string& name, std::size_t size, SharedBlock& block) {
    block = SharedBlock();
    const int fd = ::shm_open(UserObjectName(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() ||
        (info.st_size < static_cast<off_t>(size) && ::ftruncate(fd, static_cast<off_t>(size)) != 0)) {
        ::close(fd);
        return false;
    }
    return MapBlock(fd, size, block);
}

void UnmapSharedBlock(SharedBlock& block) {
    if (block.view) ::munmap(block.view, block.size);
    if (block.descriptor >= 0) ::close(block.descriptor);
    block = SharedBlock();
}

bool RemoveUserSharedBlock(const std::string& name) { return ::shm_unlink(UserObjectName(name).c_str()) == 0; }

} // namespace platform

#include <sys/file.h>

#include <chrono>
#include <thread>

namespace platform {

int LockFile(const std::string& path, int timeoutMs) {
    // Not through a link: the folder may be the shared temporary folder.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd, timeoutMs < 0 ? LOCK_EX : LOCK_EX | LOCK_NB) == 0) return fd;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fd);
    return -1;
}

void UnlockFile(int descriptor) {
    if (descriptor < 0) return;
    ::flock(descriptor, LOCK_UN);
    ::close(descriptor);
}

} // namespace platform
