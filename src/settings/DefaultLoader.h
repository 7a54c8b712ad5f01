#pragma once
// Default destination records, built from Def.dat and, for scanners of the common
// driver family, from the scanner's own current capability values.

#include "settings/Records.h"

namespace settings {

class IF_DefaultSettingLoader {
public:
    virtual ~IF_DefaultSettingLoader() = default;
    virtual void LoadApplication1Defaults(AppElements& record) = 0;
    virtual void LoadApplication2Defaults(AppElements& record) = 0;
    virtual void LoadFolderDefaults(FolderElements& record) = 0;
    virtual void LoadFaxDefaults(FaxElements& record) = 0;
    // Fills the common fields from the named section of Def.dat.
    virtual void LoadCommonDefaults(CommonSetting& record, const std::string& section) = 0;
};

// Driver kind 0: everything from Def.dat.
class DefaultSettingLoader : public IF_DefaultSettingLoader {
public:
    void LoadApplication1Defaults(AppElements& record) override;
    void LoadApplication2Defaults(AppElements& record) override;
    void LoadFolderDefaults(FolderElements& record) override;
    void LoadFaxDefaults(FaxElements& record) override;
    void LoadCommonDefaults(CommonSetting& record, const std::string& section) override;
private:
    void LoadApplicationDefaults(AppElements& record, const std::string& section);
};

// Other driver kinds: scan method, colour, paper, save type and resolution from the
// scanner's defaults; folder, name, driver flag, compressions from Def.dat.
class DefaultSettingLoaderCommon : public DefaultSettingLoader {
public:
    void LoadCommonDefaults(CommonSetting& record, const std::string& section) override;
};

// The defaults record of a destination section ("Application1", "Application2",
// "Folder", anything else: "Fax"), loaded with the given loader.
std::unique_ptr<CommonSetting> LoadDefaultsFor(IF_DefaultSettingLoader& loader, const std::string& section);

} // namespace settings
