#include "app/DataFiles.h"

#include "output/FileNaming.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"

namespace app {

std::string ProgramFolder() { return settings::ProgramFolder(); }
void SetProgramFolder(const std::string& folder) { settings::SetProgramFolder(folder); }
std::string UserFolder() { return settings::UserFolder(); }

std::string WorkingImageFolder() {
    std::string folder = UserFolder() + "TempImage/";
    output::CreateDirectoryPath(folder);
    return folder;
}

std::string PicturesFolderPath() { return settings::PicturesFolderPath(); }
std::string SkinImageFolder() { return ProgramFolder() + "pics/"; }
std::string HelpFolder() { return ProgramFolder() + "help/"; }
std::string ProductFilePath() { return settings::ProductFilePath(); }
std::string SettingsTemplatePath() { return settings::SettingsTemplatePath(); }
std::string DefaultsFilePath() { return settings::DefaultsFilePath(); }
std::string IdFilePath() { return settings::IdFilePath(); }
std::string MappingFilePath() { return settings::MappingFilePath(); }
std::string TextFilePath() { return settings::TextFilePath(); }
std::string UserProductFilePath() { return settings::UserProductFilePath(); }
std::string UserSettingsFilePath() { return settings::UserSettingsFilePath(); }

std::string ReadProductValue(const std::string& section, const std::string& key) {
    return settings::ReadProductValue(section, key);
}

std::string ReadCurrentSourceName() { return settings::ReadCurrentSourceName(); }
std::string CurrentSourceName() { return settings::CurrentSourceName(); }
bool SetCurrentSource(const std::string& name) { return settings::SetCurrentSource(name); }

void BindSettingsFile() { settings::SetSettingsFileLocator([] { return settings::UserSettingsFilePath(); }); }

} // namespace app
