#pragma once
// The choice lists a scanner model offers: from the product data files (MappingHandler,
// driver kind 0) or from what the selected source reports, narrowed by the product data
// (MappingHandlerTwain, other driver kinds).

#include <map>
#include <memory>
#include <string>

#include "settings/ChoiceList.h"
#include "settings/ScannerModel.h"
#include "settings/Singleton.h"

namespace scan {

using settings::ChoiceList;

// Id.dat held in memory, read once.
class MappingFileHandler : public settings::IF_Singleton<MappingFileHandler> {
public:
    MappingFileHandler();
    // Reads Id.dat again (tests; the program reads it once).
    void Reload();
    // Keeps, in the order of Id.dat [Basic] <name>, the pairs of the list whose key is
    // named there. Without a [Basic] section the list stays as it is; without the key the
    // list ends up empty.
    void Narrow(ChoiceList& list, const std::string& name) const;
private:
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

// Id.dat [Basic] <name>: every item ended by a comma, with its Mapping.dat [<name>] text.
// Characters after the last comma are dropped.
ChoiceList FileList(const std::string& name);

class MappingHandler : public settings::IF_MappingHandler {
public:
    void GetPaperSizes(const std::string& scanMethod, ChoiceList& result) override;
    void GetScanMethods(ChoiceList& result) override { result = FileList("ScanMethod"); }
    void GetColorModes(ChoiceList& result) override { result = FileList("ColorMode"); }
    void GetResolutions(ChoiceList& result) override { result = FileList("Resolution"); }
    void GetSaveTypes(ChoiceList& result) override { result = FileList("SaveType"); }
    void GetApplications1(ChoiceList& result) override;
    void GetApplications2(ChoiceList& result) override;
    void GetEmailClients(ChoiceList& result) override { result = FileList("EmailClients"); }
    void GetTifCompressions(ChoiceList& result) override { result = FileList("TifCompression"); }
    void GetColorPDFCompressions(ChoiceList& result) override { result = FileList("ColorPDFCompression"); }
    void GetSupportedSources(ChoiceList& result) override;
    void GetBindings(ChoiceList& result) override;
};

class MappingHandlerTwain : public MappingHandler {
public:
    void GetPaperSizes(const std::string& scanMethod, ChoiceList& result) override;
    void GetScanMethods(ChoiceList& result) override;
    void GetColorModes(ChoiceList& result) override;
    void GetResolutions(ChoiceList& result) override;
    void GetSaveTypes(ChoiceList& result) override;
    void GetBindings(ChoiceList& result) override;
};

// The handler for the current source's driver kind; the caller owns it.
std::unique_ptr<settings::IF_MappingHandler> CreateMappingHandler();

} // namespace scan
