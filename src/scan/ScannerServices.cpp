#include "scan/ScannerServices.h"

#include "scan/DriverIdentifer.h"
#include "scan/MappingHandler.h"
#include "scan/TwainCap.h"
#include "output/ImageKinds.h"

namespace scan {

int ScannerServices::CurrentDriverKind() { return CurrentDriverEntry().driverKind; }

settings::CapabilityInformation ScannerServices::QueryInfo(int kind) {
    return TwainCapHandler::GetInstance().QueryInfo(kind);
}

std::unique_ptr<settings::IF_MappingHandler> ScannerServices::CreateMappingHandler() {
    return scan::CreateMappingHandler();
}

namespace {

// A nonzero model family writes PCX, GIF, TGA, WMF and EMF with its own format codes.
class SourceFamily : public output::ISourceFamily {
public:
    bool CurrentSourceHasOwnFormatCodes() const override { return CurrentDriverEntry().modelFamily != 0; }
};

} // namespace

void InstallScannerServices() {
    settings::SetScannerModel(std::make_shared<ScannerServices>());
    output::SetSourceFamily(std::make_shared<SourceFamily>());
}

} // namespace scan
