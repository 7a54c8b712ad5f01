#include "settings/IniStorage.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Services.h"
#include "platform/Text.h"
#include "settings/Profile.h"

namespace settings {

std::string IniSection::Read(const std::string& key, const std::string& fallback) const {
    return ReadProfileString(path_, section_, key, fallback);
}

bool IniSection::Write(const std::string& key, const std::string& value) const {
    return WriteProfileString(path_, section_, key, value);
}

bool IniHandler::OpenSection(const std::string& section) {
    current_ = IniSection(section, path_);
    return IsAvailable();
}

std::string IniHandler::ReadValue(const std::string& key) { return current_.Read(key, ""); }

bool IniHandler::WriteValue(const std::string& key, const std::string& value) { return current_.Write(key, value); }

bool IniHandler::IsAvailable() { return platform::FileSystem().Exists(path_); }

namespace {

const char kDefaultValueName[] = "@";

// The desktop's default mailto handler stands for the registry's default mail client.
std::string DesktopFallback(const std::string& subKey, const std::string& name) {
    if (!EqualsNoCase(subKey, "software\\clients\\mail") || !name.empty()) return {};
    std::string out;
    if (!platform::CaptureOutput({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, out, 2000)) return {};
    while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
    return out;
}

} // namespace

RegHandlerImp::RegHandlerImp() : RegHandlerImp(DefaultStoreFolder(), DesktopFallback) {}

RegHandlerImp::RegHandlerImp(std::string storeFolder, Fallback fallback)
    : folder_(platform::WithSlash(std::move(storeFolder))), fallback_(std::move(fallback)) {}

std::string RegHandlerImp::DefaultStoreFolder() { return platform::ConfigHomeFolder() + "scanner-utility/registry/"; }

std::string RegHandlerImp::FileFor(Root root) const {
    switch (root) {
        case Root::LocalMachine: return folder_ + "HKEY_LOCAL_MACHINE.ini";
        case Root::ClassesRoot: return folder_ + "HKEY_CLASSES_ROOT.ini";
        case Root::CurrentUser: break;
    }
    return folder_ + "HKEY_CURRENT_USER.ini";
}

bool RegHandlerImp::Open(Root root, const std::string& subKey) {
    if (subKey.find_first_of("\r\n]") != std::string::npos) return false;
    root_ = root;
    subKey_ = subKey;
    open_ = true;
    return true;
}

bool RegHandlerImp::CloseSection() {
    open_ = false;
    subKey_.clear();
    return true;
}

std::string RegHandlerImp::ReadValue(const std::string& name) {
    if (!open_) return {};
    std::string key = name.empty() ? kDefaultValueName : name;
    std::string value = ReadProfileString(FileFor(root_), subKey_, key, "");
    if (value.empty() && fallback_) value = fallback_(subKey_, name);
    return value;
}

bool RegHandlerImp::WriteValue(const std::string& name, const std::string& value) {
    if (!open_) return false;
    auto& fs = platform::FileSystem();
    // Create the store's folders on the first write.
    std::string path;
    for (size_t i = 1; i <= folder_.size(); ++i) {
        if (i == folder_.size() || folder_[i] == '/') {
            path = folder_.substr(0, i);
            if (!fs.IsDirectory(path)) fs.CreateFolder(path);
        }
    }
    return WriteProfileString(FileFor(root_), subKey_, name.empty() ? kDefaultValueName : name, value);
}

void CApiWrapper::ListSections(const std::string& file, std::vector<std::string>& names) const {
    for (auto& n : ListProfileSections(file)) names.push_back(std::move(n));
}

void CApiWrapper::ListKeys(const std::string& file, const std::string& section, std::vector<std::string>& names) const {
    for (auto& n : ListProfileKeys(file, section)) names.push_back(std::move(n));
}

int CApiWrapper::OsVersion() const {
    struct utsname info;
    if (::uname(&info) != 0) throw std::runtime_error("GetVersionEx Failed");
    return 5;
}

namespace {

struct SettingsHandlerSlot {
    std::mutex lock;
    SettingsFileLocator locator;
    std::unique_ptr<IniHandler> handler;
};

SettingsHandlerSlot& Slot() {
    static SettingsHandlerSlot slot;
    return slot;
}

} // namespace

void SetSettingsFileLocator(SettingsFileLocator locator) {
    auto& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    slot.locator = std::move(locator);
    slot.handler.reset();
}

IniHandler& GetSettingsHandler() {
    auto& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    if (!slot.handler) slot.handler = std::make_unique<IniHandler>(slot.locator ? slot.locator() : std::string());
    return *slot.handler;
}

void ResetSettingsHandler() {
    auto& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    slot.handler.reset();
}

bool ReadConfigFlag(const std::string& userFile, const std::string& defaultsFile, const std::string& section,
                    const std::string& key) {
    std::vector<std::string> keys;
    CApiWrapper::GetInstance().ListKeys(userFile, section, keys);
    bool inUserFile = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return EqualsNoCase(k, key); });
    std::string text = ReadProfileString(inUserFile ? userFile : defaultsFile, section, key, "");
    // The profile reader already trims blanks at both ends.
    return platform::AsciiLower(text) != "false";
}

bool WriteConfigFlag(const std::string& userFile, const std::string& section, const std::string& key, bool value) {
    return WriteProfileString(userFile, section, key, value ? "true" : "false");
}

} // namespace settings
