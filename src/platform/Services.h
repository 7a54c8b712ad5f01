#pragma once
// The process-wide platform services the logic calls. Each accessor answers the real
// implementation unless a test has put another in place with ScopedService; there is
// no other hidden state.

#include <memory>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace platform {

IFileSystem& FileSystem();
const IClock& Clock();
const IEnvironment& Environment();

void SetFileSystem(std::shared_ptr<IFileSystem> fs); // nullptr restores the real one
void SetClock(std::shared_ptr<IClock> clock);
void SetEnvironment(std::shared_ptr<IEnvironment> env);

// Replaces one service for the lifetime of the object (tests).
template <typename Service>
class ScopedService {
public:
    explicit ScopedService(std::shared_ptr<Service> service) { Install(std::move(service)); }
    ~ScopedService() { Install(nullptr); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;
private:
    static void Install(std::shared_ptr<Service> s) {
        if constexpr (std::is_base_of_v<IFileSystem, Service>) SetFileSystem(std::move(s));
        else if constexpr (std::is_base_of_v<IClock, Service>) SetClock(std::move(s));
        else SetEnvironment(std::move(s));
    }
};

} // namespace platform
