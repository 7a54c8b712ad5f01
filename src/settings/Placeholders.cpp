#include "settings/Placeholders.h"

#include <mutex>
#include <sstream>

#include "platform/Environment.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Services.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

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

// The program named by the Exec line of a desktop entry, looked up in the XDG data folders.
std::string DesktopEntryProgram(const std::string& desktopId) {
    if (desktopId.empty() || desktopId.find('/') != std::string::npos) return {};
    const auto& env = platform::Environment();
    std::vector<std::string> dirs;
    auto dataHome = env.Get("XDG_DATA_HOME");
    dirs.push_back(dataHome && !dataHome->empty() ? *dataHome : platform::HomeFolder(env) + "/.local/share");
    auto dataDirs = env.Get("XDG_DATA_DIRS");
    for (const auto& d : SplitPath(dataDirs && !dataDirs->empty() ? *dataDirs : "/usr/local/share:/usr/share"))
        dirs.push_back(d);
    for (const auto& dir : dirs) {
        std::string file = platform::WithSlash(dir) + "applications/" + desktopId;
        std::string exec = ReadProfileString(file, "Desktop Entry", "Exec");
        if (exec.empty()) continue;
        std::string program = exec.substr(0, exec.find(' '));
        std::string found = FindOnPath(program);
        if (!found.empty()) return found;
    }
    return {};
}

std::string DefaultMailClient() {
    RegHandlerImp store;
    bool user = CApiWrapper::GetInstance().OsVersion() > 4 && store.Open(RegHandlerImp::Root::CurrentUser,
                                                                          "software\\clients\\mail");
    if (!user && !store.Open(RegHandlerImp::Root::LocalMachine, "software\\clients\\mail")) return {};
    std::string value = store.ReadValue("");
    store.CloseSection();
    return value;
}

PlaceholderTable BuildTable() {
    PlaceholderTable table;
    table.emplace_back("${MSPAINT}", DesktopImageProgram());
    table.emplace_back("${CURRENT_USER_MYPIC}", PicturesFolderPath());
    std::string mail;
    try {
        mail = DefaultMailClient();
    } catch (const std::exception&) {
        mail.clear();  // the system could not be classified: no mail client is known
    }
    table.emplace_back("${DEFAULT_MAILCLIENT}", mail);
    return table;
}

} // namespace

std::string DesktopImageProgram() {
    std::string out;
    if (platform::CaptureOutput({"xdg-mime", "query", "default", "image/png"}, out, 2000)) {
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ' || out.back() == '\r')) out.pop_back();
        std::string program = DesktopEntryProgram(out);
        if (!program.empty()) return program;
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
    if (Table().empty()) Table() = BuildTable();
    return Table();
}

void SetPlaceholders(PlaceholderTable table) {
    std::lock_guard<std::mutex> guard(Lock());
    Table() = std::move(table);
}

std::string ExpandPlaceholders(const std::string& text, const PlaceholderTable& table) {
    std::string result = text;
    for (const auto& entry : table) {
        size_t at = result.find(entry.first);
        if (at != std::string::npos) result.replace(at, entry.first.size(), entry.second);
    }
    return result;
}

std::string ExpandPlaceholders(const std::string& text) { return ExpandPlaceholders(text, Placeholders()); }

} // namespace settings
