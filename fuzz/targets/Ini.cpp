// The INI reader and writer: a damaged file is read whole, then one key is written and
// read back, every other value must stay as it was, and the key can be deleted again.
// The same file also serves as the message texts (Str.dat), read through core.
//
// Input: section \1 key \1 value \1 file content.
#include <sys/stat.h>

#include <map>
#include <utility>

#include "FuzzTarget.h"
#include "core/Texts.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace {

std::string Trim(const std::string& text) {
    const size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// What a read answers for a value written as `value`: blanks trimmed, one pair of
// enclosing quotes removed.
std::string AsRead(const std::string& value) {
    std::string v = Trim(value);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

const char kAbsent[] = "\x02"
                       "absent";

using Values = std::map<std::pair<std::string, std::string>, std::string>;

Values ReadAll(const std::string& file) {
    Values values;
    for (const auto& s : settings::ListProfileSections(file))
        for (const auto& k : settings::ListProfileKeys(file, s))
            values[{s, k}] = settings::ReadProfileStringWhole(file, s, k, "\x02");
    return values;
}

int FuzzIni(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const std::string section = in.Text();
    const std::string key = in.Text();
    const std::string value = in.Text();
    const std::string content = in.Rest();
    const std::string file = fuzz::WriteScratch("settings.ini", content);

    const Values before = ReadAll(file);
    for (const auto& entry : before)
        if (settings::ReadProfileString(file, entry.first.first, entry.first.second).size() >
            settings::kProfileValueLimit)
            fuzz::Fail("a read was not cut");

    if (settings::WriteProfileString(file, section, key, value)) {
        const std::string got = settings::ReadProfileStringWhole(file, section, key, kAbsent);
        if (got != AsRead(value)) fuzz::Fail("a written value reads back as '" + got + "'");
        for (const auto& entry : before) {
            if (settings::EqualsNoCase(Trim(entry.first.first), Trim(section)) &&
                settings::EqualsNoCase(Trim(entry.first.second), Trim(key)))
                continue;
            if (settings::ReadProfileStringWhole(file, entry.first.first, entry.first.second, "\x02") != entry.second)
                fuzz::Fail("writing one key changed another: [" + entry.first.first + "] " + entry.first.second);
        }
        if (settings::DeleteProfileKey(file, section, key) &&
            settings::ReadProfileStringWhole(file, section, key, kAbsent) != kAbsent)
            fuzz::Fail("a deleted key is still there");
    }

    // The message texts: the same reader over a damaged Str.dat.
    const std::string program = fuzz::ScratchFolder() + "program";
    ::mkdir(program.c_str(), 0700);
    fuzz::WriteScratch("program/Str.dat", content);
    settings::SetProgramFolder(program);
    for (int number : {0, 1, 100, 113})
        if (core::LoadMessageText(number).size() > settings::kProfileValueLimit) fuzz::Fail("a message was not cut");
    core::LoadUIString(key);
    settings::SetProgramFolder("");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(ini, FuzzIni)
