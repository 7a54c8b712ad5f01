#pragma once
// The scanning layer's answers to the settings (driver kind, capability information,
// model choice lists), installed into the settings at start-up.

#include <memory>

#include "settings/ScannerModel.h"

namespace scan {

class ScannerServices : public settings::IScannerModel {
public:
    int CurrentDriverKind() override;
    settings::CapabilityInformation QueryInfo(int kind) override;
    std::unique_ptr<settings::IF_MappingHandler> CreateMappingHandler() override;
};

// Installs ScannerServices as the settings' scanner model, and the current source's
// model family for the image kinds of the output.
void InstallScannerServices();

} // namespace scan
