#pragma once
// Named semaphores other processes can see, such as the scanner driver that checks
// whether a push scan is being served for its device.

#include <string>

namespace platform {

// The POSIX form of a kernel-object name: a leading '/', every character other than a
// letter, digit, '_', '-' or '.' replaced by '_', cut to the system's limit.
std::string PosixObjectName(const std::string& name);

// Creates (or opens, when it exists) a named semaphore for the lifetime of the object
// and removes the name when the object goes away.
class NamedSemaphore {
public:
    // anyAccount: every account may open it (mode 0666 regardless of the umask);
    // otherwise only ours (0600).
    NamedSemaphore(const std::string& name, unsigned initialCount, bool anyAccount);
    ~NamedSemaphore();
    NamedSemaphore(const NamedSemaphore&) = delete;
    NamedSemaphore& operator=(const NamedSemaphore&) = delete;
    bool IsValid() const { return handle_ != nullptr; }
    const std::string& PosixName() const { return posixName_; }
private:
    std::string posixName_;
    void* handle_ = nullptr;
};

// True when a semaphore of that (unmapped) name exists now.
bool NamedSemaphoreExists(const std::string& name);

} // namespace platform
