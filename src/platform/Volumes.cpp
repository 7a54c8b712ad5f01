#include "platform/Volumes.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <atomic>

namespace platform {
namespace {

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

std::shared_ptr<IVolumes>& Slot() {
    static std::shared_ptr<IVolumes> slot = std::make_shared<PosixVolumes>();
    return slot;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool PosixVolumes::VolumeOf(const std::string& path, VolumeInfo& info) const {
    struct statvfs vfs {};
    struct statfs fs {};
    if (::statvfs(path.c_str(), &vfs) != 0 || ::statfs(path.c_str(), &fs) != 0) return false;
    info.readOnly = (vfs.f_flag & ST_RDONLY) != 0;
    const long type = static_cast<long>(fs.f_type);
    info.discLike = type == kIso9660Magic || type == kUdfMagic;
    return true;
}

const IVolumes& Volumes() { return *std::atomic_load(&Slot()); }

void SetVolumes(std::shared_ptr<IVolumes> volumes) {
    if (!volumes) volumes = std::make_shared<PosixVolumes>();
    std::atomic_store(&Slot(), std::move(volumes));
}

std::string NearestExistingFolder(const std::string& path) {
    if (path.empty() || path[0] != '/') return {};
    std::string candidate = path;
    while (!candidate.empty()) {
        while (candidate.size() > 1 && candidate.back() == '/') candidate.pop_back();
        if (IsFolder(candidate)) return candidate == "/" ? candidate : candidate + '/';
        const size_t slash = candidate.rfind('/');
        if (slash == std::string::npos) break;
        candidate.erase(slash == 0 ? 1 : slash);
        if (candidate == "/") return "/";
    }
    return "/";
}

} // namespace platform
