#include "app/DataFiles.h"

#include <mutex>
#include <stdexcept>

#include "output/FileNaming.h"
#include "platform/Folders.h"
#include "platform/Services.h"
#include "settings/Profile.h"

namespace app {
namespace {

std::mutex& OverrideLock() {
    static std::mutex lock;
    return lock;
}
std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}

} // namespace

std::string ProgramFolder() {
    {
        std::lock_guard<std::mutex> guard(OverrideLock());
        if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
    }
    std::string folder = platform::ExecutableFolder();
    // A program whose own path cannot be resolved cannot find any of its data.
    if (folder.empty()) throw std::runtime_error("cannot resolve the program folder");
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(OverrideLock());
    ProgramFolderOverride() = folder.empty() ? folder : platform::WithSlash(folder);
}

std::string UserFolder() {
    std::string company = ReadProductValue("Common", "CompanyPathSection");
    // A company name must stay one folder below the configuration folder.
    if (company.empty() || company == "." || company == ".." || company.find('/') != std::string::npos)
        company = "scanner-utility";
    std::string folder = platform::ConfigHomeFolder() + company + "/";
    output::CreateDirectoryPath(folder);
    folder += "Quorin/";
    output::CreateDirectoryPath(folder);
    return folder;
}

std::string WorkingImageFolder() {
    std::string folder = UserFolder() + "TempImage/";
    output::CreateDirectoryPath(folder);
    return folder;
}

std::string PicturesFolderPath() {
    std::string folder = platform::PicturesFolder();
    if (folder.empty()) folder = platform::HomeFolder(platform::Environment());
    return folder;
}

std::string SkinImageFolder() { return ProgramFolder() + "pics/"; }
std::string HelpFolder() { return ProgramFolder() + "help/"; }
std::string ProductFilePath() { return ProgramFolder() + "Prdct.dat"; }
std::string SettingsTemplatePath() { return ProgramFolder() + "Sets.dat"; }
std::string DefaultsFilePath() { return ProgramFolder() + "Def.dat"; }
std::string IdFilePath() { return ProgramFolder() + "Id.dat"; }
std::string MappingFilePath() { return ProgramFolder() + "Mapping.dat"; }
std::string TextFilePath() { return ProgramFolder() + "Str.dat"; }

std::string ReadProductValue(const std::string& section, const std::string& key) {
    return settings::ReadProfileString(ProductFilePath(), section, key, "");
}

} // namespace app
