#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <sstream>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

namespace platform {
namespace {

bool IsAbsolute(const std::optional<std::string>& value) { return value && !value->empty() && (*value)[0] == '/'; }

// Reads one XDG_xxx_DIR="..." line of user-dirs.dirs; empty when absent or malformed.
std::string UserDir(const std::string& content, const std::string& key, const std::string& home) {
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        if (line.compare(start, key.size() + 1, key + "=") != 0) continue;
        std::string value = line.substr(start + key.size() + 1);
        if (value.size() < 2 || value.front() != '"') return {};
        size_t close = value.find('"', 1);
        if (close == std::string::npos) return {};
        value = value.substr(1, close - 1);
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        else if (value.empty() || value[0] != '/') return {};
        return value;
    }
    return {};
}

} // namespace

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string ExecutableFolder() {
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<size_t>(n));
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

std::string HomeFolder(const IEnvironment& env) {
    auto home = env.Get("HOME");
    if (IsAbsolute(home)) return WithSlash(*home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return WithSlash(pw->pw_dir);
    return "/";
}

std::string ConfigHomeFolder(const IEnvironment& env) {
    auto config = env.Get("XDG_CONFIG_HOME");
    if (IsAbsolute(config)) return WithSlash(*config);
    return HomeFolder(env) + ".config/";
}

std::string PicturesFolder(const IEnvironment& env, IFileSystem& fs) {
    std::string home = HomeFolder(env);
    std::string content;
    std::string folder;
    if (fs.ReadFile(ConfigHomeFolder(env) + "user-dirs.dirs", content)) {
        std::string homeNoSlash = home.size() > 1 ? home.substr(0, home.size() - 1) : "";
        folder = UserDir(content, "XDG_PICTURES_DIR", homeNoSlash);
    }
    // A pictures entry that names the home folder itself means "no pictures folder".
    if (folder.empty() || WithSlash(folder) == home) folder = home + "Pictures";
    folder = WithSlash(folder);
    if (!fs.IsDirectory(folder)) fs.CreateFolder(folder);
    return fs.IsDirectory(folder) ? folder : std::string();
}

std::string TempFolder(const IEnvironment& env) {
    auto tmp = env.Get("TMPDIR");
    if (IsAbsolute(tmp)) return WithSlash(*tmp);
    return "/tmp/";
}

std::string RuntimeFolder(const IEnvironment& env) {
    auto runtime = env.Get("XDG_RUNTIME_DIR");
    if (IsAbsolute(runtime)) return WithSlash(*runtime);
    return TempFolder(env);
}

std::string ConfigHomeFolder() { return ConfigHomeFolder(Environment()); }
std::string PicturesFolder() { return PicturesFolder(Environment(), FileSystem()); }
std::string TempFolder() { return TempFolder(Environment()); }
std::string RuntimeFolder() { return RuntimeFolder(Environment()); }

} // namespace platform
