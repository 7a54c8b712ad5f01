#include "scan/DriverIdentifer.h"

#include "scancontrol/SourceManager.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace scan {

std::vector<std::string> ProductList(const std::string& text) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        size_t b = item.find_first_not_of(" \t");
        if (b != std::string::npos) items.push_back(item.substr(b, item.find_last_not_of(" \t") - b + 1));
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return items;
}

bool IsNetworkDeviceName(const std::string& deviceName) {
    // Backends that only reach scanners over the network name their devices with these.
    static const char* const networkBackends[] = {"net:", "airscan:", "escl:", "dell1600n_net:"};
    for (const char* prefix : networkBackends)
        if (deviceName.rfind(prefix, 0) == 0) return true;
    // Backends that serve both kinds mark a network address inside the name, after the
    // backend's own name ("epson2:net:192.0.2.7", "hpaio:/net/...", "xerox_mfp:tcp ...").
    const size_t colon = deviceName.find(':');
    if (colon == std::string::npos) return false;
    const std::string address = deviceName.substr(colon + 1);
    for (const char* mark : {"net:", "/net/", "tcp "})
        if (address.rfind(mark, 0) == 0) return true;
    return false;
}

DriverEntry GenericEntry(const std::string& deviceName) {
    return DriverEntry{deviceName, 1, IsNetworkDeviceName(deviceName) ? 1 : 0, 3, false, true};
}

DriverIdentifer::DriverIdentifer() { Reload(); }

void DriverIdentifer::Reload() {
    struct ListKind {
        const char* key;
        int driver, connection, family;
        bool flag;
    };
    const ListKind lists[] = {
        {"USBSeries1", 0, 0, 0, true}, {"USBSeries2", 1, 0, 1, false}, {"NetworkSeries1", 1, 1, 2, true}};
    std::map<std::string, DriverEntry> entries;
    for (const auto& l : lists)
        for (const auto& name : ProductList(settings::ReadProductValue("Common", l.key)))
            entries.emplace(name, DriverEntry{name, l.driver, l.connection, l.family, l.flag});
    std::lock_guard<std::mutex> guard(lock_);
    entries_ = std::move(entries);
}

void DriverIdentifer::SetSourceManager(std::shared_ptr<scancontrol::ISourceManager> manager) {
    std::lock_guard<std::mutex> guard(lock_);
    manager_ = std::move(manager);
}

std::shared_ptr<scancontrol::ISourceManager> DriverIdentifer::SourceManager() const {
    std::lock_guard<std::mutex> guard(lock_);
    return manager_;
}

DriverEntry DriverIdentifer::Identify(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(name);
    if (it != entries_.end()) return it->second;
    DriverEntry entry;
    entry.name = name;
    return entry;
}

bool DriverIdentifer::Knows(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.count(name) != 0;
}

int DriverIdentifer::KnownSources(const std::string& manufacturer, const std::string& familiesText,
                                  std::vector<std::string>& names, bool* kept,
                                  std::vector<scancontrol::SourceEntry>* offered) {
    names.clear();
    if (offered) offered->clear();
    if (kept) *kept = false;
    auto manager = SourceManager();
    if (!manager) return kNoSourceManager;
    scancontrol::SourceListing listing = manager->EnumerateSources();
    if (kept) *kept = listing.kept;
    if (listing.status == kNoSourceManager) return kNoSourceManager;
    const bool anyMaker = ProductList(manufacturer) == std::vector<std::string>{kAnyProduct};
    auto families = ProductList(familiesText);
    bool anyModel = false;
    for (const auto& f : families) anyModel = anyModel || f == kAnyProduct;
    for (const auto& source : listing.sources) {
        if (!anyMaker && source.manufacturer != manufacturer) continue;
        DriverEntry entry;
        if (anyModel) {
            // Every model is served: one the lists name (by its name, or a network family
            // by its family) with that entry, any other with the generic one.
            if (Knows(source.productName)) {
                entry = Identify(source.productName);
            } else {
                entry = Identify(source.productFamily);
                if (!Knows(source.productFamily) || (entry.connectionKind != 1 && entry.connectionKind != 2))
                    entry = GenericEntry(source.productName);
            }
        } else {
            bool inFamilies = false;
            for (const auto& f : families) inFamilies = inFamilies || settings::EqualsNoCase(f, source.productFamily);
            // A model of a listed family is a USB model and must be named in a USB list; any
            // other model is served only when the product data holds an entry for its family
            // (a network family). A family the product data does not know is not ours to serve.
            const std::string& key = inFamilies ? source.productName : source.productFamily;
            if (!Knows(key)) continue;
            entry = Identify(key);
            bool accepted =
                inFamilies ? entry.connectionKind == 0 : (entry.connectionKind == 1 || entry.connectionKind == 2);
            if (!accepted) continue;
        }
        names.push_back(source.productName);
        if (offered) offered->push_back(source);
        entry.name = source.productName;
        // The map gains the model; an entry it already holds (a USB list entry) stays,
        // with the settings family it selects.
        std::lock_guard<std::mutex> guard(lock_);
        entries_.emplace(source.productName, entry);
    }
    return kSourcesListed;
}

int DriverIdentifer::KnownSources(std::vector<std::string>& names, bool* kept,
                                  std::vector<scancontrol::SourceEntry>* offered) {
    return KnownSources(settings::ReadProductValue("Common", "Manufacturer"),
                        settings::ReadProductValue("Common", "ProductFamily"), names, kept, offered);
}

void DriverIdentifer::ForgetSources() {
    if (auto manager = SourceManager()) manager->ForgetListing();
}

namespace {

core::SourceCheckResult CheckAgainst(const std::string& name, int status, const std::vector<std::string>& names) {
    if (status == kNoSourceManager) return core::kNoSourceManager;
    if (names.empty()) return core::kNoKnownSource;
    for (const auto& n : names)
        if (settings::EqualsNoCase(n, name)) return core::kSourceUsable;
    return core::kSourceNotKnown;
}

} // namespace

core::SourceCheckResult CheckSource(const std::string& name, std::vector<std::string>* known,
                                    std::vector<scancontrol::SourceEntry>* offered) {
    auto& identifier = DriverIdentifer::GetInstance();
    std::vector<std::string> names;
    bool kept = false;
    core::SourceCheckResult code = CheckAgainst(name, identifier.KnownSources(names, &kept, offered), names);
    if (code != core::kSourceUsable && kept) {
        identifier.ForgetSources();
        code = CheckAgainst(name, identifier.KnownSources(names, nullptr, offered), names);
    }
    if (known) *known = std::move(names);
    return code;
}

DriverEntry CurrentDriverEntry() { return DriverIdentifer::GetInstance().Identify(settings::CurrentSourceName()); }

} // namespace scan
