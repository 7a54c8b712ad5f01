#include "output/FileNaming.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

namespace output {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& text, size_t offset, const std::string& part) {
    for (size_t i = 0; i < part.size(); ++i)
        if (Fold(text[offset + i]) != Fold(part[i])) return false;
    return true;
}

} // namespace

std::string SeriesStem(const std::string& baseName, const platform::IClock& clock) {
    platform::LocalTime now = clock.Now();
    char date[48];
    std::snprintf(date, sizeof date, "%d-%d-%d", now.year, now.month, now.day);
    return baseName + "(" + date + ")";
}

std::string MakeSequencedFileName(const std::string& folder, const std::string& baseName,
                                  const std::string& extension) {
    return MakeSequencedFileName(folder, baseName, extension, platform::Clock(), platform::FileSystem());
}

std::string MakeSequencedFileName(const std::string& folder, const std::string& baseName, const std::string& extension,
                                  const platform::IClock& clock, const platform::IFileSystem& fs) {
    const std::string stem = SeriesStem(baseName, clock);
    const size_t length = stem.size() + 4 + extension.size();
    unsigned long highest = 0;
    std::vector<std::string> names;
    if (fs.ListFolder(folder.empty() ? "." : folder, names)) {
        for (const auto& name : names) {
            if (name.size() != length) continue;
            if (!EqualNoCase(name, 0, stem)) continue;
            if (!EqualNoCase(name, name.size() - extension.size(), extension)) continue;
            // Only the characters before the first '.' after the stem are the number, so
            // "Scan(...)12.4.JPEG" counts as 12.
            std::string rest = name.substr(stem.size());
            std::string digits = rest.substr(0, rest.find('.'));
            bool allDigits = true;
            for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
            if (!allDigits) continue;
            // More digits than fit any counter: the series counts as full.
            unsigned long value = digits.empty() ? 0 : digits.size() > 9 ? 999999999UL : std::stoul(digits);
            if (value > highest) highest = value;
        }
    }
    unsigned long counter = highest + 1;
    if (counter >= 10000) throw std::range_error("The number bigger than 9999");
    char number[8];
    std::snprintf(number, sizeof number, "%04lu", counter);
    return folder + stem + number + extension;
}

bool PathIsPresent(const std::string& path) { return platform::FileSystem().Exists(path); }

} // namespace output
