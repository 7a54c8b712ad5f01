#include "platform/NamedSemaphore.h"

#include "platform/SharedObjects.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>

#include <climits>

namespace platform {

std::string PosixObjectName(const std::string& name) {
    std::string result = "/";
    for (char c : name) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '.';
        result += keep ? c : '_';
    }
    // Semaphore names live as "sem.<name>" files: leave room for the prefix.
    const size_t limit = NAME_MAX - 4;
    if (result.size() > limit) result.resize(limit);
    return result;
}

NamedSemaphore::NamedSemaphore(const std::string& name, unsigned initialCount, bool anyAccount)
    : posixName_(PosixObjectName(name)) {
    mode_t mode = anyAccount ? 0666 : 0600;
    sem_t* sem = SEM_FAILED;
    {
        std::lock_guard<std::mutex> guard(SemaphoreTableLock());
        sem = ::sem_open(posixName_.c_str(), O_CREAT, mode, initialCount);
    }
    if (sem == SEM_FAILED) return;
    handle_ = sem;
    // sem_open applies the umask; widen the mode of the backing file when every account
    // must be able to open it.
    if (anyAccount) ::chmod(("/dev/shm/sem." + posixName_.substr(1)).c_str(), 0666);
}

NamedSemaphore::~NamedSemaphore() {
    if (!handle_) return;
    {
        std::lock_guard<std::mutex> guard(SemaphoreTableLock());
        ::sem_close(static_cast<sem_t*>(handle_));
    }
    ::sem_unlink(posixName_.c_str());
}

bool NamedSemaphoreExists(const std::string& name) {
    std::lock_guard<std::mutex> guard(SemaphoreTableLock());
    sem_t* sem = ::sem_open(PosixObjectName(name).c_str(), 0);
    if (sem == SEM_FAILED) return false;
    ::sem_close(sem);
    return true;
}

} // namespace platform
