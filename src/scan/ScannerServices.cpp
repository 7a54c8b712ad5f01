#include "scan/ScannerServices.h"

#include "scan/DriverIdentifer.h"
#include "scan/MappingHandler.h"
#include "scan/TwainCap.h"

namespace scan {

int ScannerServices::CurrentDriverKind() { return CurrentDriverEntry().driverKind; }

settings::CapabilityInformation ScannerServices::QueryInfo(int kind) {
    return TwainCapHandler::GetInstance().QueryInfo(kind);
}

std::unique_ptr<settings::IF_MappingHandler> ScannerServices::CreateMappingHandler() {
    return scan::CreateMappingHandler();
}

void InstallScannerServices() { settings::SetScannerModel(std::make_shared<ScannerServices>()); }

} // namespace scan
