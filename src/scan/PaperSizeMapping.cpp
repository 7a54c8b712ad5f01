#include "scan/PaperSizeMapping.h"

#include <algorithm>

#include "scan/DriverIdentifer.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace scan {

std::map<std::string, std::string> PaperSizeMappingReader::ReadMap(const std::string& section) {
    auto it = sections_.find(section);
    if (it != sections_.end()) return it->second;
    std::map<std::string, std::string> values;
    for (const auto& key : settings::ListProfileKeys(mappingFile_, section))
        values.emplace(key, settings::ReadProfileString(mappingFile_, section, key));
    sections_[section] = values;
    return values;
}

std::vector<std::string> PaperSizeMappingReader::ReadSequence(const std::string& key) {
    if (!sequencesRead_) {
        for (const auto& k : settings::ListProfileKeys(idFile_, SequenceSection()))
            sequences_[k] = settings::ReadProfileString(idFile_, SequenceSection(), k);
        sequencesRead_ = true;
    }
    std::string text;
    for (const auto& entry : sequences_)
        if (settings::EqualsNoCase(entry.first, key)) text = entry.second;
    return ProductList(text);
}

PaperSizeMapping::PaperSizeMapping() { Reload(); }

void PaperSizeMapping::Reload() {
    PaperSizeMappingReader reader(settings::MappingFilePath(), settings::IdFilePath());
    names_ = reader.ReadMap(reader.PaperSizeSection());
    sefNames_ = reader.ReadMap(reader.PaperSizeSefSection());
    common_ = reader.ReadSequence(reader.CommonSequenceKey());
    kest_ = reader.ReadSequence(reader.KestSequenceKey());
    vorn_ = reader.ReadSequence(reader.VornSequenceKey());
}

std::vector<std::string> PaperSizeMapping::GetSequence() const {
    switch (CurrentDriverEntry().modelFamily) {
        case 0: return kest_;
        case 1: return vorn_;
        default: return common_;
    }
}

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && settings::EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

std::string LongEdgeForm(const std::string& name) {
    if (EndsWithNoCase(name, "SEF")) return name.substr(0, name.size() - 3) + "LEF";
    return name + "LEF";
}

bool StartsWithLegal(const std::string& name) {
    return name.size() >= 5 && settings::EqualsNoCase(name.substr(0, 5), "Legal");
}

} // namespace

bool PaperSizeMapping::BuildChoices(const std::vector<std::string>& candidates,
                                    const std::vector<std::string>& sequence, settings::ChoiceList& result) const {
    result.clear();
    std::vector<std::string> kept;
    for (const auto& c : candidates)
        if (std::find(sequence.begin(), sequence.end(), c) != sequence.end()) kept.push_back(c);
    if (kept.empty()) return false;
    settings::ChoiceList built;
    for (const auto& n : kept) {
        auto plain = names_.find(n);
        if (plain == names_.end()) return false;
        bool sef = std::find(candidates.begin(), candidates.end(), LongEdgeForm(n)) != candidates.end();
        if (!sef && settings::EqualsNoCase(n, "Legal"))
            for (const auto& c : candidates)
                if (!settings::EqualsNoCase(c, "Legal") && StartsWithLegal(c)) sef = true;
        if (sef) {
            auto s = sefNames_.find(n);
            if (s == sefNames_.end()) return false;
            built.emplace_back(n, s->second);
        } else {
            built.emplace_back(n, plain->second);
        }
    }
    result = std::move(built);
    return true;
}

bool PaperSizeMapping::PaperChoices(settings::ChoiceList& result) const {
    auto sequence = GetSequence();
    return BuildChoices(sequence, sequence, result);
}

bool PaperSizeMapping::SourcePaperChoices(const std::vector<std::string>& values, settings::ChoiceList& result) const {
    return BuildChoices(values, GetSequence(), result);
}

} // namespace scan
