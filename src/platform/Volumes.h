#pragma once
// What the file system under a path can take: whether a path lies on a mounted file
// system at all, and whether that file system is read-only or one of the disc formats
// (ISO 9660, UDF) that never take writes.

#include <memory>
#include <string>

namespace platform {

struct VolumeInfo {
    bool readOnly = false; // mounted read-only (ST_RDONLY)
    bool discLike = false; // an ISO 9660 or UDF file system
};

class IVolumes {
public:
    virtual ~IVolumes() = default;
    // The file system holding `path`, which must exist; false when it cannot be asked.
    virtual bool VolumeOf(const std::string& path, VolumeInfo& info) const = 0;
};

// statvfs and statfs of the path.
class PosixVolumes : public IVolumes {
public:
    bool VolumeOf(const std::string& path, VolumeInfo& info) const override;
};

const IVolumes& Volumes();
void SetVolumes(std::shared_ptr<IVolumes> volumes); // nullptr restores the real one

// The longest leading part of an absolute path that exists (at least "/"), ending with
// '/'; empty for a path that is not absolute.
std::string NearestExistingFolder(const std::string& path);

} // namespace platform
