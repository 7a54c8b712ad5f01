#pragma once
// Paper names known to the product data, their display texts (long-edge and
// short-edge-feed forms, Mapping.dat [PaperSize] and [PaperSize_SEF]) and the paper
// order of each scanner family (Id.dat [PaperSize_Sequence]). Read once.

#include <map>
#include <string>
#include <vector>

#include "settings/ChoiceList.h"
#include "settings/Singleton.h"

namespace scan {

// Where PaperSizeMapping finds its data; reads each section once.
class PaperSizeMappingReader {
public:
    PaperSizeMappingReader(std::string mappingFile, std::string idFile)
        : mappingFile_(std::move(mappingFile)), idFile_(std::move(idFile)) {}
    virtual ~PaperSizeMappingReader() = default;
    virtual std::string PaperSizeSection() const { return "PaperSize"; }
    virtual std::string PaperSizeSefSection() const { return "PaperSize_SEF"; }
    virtual std::string SequenceSection() const { return "PaperSize_Sequence"; }
    virtual std::string CommonSequenceKey() const { return "CommonSequence"; }
    virtual std::string KestSequenceKey() const { return "SequenceForKest"; }
    virtual std::string VornSequenceKey() const { return "SequenceForVorn"; }

    std::map<std::string, std::string> ReadMap(const std::string& section);
    std::vector<std::string> ReadSequence(const std::string& key);
private:
    std::string mappingFile_;
    std::string idFile_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
    std::map<std::string, std::string> sequences_;
    bool sequencesRead_ = false;
};

class PaperSizeMapping : public settings::IF_Singleton<PaperSizeMapping> {
public:
    PaperSizeMapping();
    virtual ~PaperSizeMapping() = default;
    // Rebuilds from the data files (tests; the program reads them once).
    void Reload();
    // The sequence of the current source's model family.
    virtual std::vector<std::string> GetSequence() const;
    bool PaperChoices(settings::ChoiceList& result) const;
    bool SourcePaperChoices(const std::vector<std::string>& values, settings::ChoiceList& result) const;
    // Choice building for given candidates and sequence.
    bool BuildChoices(const std::vector<std::string>& candidates, const std::vector<std::string>& sequence,
                      settings::ChoiceList& result) const;

private:
    std::map<std::string, std::string> names_;
    std::map<std::string, std::string> sefNames_;
    std::vector<std::string> common_;
    std::vector<std::string> kest_;
    std::vector<std::string> vorn_;
};

} // namespace scan
