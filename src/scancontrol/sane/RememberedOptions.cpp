// Remembered options dialog choices. See RememberedOptions.h.
#include "scancontrol/sane/RememberedOptions.h"

#include <charconv>
#include <cmath>

#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Services.h"

namespace scancontrol::sanectl {

namespace {

bool Kept(const OptionInfo& o) {
    return o.active && o.settable && o.count == 1 && o.type != OptType::Button && o.type != OptType::Group;
}

// The shortest text that reads back as the same value, with a point as the decimal
// separator whatever the locale, so a file written under one locale reads under any.
std::string NumberText(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

bool SameValue(const OptionInfo& a, const OptionInfo& b) {
    if (a.type != b.type) return false;
    if (a.type == OptType::String) return a.text == b.text;
    return a.Value() == b.Value();
}

// Names and texts are kept one per line: a line break in either cannot be stored.
bool Storable(const std::string& s) { return s.find_first_of("\r\n") == std::string::npos; }

} // namespace

std::vector<RememberedOption> ChosenOptions(const OptionSnapshot& opened, const OptionSnapshot& chosen) {
    std::vector<RememberedOption> result;
    for (const OptionInfo& o : chosen.options) {
        if (!Kept(o) || o.name.empty() || o.name.find('=') != std::string::npos || !Storable(o.name)) continue;
        const OptionInfo* before = opened.Active(o.name);
        if (before && SameValue(*before, o)) continue;
        if (o.type == OptType::String) {
            if (!Storable(o.text)) continue;
            result.push_back({o.name, o.text});
        } else {
            result.push_back({o.name, NumberText(o.Value())});
        }
    }
    return result;
}

std::string FormatRemembered(const std::vector<RememberedOption>& options) {
    std::string text = "# Scanner options last chosen in the options dialog.\n";
    for (const auto& o : options) text += o.name + "=" + o.value + "\n";
    return text;
}

std::vector<RememberedOption> ParseRemembered(const std::string& text) {
    std::vector<RememberedOption> result;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        result.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    return result;
}

bool RestoreWrite(const OptionSnapshot& now, const RememberedOption& option, OptionWrite& write) {
    const OptionInfo* o = now.Active(option.name);
    if (!o || !Kept(*o)) return false;
    write = OptionWrite{};
    write.name = option.name;
    if (o->type == OptType::String) {
        if (o->constraint == OptConstraint::StringList) {
            bool offered = false;
            for (const auto& s : o->strings) offered = offered || s == option.value;
            if (!offered) return false;
        }
        write.text = option.value;
        return true;
    }
    if (option.value.empty()) return false;
    const char* first = option.value.data();
    const char* last = first + option.value.size();
    if (*first == '+') ++first; // from_chars takes no plus sign
    double v = 0;
    const auto read = std::from_chars(first, last, v);
    if (read.ec != std::errc() || read.ptr != last || !std::isfinite(v)) return false;
    write.numbers = {v};
    return true;
}

std::string RememberedOptionsPath(const std::string& maker, const std::string& model) {
    std::string name = maker + " " + model;
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        if (!plain) c = '_';
    }
    if (name.find_first_not_of("._") == std::string::npos) name = "scanner";
    return platform::ConfigHomeFolder() + "scanner-utility/scanner-options/" + name + ".conf";
}

std::vector<RememberedOption> LoadRemembered(const std::string& path) {
    std::string text;
    if (!platform::FileSystem().ReadFile(path, text)) return {};
    return ParseRemembered(text);
}

bool SaveRemembered(const std::string& path, const std::vector<RememberedOption>& options) {
    platform::IFileSystem& fs = platform::FileSystem();
    // Create the folders one level at a time.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!fs.IsDirectory(folder) && !fs.CreateFolder(folder)) return false;
    }
    return fs.WriteFileAtomic(path, FormatRemembered(options));
}

} // namespace scancontrol::sanectl
