#pragma once
// The source manager's listing of sources (EnumerateSources). On Linux the
// source manager is SANE: Manufacturer = the SANE vendor, ProductFamily = the SANE model,
// ProductName = the SANE device name (what `scanimage -d` takes).

#include <memory>
#include <string>
#include <vector>

namespace scancontrol {

struct SourceEntry {
    std::string manufacturer;
    std::string productFamily;
    std::string productName;
};

struct SourceListing {
    int status = 1;  // 1 done, 2 source manager missing (SANE could not be initialised)
    std::vector<SourceEntry> sources;
};

class ISourceManager {
public:
    virtual ~ISourceManager() = default;
    // May block while backends probe for devices; call it where that is acceptable.
    virtual SourceListing EnumerateSources() = 0;
};

} // namespace scancontrol
