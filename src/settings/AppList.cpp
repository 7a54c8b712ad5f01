#include "settings/AppList.h"

#include <stdexcept>

#include "platform/Services.h"
#include "settings/DataTranslator.h"
#include "settings/IniStorage.h"
#include "settings/Placeholders.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace settings {
namespace {

const char kListKey[] = "ListMapping";
const char kGoneError[] = "Not existed id in AppLaunchInfo list";

std::string TrimBlanks(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

} // namespace

AppListProvider::AppListProvider(std::string section, std::string settingsFile) : section_(std::move(section)) {
    if (settingsFile.empty()) settingsFile = GetSettingsHandler().FilePath();
    readFile_ = settingsFile;
    writeFile_ = settingsFile;
    maxCount_ = DecimalToInt(ReadProfileString(DefaultsFilePath(), "Config", "MaxAppListCount"));
}

std::vector<std::shared_ptr<AppLaunchInfo>> AppListProvider::Parse(const std::string& text) {
    std::vector<std::shared_ptr<AppLaunchInfo>> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t a = text.find('|', pos);
        if (a == std::string::npos) break;
        size_t b = text.find('|', a + 1);
        if (b == std::string::npos) break;
        size_t c = text.find('|', b + 1);
        if (c == std::string::npos) break;
        entries.push_back(std::make_shared<AppLaunchInfo>(DecimalToInt(text.substr(pos, a - pos)),
                                                          text.substr(a + 1, b - a - 1),
                                                          ExpandPlaceholders(text.substr(b + 1, c - b - 1))));
        pos = c + 1;
    }
    return entries;
}

std::string AppListProvider::Format(const std::vector<std::shared_ptr<AppLaunchInfo>>& entries) {
    std::string text;
    for (const auto& e : entries) text += std::to_string(e->GetId()) + "|" + e->GetTitle() + "|" + e->GetPath() + "|";
    return text;
}

void AppListProvider::Reload() {
    std::string file = platform::FileSystem().Exists(readFile_) ? readFile_ : DefaultsFilePath();
    entries_ = Parse(ReadProfileStringWhole(file, section_, kListKey));
}

bool AppListProvider::Save() {
    bool ok = WriteProfileString(writeFile_, section_, kListKey, Format(entries_));
    readFile_ = writeFile_;
    return ok;
}

bool AppListProvider::SaveOrReload() {
    if (Save()) return true;
    Reload();
    return false;
}

std::shared_ptr<AppLaunchInfo> AppListProvider::Find(int id) {
    Reload();
    for (const auto& e : entries_)
        if (e->GetId() == id) return e;
    return nullptr;
}

std::shared_ptr<AppLaunchInfo> AppListProvider::GetById(int id) {
    if (id == 0) return std::make_shared<NullAppLaunchInfo>();
    auto entry = Find(id);
    if (!entry) throw std::invalid_argument(kGoneError);
    return entry;
}

std::vector<std::pair<std::string, std::string>> AppListProvider::GetTitleList() {
    Reload();
    std::vector<std::pair<std::string, std::string>> list;
    for (const auto& e : entries_) list.emplace_back(std::to_string(e->GetId()), e->GetTitle());
    return list;
}

bool AppListProvider::TitleInUse(const AppLaunchInfo& entry) const {
    for (const auto& e : entries_)
        if (e->GetTitle() == entry.GetTitle() && e->GetId() != entry.GetId()) return true;
    return false;
}

// The checks Add and Modify share, in their order.
int AppListProvider::CheckEntry(const AppLaunchInfo& entry) const {
    if (TitleInUse(entry)) return kAppListTitleInUse;
    if (entry.GetTitle().find('|') != std::string::npos) return kAppListBarInTitle;
    if (TrimBlanks(entry.GetTitle()).empty()) return kAppListEmptyTitle;
    // A '|' in the path would break the stored list just as one in the title would.
    if (entry.GetPath().empty() || entry.GetPath().find('|') != std::string::npos ||
        !platform::FileSystem().Exists(entry.GetPath()))
        return kAppListBadPath;
    return kAppListDone;
}

int AppListProvider::Add(AppLaunchInfo& entry) {
    Reload();
    if (Count() >= maxCount_) return kAppListFull;
    int check = CheckEntry(entry);
    if (check != kAppListDone) return check;
    auto added = std::make_shared<AppLaunchInfo>(entry);
    added->SetId(entries_.empty() ? 1 : entries_.back()->GetId() + 1);
    entries_.push_back(added);
    if (!SaveOrReload()) return kAppListNotSaved;
    entry.SetId(added->GetId());
    return kAppListDone;
}

int AppListProvider::Modify(const AppLaunchInfo& entry) {
    Reload();
    int check = CheckEntry(entry);
    if (check != kAppListDone) return check;
    std::shared_ptr<AppLaunchInfo> target;
    for (const auto& e : entries_)
        if (e->GetId() == entry.GetId()) {
            target = e;
            break;
        }
    if (!target) throw std::invalid_argument(kGoneError);
    target->SetTitle(entry.GetTitle());
    target->SetPath(entry.GetPath());
    return SaveOrReload() ? kAppListDone : kAppListNotSaved;
}

bool AppListProvider::Remove(int id) {
    Reload();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if ((*it)->GetId() == id) {
            entries_.erase(it);
            break;
        }
    return SaveOrReload();
}

std::string AppOperateAddMode::GetCaption() const { return ReadUIText("AM_Add_Title"); }

int AppOperateAddMode::Apply(const std::string& title, const std::string& path) {
    AppLaunchInfo entry(0, title, path);
    return provider_->Add(entry);
}

std::string AppOperateModifyMode::GetCaption() const { return ReadUIText("AM_Modify_Title"); }

int AppOperateModifyMode::Apply(const std::string& title, const std::string& path) {
    try {
        return provider_->Modify(AppLaunchInfo(id_, title, path));
    } catch (const std::invalid_argument&) {
        return kAppListGone;
    }
}

std::string AppOperateModifyMode::GetInitialTitle() const {
    auto entry = provider_->Find(id_);
    return entry ? entry->GetTitle() : std::string();
}

std::string AppOperateModifyMode::GetInitialPath() const {
    auto entry = provider_->Find(id_);
    return entry ? entry->GetPath() : std::string();
}

} // namespace settings
