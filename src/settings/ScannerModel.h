#pragma once
// What the settings need to know of the selected scanner, supplied by the scanning layer
// (scan/ScannerServices.h installs the real one at start-up; tests install their own):
// the driver kind of the current source, the capability information per setting kind,
// and the model's choice lists.

#include <memory>
#include <string>

#include "settings/ChoiceList.h"

namespace settings {

// The choice lists one scanner model offers. Every operation empties the result first.
class IF_MappingHandler {
public:
    virtual ~IF_MappingHandler() = default;
    virtual void GetPaperSizes(const std::string& scanMethod, ChoiceList& result) = 0;
    virtual void GetScanMethods(ChoiceList& result) = 0;
    virtual void GetColorModes(ChoiceList& result) = 0;
    virtual void GetResolutions(ChoiceList& result) = 0;
    virtual void GetSaveTypes(ChoiceList& result) = 0;
    virtual void GetApplications1(ChoiceList& result) = 0;
    virtual void GetApplications2(ChoiceList& result) = 0;
    virtual void GetEmailClients(ChoiceList& result) = 0;
    virtual void GetTifCompressions(ChoiceList& result) = 0;
    virtual void GetColorPDFCompressions(ChoiceList& result) = 0;
    virtual void GetSupportedSources(ChoiceList& result) = 0;
    virtual void GetBindings(ChoiceList& result) = 0;
};

class IScannerModel {
public:
    virtual ~IScannerModel() = default;
    // Driver kind of the current source (2 for a source without an entry).
    virtual int CurrentDriverKind() = 0;
    // The capability information of one setting kind for the current source.
    virtual CapabilityInformation QueryInfo(int kind) = 0;
    // A new mapping handler for the current source (file lists for driver kind 0, lists
    // asked from the scanner otherwise); the caller owns it.
    virtual std::unique_ptr<IF_MappingHandler> CreateMappingHandler() = 0;
};

// The installed scanner model, or null when none is installed.
std::shared_ptr<IScannerModel> ScannerModel();
void SetScannerModel(std::shared_ptr<IScannerModel> model);

} // namespace settings
