#include "platform/DesktopEntry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "platform/Desktop.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace platform {
namespace {

const char kEntryGroup[] = "Desktop Entry";
const char kDefaultsGroup[] = "Default Applications";

std::string TrimBlanks(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

// The keys of one group of a key file (desktop entries, mimeapps.list), values as
// written; the first occurrence of a key counts. `found` tells whether the group exists.
std::map<std::string, std::string> ReadGroup(const std::string& content, const std::string& group, bool& found) {
    std::map<std::string, std::string> keys;
    found = false;
    bool inGroup = false;
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string text = TrimBlanks(line);
        if (text.empty() || text[0] == '#') continue;
        if (text.front() == '[' && text.back() == ']') {
            // A group given twice is not valid; only its first appearance is read.
            if (inGroup) break;
            inGroup = text.substr(1, text.size() - 2) == group;
            found = found || inGroup;
            continue;
        }
        if (!inGroup) continue;
        size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        keys.emplace(TrimBlanks(text.substr(0, eq)), TrimBlanks(text.substr(eq + 1)));
    }
    return keys;
}

// Resolves the escapes of a string value: \s \n \t \r \\. Any other backslash stays,
// for the Exec line's own quoting rules to read.
std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += value[i]; continue;
        }
        ++i;
    }
    return out;
}

bool IsReservedOutsideQuotes(char c) {
    static const std::string reserved = "'\\><~|&;$*?#()`";
    return reserved.find(c) != std::string::npos;
}

// Replaces the field codes of one argument and appends the result. A word made only of
// field codes that stand for nothing here is dropped, as the format asks.
bool ExpandWord(const std::string& word, const DesktopEntry& entry, const std::string& file,
                std::vector<std::string>& argv, bool& takesFile) {
    if (word == "%F" || word == "%U") {
        takesFile = true;
        if (!file.empty()) argv.push_back(word == "%F" ? file : FileUri(file));
        return true;
    }
    if (word == "%i") {
        if (!entry.icon.empty()) {
            argv.push_back("--icon");
            argv.push_back(entry.icon);
        }
        return true;
    }
    std::string out;
    bool hadCode = false, hadText = false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            out += word[i];
            hadText = true;
            continue;
        }
        if (i + 1 == word.size()) return false;
        hadCode = true;
        switch (word[++i]) {
            case '%':
                out += '%';
                hadText = true;
                break;
            case 'f':
            case 'F':
                takesFile = true;
                out += file;
                break;
            case 'u':
            case 'U':
                takesFile = true;
                if (!file.empty()) out += FileUri(file);
                break;
            case 'c': out += entry.name; break;
            case 'k': out += entry.file; break;
            case 'i': // only meaningful as a word of its own
            case 'd':
            case 'D':
            case 'n':
            case 'N':
            case 'v':
            case 'm': break; // deprecated
            default: return false;
        }
    }
    if (hadCode && !hadText && out.empty()) return true;
    argv.push_back(out);
    return true;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The program a command line runs: its first word, or for env the first word after
// env's options and NAME=value settings. Empty when there is none.
std::string CommandProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) return {};
    if (BaseName(argv[0]) != "env") return argv[0];
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& w = argv[i];
        if (w == "--") return i + 1 < argv.size() ? argv[i + 1] : std::string();
        if (w == "-u" || w == "--unset" || w == "-C" || w == "--chdir") {
            ++i;
            continue;
        }
        // -S splits a further command line of its own: not a plain program.
        if (w.compare(0, 2, "-S") == 0 || w.compare(0, 14, "--split-string") == 0) return {};
        if (w[0] == '-' || w.find('=') != std::string::npos) continue;
        return w;
    }
    return {};
}

std::vector<std::string> SplitList(const std::string& list, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(list);
    std::string part;
    while (std::getline(in, part, separator)) {
        part = TrimBlanks(part);
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

// Absolute folders of a colon-separated XDG list, each ending with '/', or the defaults.
std::vector<std::string> FolderList(const IEnvironment& env, const char* name, const char* defaults) {
    auto value = env.Get(name);
    std::vector<std::string> folders;
    for (const auto& part : SplitList(value && !value->empty() ? *value : defaults, ':'))
        if (part[0] == '/') folders.push_back(WithSlash(part));
    return folders;
}

// $XDG_DATA_HOME, then $XDG_DATA_DIRS.
std::vector<std::string> DataFolders(const IEnvironment& env) {
    std::vector<std::string> folders;
    auto home = env.Get("XDG_DATA_HOME");
    folders.push_back(home && !home->empty() && (*home)[0] == '/' ? WithSlash(*home)
                                                                  : WithSlash(HomeFolder(env)) + ".local/share/");
    for (const auto& f : FolderList(env, "XDG_DATA_DIRS", "/usr/local/share/:/usr/share/")) folders.push_back(f);
    return folders;
}

// The file of an id below one applications folder: the id itself, or with one or more of
// its '-' standing for sub-folders.
std::string FindBelow(const std::string& folder, const std::string& id) {
    auto& fs = FileSystem();
    std::string direct = folder + id;
    if (fs.Exists(direct) && !fs.IsDirectory(direct)) return direct;
    for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
        std::string sub = folder + id.substr(0, dash) + "/";
        if (!fs.IsDirectory(sub)) continue;
        std::string found = FindBelow(sub, id.substr(dash + 1));
        if (!found.empty()) return found;
    }
    return {};
}

} // namespace

bool IsDesktopEntryPath(const std::string& path) {
    static const std::string suffix = ".desktop";
    return path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool ParseDesktopEntry(const std::string& content, DesktopEntry& entry) {
    bool found = false;
    auto keys = ReadGroup(content, kEntryGroup, found);
    if (!found) return false;
    std::string file = entry.file;
    entry = DesktopEntry();
    entry.file = file;
    auto value = [&keys](const char* key) {
        auto it = keys.find(key);
        return it == keys.end() ? std::string() : Unescape(it->second);
    };
    entry.type = value("Type");
    entry.name = value("Name");
    entry.exec = value("Exec");
    entry.tryExec = value("TryExec");
    entry.icon = value("Icon");
    entry.path = value("Path");
    entry.hidden = value("Hidden") == "true";
    entry.terminal = value("Terminal") == "true";
    return true;
}

bool LoadDesktopEntry(const std::string& file, DesktopEntry& entry) {
    std::string content;
    if (!FileSystem().ReadFile(file, content)) return false;
    entry.file = file;
    return ParseDesktopEntry(content, entry);
}

bool SplitExec(const std::string& exec, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c != '"') {
            if (IsReservedOutsideQuotes(c)) return false;
            word += c;
            continue;
        }
        // A quoted part: a backslash takes the next " ` $ or \ literally.
        bool closed = false;
        for (++i; i < exec.size(); ++i) {
            char q = exec[i];
            if (q == '"') {
                closed = true;
                break;
            }
            if (q == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos)
                q = exec[++i];
            word += q;
        }
        if (!closed) return false;
    }
    if (inWord) words.push_back(word);
    return true;
}

bool ExecArguments(const DesktopEntry& entry, const std::string& file, std::vector<std::string>& argv) {
    argv.clear();
    std::vector<std::string> words;
    if (!SplitExec(entry.exec, words) || words.empty() || words[0].find('%') != std::string::npos) return false;
    bool takesFile = false;
    for (const auto& word : words) {
        if (!ExpandWord(word, entry, file, argv, takesFile)) {
            argv.clear();
            return false;
        }
    }
    if (!file.empty() && !takesFile) argv.clear();
    return !argv.empty();
}

bool CanOpenFiles(const DesktopEntry& entry) {
    if (entry.type != "Application" || entry.hidden || entry.terminal) return false;
    if (!entry.tryExec.empty() && !IsOnPath(entry.tryExec)) return false;
    std::vector<std::string> argv;
    if (!ExecArguments(entry, "/file", argv) || !IsOnPath(argv[0])) return false;
    std::string program = CommandProgram(argv);
    return !program.empty() && IsOnPath(program);
}

std::string FindDesktopEntry(const std::string& desktopId, const IEnvironment& env) {
    if (!IsDesktopEntryPath(desktopId) || desktopId.find('/') != std::string::npos || desktopId[0] == '.') return {};
    for (const auto& folder : DataFolders(env)) {
        std::string found = FindBelow(folder + "applications/", desktopId);
        if (!found.empty()) return found;
    }
    return {};
}

std::vector<std::string> DefaultApplications(const std::string& mimeType, const IEnvironment& env) {
    std::vector<std::string> desktops;
    if (auto current = env.Get("XDG_CURRENT_DESKTOP")) {
        for (const auto& name : SplitList(*current, ':')) desktops.push_back(AsciiLower(name));
    }
    std::vector<std::string> folders{ConfigHomeFolder(env)};
    for (const auto& f : FolderList(env, "XDG_CONFIG_DIRS", "/etc/xdg/")) folders.push_back(f);
    for (const auto& f : DataFolders(env)) folders.push_back(f + "applications/");

    std::vector<std::string> ids;
    for (const auto& folder : folders) {
        std::vector<std::string> lists;
        for (const auto& d : desktops) lists.push_back(folder + d + "-mimeapps.list");
        lists.push_back(folder + "mimeapps.list");
        for (const auto& list : lists) {
            std::string content;
            if (!FileSystem().ReadFile(list, content)) continue;
            bool found = false;
            auto keys = ReadGroup(content, kDefaultsGroup, found);
            auto it = keys.find(mimeType);
            if (it == keys.end()) continue;
            for (const auto& id : SplitList(it->second, ';'))
                if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
        }
    }
    return ids;
}

} // namespace platform
