#include "settings/ProductData.h"

#include <mutex>
#include <set>
#include <string>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Services.h"
#include "platform/Temporaries.h"
#include "settings/Profile.h"

namespace settings {
namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}

struct CurrentSource {
    bool loaded = false;
    std::string name;
};
CurrentSource& Current() {
    static CurrentSource current;
    return current;
}

const char* const kDestinationSections[] = {"Application1", "Application2", "Folder", "Email", "Fax"};

// Once per process and folder: the replacements of Sets.dat and Prdct.dat a killed
// program left in the user folder are removed.
void SweepOnce(const std::string& folder) {
    static std::mutex lock;
    static auto* swept = new std::set<std::string>;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!swept->insert(folder).second) return;
    }
    platform::SweepOrphanedTemporaries(folder);
}

// Files of the working-image folder: pages the scanning control writes and the encoders
// take, their converted copies and the dispatch's temporary file.
bool IsWorkingImage(const std::string& name) {
    for (const char* prefix : {"~ImageTempFile", ".~ImageTempFile", "~temp"})
        if (name.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    return false;
}

// A stored save folder that names the destination's default needs no folder of its own.
bool NamesDefaultFolder(const std::string& folder) { return folder.empty() || folder == "default"; }

} // namespace

std::string ProgramFolder() {
    {
        std::lock_guard<std::mutex> guard(Lock());
        if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
    }
    std::string folder = platform::ExecutableFolder();
    // A program whose own path cannot be resolved cannot find any of its data.
    if (folder.empty()) throw std::runtime_error("cannot resolve the program folder");
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(Lock());
    ProgramFolderOverride() = folder.empty() ? folder : platform::WithSlash(folder);
}

std::string ProductFilePath() { return ProgramFolder() + "Prdct.dat"; }
std::string SettingsTemplatePath() { return ProgramFolder() + "Sets.dat"; }
std::string DefaultsFilePath() { return ProgramFolder() + "Def.dat"; }
std::string IdFilePath() { return ProgramFolder() + "Id.dat"; }
std::string MappingFilePath() { return ProgramFolder() + "Mapping.dat"; }
std::string TextFilePath() { return ProgramFolder() + "Str.dat"; }

std::string ReadProductValue(const std::string& section, const std::string& key) {
    return ReadProfileString(ProductFilePath(), section, key, "");
}

std::string ReadUIText(const std::string& key) { return ReadProfileString(TextFilePath(), "UIString", key, ""); }

std::string UserFolder() {
    std::string company = ReadProductValue("Common", "CompanyPathSection");
    // A company name must stay one folder below the configuration folder.
    if (company.empty() || company == "." || company == ".." || company.find('/') != std::string::npos)
        company = "scanner-utility";
    std::string folder = platform::ConfigHomeFolder() + company + "/";
    platform::CreateFolderPath(folder);
    folder += "Quorin/";
    platform::CreateFolderPath(folder);
    SweepOnce(folder);
    return folder;
}

std::string WorkingImageFolder() {
    std::string folder = UserFolder() + "TempImage/";
    platform::CreateFolderPath(folder);
    // Pages have no writer's id in their names: the folder is cleaned by the first of its
    // users to find no other, and every process that works in it says so until it ends.
    platform::JoinSharedFolder(folder, IsWorkingImage);
    platform::SweepOrphanedTemporaries(folder);
    return folder;
}

std::string SkinImageFolder() { return ProgramFolder() + "pics/"; }
std::string HelpFolder() { return ProgramFolder() + "help/"; }

std::string PicturesFolderPath() {
    std::string folder = platform::PicturesFolder();
    if (folder.empty()) folder = platform::WithSlash(platform::HomeFolder(platform::Environment()));
    return folder;
}

std::string UserProductFilePath() {
    std::string user = UserFolder() + "Prdct.dat";
    auto& fs = platform::FileSystem();
    if (!fs.Exists(user)) fs.CopyNoOverwrite(ProductFilePath(), user);
    return user;
}

std::string UserSettingsFilePath() {
    auto& fs = platform::FileSystem();
    const std::string user = UserFolder() + "Sets.dat";
    const std::string templ = SettingsTemplatePath();
    const std::string defaults = DefaultsFilePath();
    if (!fs.Exists(user) && fs.Exists(templ) && fs.CopyNoOverwrite(templ, user)) {
        for (const char* section : {"Application1", "Application2"})
            WriteProfileString(user, section, "ListMapping", ReadProfileStringWhole(defaults, section, "ListMapping"));
        for (const char* section : kDestinationSections) {
            std::string folder = ReadProfileString(user, section, "Savefolder");
            // "default" (or nothing) means the destination's default folder, which the
            // settings resolve when they load; it is not a folder to create. Only an
            // absolute path can be made to exist: a relative one would land wherever the
            // program happens to run.
            if (NamesDefaultFolder(folder)) continue;
            if (folder[0] == '/' && platform::CreateFolderPath(folder)) continue;
            WriteProfileString(user, section, "Savefolder", ReadProfileString(defaults, section, "Savefolder"));
        }
    }
    if (!fs.Exists(user)) fs.WriteFileAtomic(user, "");
    if (fs.Exists(user)) {
        for (const char* section : {"Application1", "Application2"}) {
            auto keys = ListProfileKeys(user, section);
            bool present = false;
            for (const auto& k : keys) present = present || EqualsNoCase(k, "ListMapping");
            if (!present)
                WriteProfileString(user, section, "ListMapping",
                                   ReadProfileStringWhole(defaults, section, "ListMapping"));
        }
    }
    return user;
}

std::string ReadCurrentSourceName() { return ReadProfileString(UserProductFilePath(), "Common", "SourceName"); }

std::string CurrentSourceName() {
    {
        std::lock_guard<std::mutex> guard(Lock());
        if (Current().loaded) return Current().name;
    }
    std::string name = ReadCurrentSourceName();
    std::lock_guard<std::mutex> guard(Lock());
    if (!Current().loaded) {
        Current().name = name;
        Current().loaded = true;
    }
    return Current().name;
}

bool SetCurrentSource(const std::string& name) {
    {
        std::lock_guard<std::mutex> guard(Lock());
        Current().name = name;
        Current().loaded = true;
    }
    return WriteProfileString(UserProductFilePath(), "Common", "SourceName", name);
}

void ForgetCurrentSourceName() {
    std::lock_guard<std::mutex> guard(Lock());
    Current() = CurrentSource{};
}

} // namespace settings
