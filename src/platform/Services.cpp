#include "platform/Services.h"

#include <atomic>

namespace platform {
namespace {

// Services are installed before worker threads start and replaced only by tests, so
// shared_ptr copies under std::atomic_load keep readers safe without a lock.
std::shared_ptr<IFileSystem>& FsSlot() {
    static std::shared_ptr<IFileSystem> slot = std::make_shared<PosixFileSystem>();
    return slot;
}
std::shared_ptr<IClock>& ClockSlot() {
    static std::shared_ptr<IClock> slot = std::make_shared<SystemClock>();
    return slot;
}
std::shared_ptr<IEnvironment>& EnvSlot() {
    static std::shared_ptr<IEnvironment> slot = std::make_shared<ProcessEnvironment>();
    return slot;
}

} // namespace

IFileSystem& FileSystem() { return *std::atomic_load(&FsSlot()); }
const IClock& Clock() { return *std::atomic_load(&ClockSlot()); }
const IEnvironment& Environment() { return *std::atomic_load(&EnvSlot()); }

void SetFileSystem(std::shared_ptr<IFileSystem> fs) {
    if (!fs) fs = std::make_shared<PosixFileSystem>();
    std::atomic_store(&FsSlot(), std::move(fs));
}
void SetClock(std::shared_ptr<IClock> clock) {
    if (!clock) clock = std::make_shared<SystemClock>();
    std::atomic_store(&ClockSlot(), std::move(clock));
}
void SetEnvironment(std::shared_ptr<IEnvironment> env) {
    if (!env) env = std::make_shared<ProcessEnvironment>();
    std::atomic_store(&EnvSlot(), std::move(env));
}

} // namespace platform
