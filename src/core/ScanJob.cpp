#include "core/ScanJob.h"

#include <algorithm>
#include <cctype>

namespace core {
namespace {

std::string TrimUpper(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n\f\v");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t\r\n\f\v");
    std::string result = text.substr(b, e - b + 1);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

} // namespace

ScanRequest ScanRequest::ForButton(int destination, const std::string& currentSource) {
    ScanRequest r;
    r.origin = kOriginButton;
    r.destination = destination;
    r.requestedSource = currentSource;
    r.activeSource = currentSource;
    return r;
}

std::string PushSemaphoreName(const ScanRequest& request, const std::string& currentSource) {
    switch (request.origin) {
        case kOriginLocalPush: return "Sem_ScannerDriver_PushScanMode_USB_" + currentSource;
        case kOriginNetworkPush: return "Sem_ScannerDriver_PushScanMode_Network_" + TrimUpper(request.deviceKey);
        default: return {};
    }
}

} // namespace core
