#pragma once
// Which scanners the program serves and what family each belongs to, from the product
// data (Prdct.dat [Common]: Manufacturer, ProductFamily, USBSeries1, USBSeries2,
// NetworkSeries1), and the listing of the installed sources through the source manager.
//
// Manufacturer and ProductFamily either name a maker and its families, and then only
// that maker's models of those families (or of a network family) are served, or hold
// "*": any maker, any model. A model the lists name keeps its entry whatever the form;
// with "*" for ProductFamily every other model is served with a generic entry.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Ids.h"
#include "settings/Singleton.h"

namespace scancontrol {
class ISourceManager;
struct SourceEntry;
} // namespace scancontrol

namespace scan {

// One scanner's identification. Driver kind 0 selects the Kest settings family and the
// file-based choice lists; model family 0 Kest, 1 Vorn, other values the common paper
// order; connection kind 0 USB, 1 network. `generic`: a model the product data does not
// name, served because it names any model; its ways of scanning (glass, feeder) are
// asked from the scanner as its other choice lists are.
struct DriverEntry {
    std::string name;
    int driverKind = 2;
    int connectionKind = 2;
    int modelFamily = 3;
    bool flag = false;
    bool generic = false;
};

// Manufacturer or ProductFamily value that stands for any maker or any model.
constexpr const char kAnyProduct[] = "*";

// True when the SANE device name reaches its scanner over the network: through the `net`
// backend (saned on another machine), a driverless network backend (`airscan`, `escl`),
// or a maker backend's network address form.
bool IsNetworkDeviceName(const std::string& deviceName);

// The entry of a model the product data does not name, served because ProductFamily is
// "*": choice lists and paper sizes asked from the scanner, the common paper order, a
// network model when its device name says so and a USB (local) model otherwise, no option
// button and no model group of its own (`generic` set).
DriverEntry GenericEntry(const std::string& deviceName);

// The identity the program presents to the source manager.
struct ApplicationIdentity {
    int id = 0;
    int majorNum = 0;
    int minorNum = 43;
    int language = 68;
    int country = 81;
    const char* info = "0.4.3";
    int protocolMajor = 1;
    int protocolMinor = 8;
    int supportedGroups = 3; // control and image
    const char* manufacturer = "ZAV";
    const char* productFamily = "ZAV";
    const char* productName = "ScannerUtility";
};
constexpr ApplicationIdentity kApplicationIdentity{};

// Status of a source listing.
enum SourceStatus : int { kSourcesListed = 1, kNoSourceManager = 2 };

class DriverIdentifer : public settings::IF_Singleton<DriverIdentifer> {
public:
    DriverIdentifer();
    // Rebuilds the map from the product data, dropping what KnownSources added (tests,
    // and a changed product file).
    void Reload();
    // The source manager used for listing (shared with its other users). Without one the
    // source manager counts as missing.
    void SetSourceManager(std::shared_ptr<scancontrol::ISourceManager> manager);
    std::shared_ptr<scancontrol::ISourceManager> SourceManager() const;

    // A copy of the entry of that name, or the default entry (2, 2, 3, false) carrying it.
    DriverEntry Identify(const std::string& name) const;
    // True when the map holds an entry of that name, whatever its values.
    bool Knows(const std::string& name) const;
    // The product names of the installed sources of this maker that the product data
    // knows; returns kSourcesListed or kNoSourceManager. An accepted source the map does
    // not hold yet joins it; an entry already there is never replaced.
    // `kept` (optional) tells whether the listing was one kept from an earlier request;
    // `offered` (optional) receives the accepted sources themselves (maker and model with
    // the name), in the order of `names`.
    int KnownSources(const std::string& manufacturer, const std::string& families, std::vector<std::string>& names,
                     bool* kept = nullptr, std::vector<scancontrol::SourceEntry>* offered = nullptr);
    // KnownSources with Prdct.dat's Manufacturer and ProductFamily.
    int KnownSources(std::vector<std::string>& names, bool* kept = nullptr,
                     std::vector<scancontrol::SourceEntry>* offered = nullptr);
    // The next listing asks the devices again (a kept listing is dropped).
    void ForgetSources();

private:
    mutable std::mutex lock_;
    std::map<std::string, DriverEntry> entries_;
    std::shared_ptr<scancontrol::ISourceManager> manager_;
};

// Whether the name is a known source. `known` (optional) receives the known sources'
// names, `offered` (optional) the sources themselves (with maker and model).
// A check that fails on a listing kept from an earlier request is made once more on a
// fresh listing: the scanner may have been connected since.
core::SourceCheckResult CheckSource(const std::string& name, std::vector<std::string>* known = nullptr,
                                    std::vector<scancontrol::SourceEntry>* offered = nullptr);

// The current source's entry.
DriverEntry CurrentDriverEntry();

// A comma-separated product list: items trimmed, empty ones dropped.
std::vector<std::string> ProductList(const std::string& text);

} // namespace scan
