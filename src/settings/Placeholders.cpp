#include "settings/Placeholders.h"

#include <iterator>
#include <mutex>
#include <sstream>

#include "platform/DesktopEntry.h"
#include "platform/Environment.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Services.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"

namespace settings {
namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
PlaceholderTable& Table() {
    static PlaceholderTable table;
    return table;
}

std::vector<std::string> SplitPath(const std::string& list) {
    std::vector<std::string> parts;
    std::stringstream in(list);
    std::string part;
    while (std::getline(in, part, ':'))
        if (!part.empty() && part[0] == '/') parts.push_back(part);
    return parts;
}

// The absolute path of an executable program found on PATH; empty when none.
std::string FindOnPath(const std::string& program) {
    if (program.empty()) return {};
    if (program[0] == '/') return platform::IsOnPath(program) ? program : std::string();
    auto path = platform::Environment().Get("PATH");
    for (const auto& dir : SplitPath(path ? *path : "/usr/local/bin:/usr/bin:/bin")) {
        std::string candidate = platform::WithSlash(dir) + program;
        if (platform::FileSystem().Exists(candidate) && platform::IsOnPath(candidate)) return candidate;
    }
    return {};
}

std::string DefaultMailClient() {
    RegHandlerImp store;
    bool user = CApiWrapper::GetInstance().OsVersion() > 4 &&
                store.Open(RegHandlerImp::Root::CurrentUser, "software\\clients\\mail");
    if (!user && !store.Open(RegHandlerImp::Root::LocalMachine, "software\\clients\\mail")) return {};
    std::string value = store.ReadValue("");
    store.CloseSection();
    return value;
}

std::string MailClientOrNone() {
    try {
        return DefaultMailClient();
    } catch (const std::exception&) {
        return {}; // the system could not be classified: no mail client is known
    }
}

// The placeholders in table order, each with the rule that finds its value. Finding a
// value can be costly (the mail client asks the desktop through a helper program that
// starts dozens of processes), so each is found only when a text holds it.
struct Rule {
    const char* key;
    std::string (*find)();
};
const Rule kRules[] = {{"${MSPAINT}", DesktopImageProgram},
                       {"${CURRENT_USER_MYPIC}", PicturesFolderPath},
                       {"${DEFAULT_MAILCLIENT}", MailClientOrNone}};

// Values found so far, by rule; used while no table is set.
std::vector<std::pair<bool, std::string>>& Found() {
    static std::vector<std::pair<bool, std::string>> found(std::size(kRules));
    return found;
}

// Under the lock: the value of rule i, found on first use.
const std::string& ValueOf(size_t i) {
    auto& slot = Found()[i];
    if (!slot.first) slot = {true, kRules[i].find()};
    return slot.second;
}

} // namespace

std::string DesktopImageProgram() {
    const auto& env = platform::Environment();
    // The desktop's default application for PNG images, started through its entry; a
    // default that cannot be started on a file here gives way to the next one.
    for (const auto& id : platform::DefaultApplications("image/png", env)) {
        std::string file = platform::FindDesktopEntry(id, env);
        platform::DesktopEntry entry;
        if (!file.empty() && platform::LoadDesktopEntry(file, entry) && platform::CanOpenFiles(entry)) return file;
    }
    for (const char* name : {"gimp", "pinta", "kolourpaint", "mtpaint", "drawing", "eog", "ristretto", "gpicview",
                             "gwenview", "feh", "display"}) {
        std::string found = FindOnPath(name);
        if (!found.empty()) return found;
    }
    return "/usr/bin/xdg-open";
}

const PlaceholderTable& Placeholders() {
    std::lock_guard<std::mutex> guard(Lock());
    if (Table().empty())
        for (size_t i = 0; i < std::size(kRules); ++i) Table().emplace_back(kRules[i].key, ValueOf(i));
    return Table();
}

void SetPlaceholders(PlaceholderTable table) {
    std::lock_guard<std::mutex> guard(Lock());
    Table() = std::move(table);
    for (auto& slot : Found()) slot = {false, std::string()};
}

std::string ExpandPlaceholders(const std::string& text, const PlaceholderTable& table) {
    std::string result = text;
    for (const auto& entry : table) {
        size_t at = result.find(entry.first);
        if (at != std::string::npos) result.replace(at, entry.first.size(), entry.second);
    }
    return result;
}

std::string ExpandPlaceholders(const std::string& text) {
    std::lock_guard<std::mutex> guard(Lock());
    if (!Table().empty()) return ExpandPlaceholders(text, Table());
    // The same replacement as with the whole table, finding only the values the text needs.
    std::string result = text;
    for (size_t i = 0; i < std::size(kRules); ++i) {
        const std::string key = kRules[i].key;
        const size_t at = result.find(key);
        if (at != std::string::npos) result.replace(at, key.size(), ValueOf(i));
    }
    return result;
}

} // namespace settings
